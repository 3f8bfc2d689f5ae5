#!/usr/bin/env bash
# scripts/build.sh <build-dir> [cmake options...]: configures and builds.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"
shift
# A compiler cache, where there is one, makes a second build tree (release,
# sanitizers, fuzzing) and a rebuild after a branch switch cheap.
launcher=()
if command -v ccache >/dev/null && [[ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ]]; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
