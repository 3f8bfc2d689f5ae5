#!/usr/bin/env bash
# scripts/package.sh: installs what is missing, builds the programs in
# Release without tests or benchmarks in build/package and packs them into a
# Debian package there. Prints the package's path.
#   sudo apt install ./build/package/controller-tools_*.deb
# installs it with the Qt libraries and fonts it needs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
dir="$root/build/package"
"$root/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=Release \
    -DCT_BUILD_GUI=ON -DCT_BUILD_TESTS=OFF -DCT_BUILD_BENCH=OFF -DCT_BUILD_FUZZ=OFF
rm -f "$dir"/controller-tools_*.deb
(cd "$dir" && cpack -G DEB >"$dir/cpack.log") || { cat "$dir/cpack.log" >&2; exit 1; }
ls "$dir"/controller-tools_*.deb
