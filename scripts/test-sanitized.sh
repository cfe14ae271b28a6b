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
[ "$kind" = tsan ] && rm -rf "$reports" && mkdir -p "$reports"
cmake --build "build-$kind" -j"$jobs"
export QT_QPA_PLATFORM=offscreen
status=0
(cd "build-$kind" && ctest --output-on-failure -j"$jobs" --timeout "$timeout") || status=$?
if [ "$kind" = tsan ]; then
  # A report is this program's when one of its racing accesses (or a lock
  # taken in the wrong order) was made by this program's code: the first
  # frame of that stack past the sanitizer, the C and C++ runtimes and Qt
  # Core lies in a test program or in quor or quor-run, not in a library.
  # A race of this program on a QList or a QString, which Qt Core's
  # functions make (QListData::realloc_grow), so shows with the program's
  # frame that called them; a race inside QGIS or Qt threads, with library
  # frames only, is counted and not failed. The stand-ins for Qt's
  # functions in tsan_qt_locks.cpp are Qt Core's.
  own=$(cat "$reports"/report.* 2>/dev/null | awk '
    /^==================$/ { if (text != "" && mine) { print text; n++ } text = ""; mine = 0; next }
    { text = text $0 "\n" }
    /^  [A-Z]/ { access = ($0 ~ /^  (Previous )?([Aa]tomic )?([Rr]ead|[Ww]rite) of size|^  Mutex M[0-9]+ acquired here/)
                 first = 1; next }
    access && first && /^ +#[0-9]+ / {
      module = "<unknown module>"
      if (match($0, /\([^()]+\+0x[0-9a-f]+\)$/)) module = substr($0, RSTART + 1, RLENGTH - 2)
      if (module ~ /^(libtsan|libc|libstdc\+\+|libgcc_s|libQt5Core)\.so/ || $0 ~ /tsan_qt_locks\.cpp/) next
      first = 0
      if (module !~ /\.so|<unknown module>/) mine = 1
    }
    END { if (text != "" && mine) { print text; n++ } print n + 0 > "/dev/stderr" }' 2>"$reports/own-count")
  all=$(cat "$reports"/report.* 2>/dev/null | grep -c "^WARNING: ThreadSanitizer" || true)
  echo "ThreadSanitizer: $all reports; $(cat "$reports/own-count") made by Quor's own code (in $reports)"
  if [ "$(cat "$reports/own-count")" != 0 ]; then
    printf '%s\n' "$own"
    status=1
  fi
fi
exit $status
