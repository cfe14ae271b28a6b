#!/usr/bin/env bash
# Builds Quor with UndefinedBehaviorSanitizer in ./build-ubsan and runs
# every test there (no display needed); a report ends its test with the
# stack that led to it. Not part of CI: the instrumented build takes
# about as long again as the plain one.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
flags="-fsanitize=undefined -fno-sanitize-recover=undefined"
cmake -S . -B build-ubsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=undefined -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=undefined >/dev/null
cmake --build build-ubsan -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen UBSAN_OPTIONS=print_stacktrace=1
cd build-ubsan
ctest --output-on-failure -j"$(nproc)" --timeout 600
