#!/usr/bin/env bash
# Builds Quor under a sanitizer in a folder of its own and runs every test
# there (no display needed).
#   bash scripts/test-sanitized.sh asan   AddressSanitizer with
#       UndefinedBehaviorSanitizer, in ./build-asan (part of CI): the first
#       report fails its test, with the stack that led to it.
#   bash scripts/test-sanitized.sh tsan   ThreadSanitizer, in ./build-tsan:
#       fails on a race in which this program's own code made an access;
#       races within Qt's, QGIS's or GDAL's code are counted, not failed
#       (tests/tsan.supp says why).
# Before the suite, a small program with a fault of this program's own
# kind (a leak in a slot that Qt's event loop runs, a race on a shared
# QString) must be reported with the suppression file, or the script fails.
# JOBS=N limits the build's and the tests' parallel jobs (default: every core).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
kind=${1:-}
jobs=${JOBS:-$(nproc)}
case "$kind" in
  asan)
    # No recovery: the first report of either ends the program.
    flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
    # Qt and QGIS keep some of what they allocate until the process ends.
    export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp print_suppressions=0"
    export UBSAN_OPTIONS=print_stacktrace=1
    timeout=600
    ;;
  tsan)
    flags="-fsanitize=thread"
    # The reports go to files, read below; a report alone fails no test.
    reports="$root/build-tsan/tsan-reports"
    export TSAN_OPTIONS="suppressions=$root/tests/tsan.supp history_size=7 exitcode=0 log_path=$reports/report"
    export QUOR_THREADS=4
    timeout=900
    ;;
  *)
    echo "usage: $0 asan|tsan" >&2
    exit 2
    ;;
esac
bash scripts/install-deps.sh
# -O1 keeps the stacks whole and builds faster; the benchmarks are not
# tests and stay out.
cmake -S . -B "build-$kind" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUOR_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" >/dev/null
# Some tests run a program as another account: its reports go here too.
[ "$kind" = tsan ] && rm -rf "$reports" && mkdir -p "$reports" && chmod 1777 "$reports"
cmake --build "build-$kind" -j"$jobs"
export QT_QPA_PLATFORM=offscreen

# The suppression file hides nothing of this program's own: the fault the
# small program makes on purpose is reported in spite of it.
if [ "$kind" = asan ]; then
  probe=leak_in_a_slot supp=tests/lsan.supp mark=" loseAnAllocationInASlot "
  found=$("build-$kind/tests/$probe" 2>&1 || true)
else
  probe=race_on_a_qstring supp=tests/tsan.supp mark=" readTheSharedStringsLength "
  found=$(TSAN_OPTIONS="$TSAN_OPTIONS log_path=stderr" "build-$kind/tests/$probe" 2>&1 || true)
fi
if ! grep -q "$mark" <<<"$found"; then
  echo "$supp hides a fault of this program's own: tests/$probe.cpp's is not reported" >&2
  printf '%s\n' "$found" >&2
  exit 1
fi
status=0
(cd "build-$kind" && ctest --output-on-failure -j"$jobs" --timeout "$timeout") || status=$?
if [ "$kind" = tsan ]; then
  # A report is this program's when this program's code took part on both
  # sides: one of its racing accesses (or a lock taken in the wrong order)
  # was made by this program's code, that is, the first frame of that stack
  # past the sanitizer, the C and C++ runtimes and Qt Core (its library and
  # the code its headers put inline) lies in a test program or in quor or
  # quor-run; and every one of its stacks holds a frame of this program, or
  # could not be restored. A race of this program on a QList or a QString,
  # which Qt Core's functions make (QArrayData::allocate), so shows with the
  # program's frame that called them. The sanitizer sees no frame of an
  # uninstrumented library: a race between a thread of Qt's or QGIS's own,
  # whose stack holds library frames only, and this program's thread inside
  # a call to the library is the library's handover, counted and not
  # failed. The stand-ins for Qt's functions in tsan_qt_locks.cpp are Qt
  # Core's.
  own=$(cat "$reports"/report.* 2>/dev/null | awk '
    function endStack() { if (stack && !ours) everyStackOurs = 0; stack = 0 }
    function endReport() {
      if (text != "" && madeByUs && everyStackOurs) { print text; n++ }
      text = ""; madeByUs = 0; everyStackOurs = 1
    }
    BEGIN { everyStackOurs = 1 }
    /^==================$/ { endStack(); endReport(); next }
    { text = text $0 "\n" }
    /^  [A-Z]/ { endStack()
                 stack = ($0 ~ /^  (Previous )?([Aa]tomic )?([Rr]ead|[Ww]rite) of size|^  Mutex M[0-9]+ acquired here/)
                 first = 1; ours = 0; next }
    stack && /failed to restore the stack/ { ours = 1 }
    stack && /^ +#[0-9]+ / {
      module = "<unknown module>"
      if (match($0, /\([^()]+\+0x[0-9a-f]+\)$/)) module = substr($0, RSTART + 1, RLENGTH - 2)
      program = (module !~ /\.so|<unknown module>/ && $0 !~ /tsan_qt_locks\.cpp/)
      if (program) ours = 1
      if (!first || module ~ /^(libtsan|libc|libstdc\+\+|libgcc_s|libQt5Core)\.so/ ||
          $0 ~ /tsan_qt_locks\.cpp|\/qt5\/Qt[A-Za-z]*\//) next
      first = 0
      if (program) madeByUs = 1
    }
    END { endStack(); endReport(); print n + 0 > "/dev/stderr" }' 2>"$reports/own-count")
  all=$(cat "$reports"/report.* 2>/dev/null | grep -c "^WARNING: ThreadSanitizer" || true)
  echo "ThreadSanitizer: $all reports; $(cat "$reports/own-count") made by Quor's own code (in $reports)"
  if [ "$(cat "$reports/own-count")" != 0 ]; then
    printf '%s\n' "$own"
    status=1
  fi
fi
exit $status
