#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   scripts/test.sh             release build, all tests
#   scripts/test.sh --sanitize  the same under AddressSanitizer and UBSan
#   scripts/test.sh --windows   the Windows build (scripts/test-windows.sh)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [[ "${1:-}" == "--windows" ]]; then
    exec "$root/scripts/test-windows.sh" "${@:2}"
fi
"$root/scripts/install-deps.sh"

if [[ "${1:-}" == "--sanitize" ]]; then
    dir="$root/build/sanitize"
    "$root/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=Debug -DCT_SANITIZE=ON -DCT_BUILD_BENCH=OFF
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    # Qt's own libraries hold a few allocations for the life of the process.
    export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
else
    dir="$root/build/release"
    "$root/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cd "$dir"
ctest --output-on-failure -j 2
