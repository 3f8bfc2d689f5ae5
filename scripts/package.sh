#!/usr/bin/env bash
# scripts/package.sh: installs what is missing, builds the programs in
# Release without tests or benchmarks in build/package and packs them into a
# Debian package there. Prints the package's path.
#   sudo apt install ./build/package/controller-tools_*.deb
# installs it with the Qt libraries and fonts it needs.
#   scripts/package.sh --windows
# cross-builds the Windows programs in build/windows-package instead and packs
# them, the example line files and a README into a ZIP; prints its path.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [[ "${1:-}" == "--windows" ]]; then
    dir="$("$root/scripts/build-windows.sh" "$root/build/windows-package" -DCMAKE_BUILD_TYPE=Release \
        -DCT_BUILD_TESTS=OFF | tail -n 1)"
    rm -f "$dir"/controller-tools-*-windows-x64.zip
    (cd "$dir" && cpack -G ZIP >"$dir/cpack.log") || { cat "$dir/cpack.log" >&2; exit 1; }
    ls "$dir"/controller-tools-*-windows-x64.zip
    exit 0
fi
"$root/scripts/install-deps.sh"
dir="$root/build/package"
"$root/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=Release \
    -DCT_BUILD_GUI=ON -DCT_BUILD_TESTS=OFF -DCT_BUILD_BENCH=OFF -DCT_BUILD_FUZZ=OFF
rm -f "$dir"/controller-tools_*.deb
(cd "$dir" && cpack -G DEB >"$dir/cpack.log") || { cat "$dir/cpack.log" >&2; exit 1; }
ls "$dir"/controller-tools_*.deb
