#!/usr/bin/env bash
# scripts/build-qt-mingw.sh: Qt for Windows (MinGW-w64, static: Core, Gui,
# Widgets) built from Debian's own qt6-base source package, for the window's
# cross build. Prints the installed prefix on standard output; everything
# else goes to standard error.
#
# The first run takes some 16 minutes on 2 cores; the result is cached under
# ${XDG_CACHE_HOME:-~/.cache}/controller-tools/, keyed by the Qt version of
# the host's qt6-base-dev (the host's moc, rcc and uic build the program), so
# later runs take a second. The system's package sources are left as they
# are: the source package is fetched through a private apt state that reads
# the system's own Debian sources as deb-src entries.
#   scripts/build-qt-mingw.sh --cached   prints the prefix when the cache is
#                                        there, fails at once when it is not
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
say() { echo "build-qt-mingw: $*" >&2; }

"$root/scripts/install-deps.sh" >&2
apt_get() {
    local sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 "$@"
}
need=()
for p in g++-mingw-w64-x86-64-posix dpkg-dev qt6-base-dev-tools xz-utils; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if ((${#need[@]})); then
    say "installing ${need[*]}"
    apt_get install -y -qq --no-install-recommends "${need[@]}" >&2
fi

host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)  # e.g. 6.4.2+dfsg-10
qt_version=${host_version%%+*}
cache="${XDG_CACHE_HOME:-$HOME/.cache}/controller-tools"
prefix="$cache/qt-$qt_version-mingw64"
stamp="$prefix/.built-from"
cached() { [[ -f "$stamp" && "$(cat "$stamp")" == "qt6-base $host_version" ]]; }
if cached; then
    echo "$prefix"
    exit 0
fi
if [[ "${1:-}" == "--cached" ]]; then
    say "no Qt $qt_version for Windows in $prefix yet"
    exit 1
fi
# One build at a time: a second run waits for the first and then finds its
# result, instead of deleting the folder the first one builds in.
mkdir -p "$cache"
exec 9>"$cache/qt-$qt_version-mingw64.lock"
if ! flock -n 9; then
    say "another run is building Qt $qt_version for Windows; waiting for it"
    flock 9
fi
if cached; then
    echo "$prefix"
    exit 0
fi

work="$cache/qt-$qt_version-mingw64-work"
rm -rf "$work" "$prefix"
mkdir -p "$work/apt/parts" "$work/apt/lists/partial" "$work/apt/cache/archives/partial"

# deb-src twins of the system's Debian entries, in a private apt state.
srcfile="$work/apt/parts/debian-src.sources"
for f in /etc/apt/sources.list.d/*.sources; do
    [[ -f "$f" ]] || continue
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
         /Types:[^\n]*deb/ && /debian-archive-keyring/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f"
done >"$srcfile"
if [[ ! -s "$srcfile" ]]; then
    say "no Debian entry among /etc/apt/sources.list.d/*.sources to take the source package from"
    exit 1
fi
apt_private=(-o "Dir::Etc::sourcelist=/dev/null" -o "Dir::Etc::sourceparts=$work/apt/parts"
             -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache"
             -o "APT::Sandbox::User=$(id -un)")
say "fetching the qt6-base $host_version source package (about 46 MB)"
apt-get "${apt_private[@]}" update -qq >&2
(cd "$work" && apt-get "${apt_private[@]}" source -qq "qt6-base=$host_version" >&2)
src=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
[[ -d "$src" ]] || { say "the source package did not unpack"; exit 1; }

cat >"$work/mingw.cmake" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

# What the window needs and nothing more. Debian's source has no wintab
# headers, hence no tablet events and no Direct2D; DirectWrite 3 would then
# reference a font database that is not compiled (GDI is 6.4's default).
options=(
    -DCMAKE_TOOLCHAIN_FILE="$work/mingw.cmake" -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake"
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF
    -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_testlib=OFF -DFEATURE_xml=OFF
    -DFEATURE_zstd=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_freetype=OFF
    -DFEATURE_fontconfig=OFF -DFEATURE_icu=OFF -DFEATURE_pkg_config=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF
    -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF
)
say "configuring Qt $qt_version for x86_64-w64-mingw32 (static)"
cmake -S "$src" -B "$work/build" -G Ninja "${options[@]}" >"$work/configure.log" 2>&1 \
    || { tail -n 40 "$work/configure.log" >&2; exit 1; }
say "building Qt $qt_version for Windows: about 880 steps, some 16 minutes on 2 cores"
nice cmake --build "$work/build" -j "$(nproc)" >"$work/build.log" 2>&1 \
    || { tail -n 40 "$work/build.log" >&2; exit 1; }
cmake --install "$work/build" >"$work/install.log" 2>&1 || { tail -n 40 "$work/install.log" >&2; exit 1; }
echo "qt6-base $host_version" >"$stamp"
rm -rf "$work"
say "installed in $prefix"
echo "$prefix"
