#!/usr/bin/env bash
# Wall time of the test suite of a build that is already built, with the load
# the machine had meanwhile, so that figures from a shared machine can be
# weighed. Builds nothing.
#   bench/suite-time.sh [BUILD_DIR] [ctest arguments...]
#   bench/suite-time.sh build/release                 whole suite, -j2
#   bench/suite-time.sh build/release -LE slow        the quick run
#   bench/suite-time.sh build/sanitize                with the sanitizers' settings
# The ten slowest tests follow the total.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build/release}"
shift || true
dir="$(cd "$dir" && pwd)"
if [[ "$dir" == */sanitize ]]; then
    # As scripts/test.sh --sanitize runs them.
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
fi
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
read -r load1 _ < /proc/loadavg
start=$(date +%s.%N)
status=0
(cd "$dir" && ctest -j 2 "$@") > "$log" 2>&1 || status=$?
end=$(date +%s.%N)
read -r load2 _ < /proc/loadavg
grep -E "tests passed|tests failed|\*\*\*" "$log" || true
grep -E "^ *[0-9]+/[0-9]+ Test +#" "$log" | sed -E 's/.* Test +#[0-9]+: ([^ ]+) .* ([0-9.]+) sec$/\2 \1/' \
    | sort -rn | head -10
printf 'wall %.1f s on %s cores; load average %s before, %s after (ctest -j 2 %s)\n' \
    "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" "$(nproc)" "$load1" "$load2" "$*"
exit "$status"
