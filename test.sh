#!/usr/bin/env bash
# Builds every target into build-test/ and runs every test with ctest.
#   ./test.sh --sanitize   the same in a Debug build with AddressSanitizer and UndefinedBehaviorSanitizer,
#                          in build-asan/; any error or leak of ours fails the test that met it.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
mode=${1:-}
case "$mode" in
  "") build=build-test; config=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  --sanitize)
    build=build-asan
    flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    config=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_C_FLAGS=$flags" "-DCMAKE_CXX_FLAGS=$flags"
            "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined"
            "-DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=address,undefined")
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_init_order=1:detect_stack_use_after_return=1
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    # Leaks inside third-party libraries only; the file names each library.
    export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
    ;;
  *) echo "usage: $0 [--sanitize]" >&2; exit 2 ;;
esac
scripts/install-deps
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja "${config[@]}" "${launcher[@]}" -DKEYLOUPE_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 600
