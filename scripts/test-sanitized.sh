#!/usr/bin/env bash
# Builds Quor under a sanitizer in a folder of its own and runs every test
# there (no display needed).
#   bash scripts/test-sanitized.sh asan   AddressSanitizer with
#       UndefinedBehaviorSanitizer, in ./build-asan (part of CI): the first
#       report fails its test, with the stack that led to it.
#   bash scripts/test-sanitized.sh tsan   ThreadSanitizer, in ./build-tsan:
#       fails on a report this program's own code takes part in (a race
#       it made an access of, a mutex it misused, a call its signal handler
#       must not make, a thread it never joined: tests/tsan_own_reports.awk);
#       races within Qt's, QGIS's or GDAL's code are counted, not failed
#       (tests/tsan.supp says why).
# Before the suite, a small program with faults of this program's own kind
# (what a slot that Qt's event loop runs loses; a race on a shared QString,
# a misused mutex, a handler's unsafe call, a thread never joined) must be
# reported with the suppression file, or the script fails.
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

# The suppression files hide nothing of this program's own: each fault the
# small program makes on purpose is reported in spite of them (and counted
# as this program's by the filter the suite's reports go through).
if [ "$kind" = asan ]; then
  probe=leak_in_a_slot supp=tests/lsan.supp
  marks="loseABlockInASlot loseAQObjectInASlot loseAStringInASlot"
  found=$("build-$kind/tests/$probe" 2>&1 || true)
else
  probe=faults_across_threads supp=tests/tsan.supp
  marks="readTheSharedStringsLength unlockTheMutexNobodyHolds allocateInTheSignalHandler startAThreadNeverJoined"
  found=$(TSAN_OPTIONS="$TSAN_OPTIONS log_path=stderr" "build-$kind/tests/$probe" 2>&1 |
          awk -f tests/tsan_own_reports.awk 2>/dev/null || true)
fi
missing=""
for mark in $marks; do
  grep -qE "[ :]$mark[ (]" <<<"$found" || missing="$missing $mark"
done
if [ -n "$missing" ]; then
  echo "$supp hides a fault of this program's own: tests/$probe.cpp's$missing not reported as this program's" >&2
  printf '%s\n' "$found" >&2
  exit 1
fi
status=0
(cd "build-$kind" && ctest --output-on-failure -j"$jobs" --timeout "$timeout") || status=$?
if [ "$kind" = tsan ]; then
  # tests/tsan_own_reports.awk says which reports are this program's.
  own=$(cat "$reports"/report.* 2>/dev/null | awk -f tests/tsan_own_reports.awk 2>"$reports/own-count")
  all=$(cat "$reports"/report.* 2>/dev/null | grep -c "^WARNING: ThreadSanitizer" || true)
  echo "ThreadSanitizer: $all reports; $(cat "$reports/own-count") made by Quor's own code (in $reports)"
  if [ "$(cat "$reports/own-count")" != 0 ]; then
    printf '%s\n' "$own"
    status=1
  fi
fi
exit $status
