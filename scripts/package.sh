#!/usr/bin/env bash
# scripts/package.sh: installs what is missing, builds the programs in
# Release without tests or benchmarks in build/package, with Debian's
# hardening flags, and packs them into a Debian package there, which lintian
# must pass without an error or a warning. Prints the package's path.
#   sudo apt install ./build/package/controller-tools_*.deb
# installs it with the Qt libraries and fonts it needs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
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
