#!/usr/bin/env bash
# scripts/package.sh: installs what is missing, builds the programs in
# Release without tests or benchmarks in build/package, with Debian's
# hardening flags, and packs them into a Debian package there, which lintian
# must pass without an error or a warning. Prints the package's path.
#   sudo apt install ./build/package/controller-tools_*.deb
# installs it with the Qt libraries and fonts it needs.
#   scripts/package.sh --windows
# cross-builds the Windows programs in build/windows-package instead and packs
# them, the example line files and a README into a ZIP; prints its path.
# With CT_WINDOWS_WINDOW=1 the window, controller-tools.exe, is among them
# (scripts/build-windows.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [[ "${1:-}" == "--windows" ]]; then
    dir="$("$root/scripts/build-windows.sh" "$root/build/windows-package" -DCMAKE_BUILD_TYPE=Release \
        -DCT_BUILD_TESTS=OFF | tail -n 1)"
    # The window's build folder holds all three programs.
    [[ -f "$dir/window/src/app/controller-tools.exe" ]] && dir="$dir/window"
    rm -f "$dir"/controller-tools-*-windows-x64.zip
    (cd "$dir" && cpack -G ZIP >"$dir/cpack.log") || { cat "$dir/cpack.log" >&2; exit 1; }
    ls "$dir"/controller-tools-*-windows-x64.zip
    exit 0
fi
"$root/scripts/install-deps.sh"
dir="$root/build/package"
# Built with the hardening flags of Debian's own packages, immediate binding
# included; from the source folder, whose path the flags map away.
cd "$root"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
"$root/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=Release \
    -DCT_BUILD_GUI=ON -DCT_BUILD_TESTS=OFF -DCT_BUILD_BENCH=OFF -DCT_BUILD_FUZZ=OFF \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
rm -f "$dir"/controller-tools_*.deb
(cd "$dir" && cpack -G DEB >"$dir/cpack.log") || { cat "$dir/cpack.log" >&2; exit 1; }
deb="$(ls "$dir"/controller-tools_*.deb)"
# No error and no warning; as root lintian says so, which is none.
lintian --fail-on error,warning "$deb" 2> >(grep -v 'running with root privileges' >&2) ||
    { echo "lintian finds fault with $deb" >&2; exit 1; }
echo "$deb"
