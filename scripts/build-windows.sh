#!/usr/bin/env bash
# scripts/build-windows.sh [DIR]: cross-builds the Windows programs
# (controller-cli.exe, controller-sim.exe) and the test programs that need no
# Qt into DIR (default build/windows) with MinGW-w64, and prints DIR.
# Installs what is missing from Debian's archive: the cross compiler, Wine
# (to run the tests) and the sources of GoogleTest, built here for Windows.
# Extra arguments after DIR go to CMake.
#
# With CT_WINDOWS_WINDOW=1, also the window, controller-tools.exe, in
# DIR/window (with the two programs beside it, for the package): static
# against Qt for Windows, one .exe that needs only Windows' own DLLs. Qt for
# Windows comes from scripts/build-qt-mingw.sh, which builds it from Debian's
# source package on first use (some 16 minutes on 2 cores) and caches it.
# Without CT_WINDOWS_WINDOW=1 the window is left out, and said so.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build/windows}"
shift || true
mkdir -p "$dir"
dir="$(cd "$dir" && pwd)"

"$root/scripts/install-deps.sh"
packages=(g++-mingw-w64-x86-64-posix wine wine64 googletest)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if ((${#missing[@]} > 0)); then
    echo "Installing: ${missing[*]}" >&2
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

toolchain="$root/cmake/mingw-w64-x86_64.cmake"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

# GoogleTest from the sources Debian ships, built once per build folder
# (unless the tests are not wanted).
gtest="$dir/googletest"
if [[ " $* " != *" -DCT_BUILD_TESTS=OFF "* && ! -f "$gtest/install/lib/cmake/GTest/GTestConfig.cmake" ]]; then
    cmake -S /usr/src/googletest -B "$gtest/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest/install" -DBUILD_GMOCK=ON \
        -Dgtest_disable_pthreads=OFF "${launcher[@]}" >/dev/null
    cmake --build "$gtest/build" -j "$(nproc)" >/dev/null
    cmake --install "$gtest/build" >/dev/null
fi

cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCT_BUILD_GUI=OFF -DCT_BUILD_BENCH=OFF -DGTest_DIR="$gtest/install/lib/cmake/GTest" \
    --no-warn-unused-cli "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)" >&2

window="$dir/window"
if [[ "${CT_WINDOWS_WINDOW:-0}" == 1 ]]; then
    qt="$("$root/scripts/build-qt-mingw.sh" | tail -n 1)"
    # Qt's toolchain file finds Qt for Windows and the host's moc, rcc and
    # uic, and hands the compilers over to ours.
    cmake -S "$root" -B "$window" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" \
        -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" -DQT_CHAINLOAD_TOOLCHAIN_FILE="$toolchain" \
        -DCT_BUILD_GUI=ON -DCT_BUILD_TESTS=OFF -DCT_BUILD_BENCH=OFF -DCT_BUILD_FUZZ=OFF \
        --no-warn-unused-cli "${launcher[@]}" >/dev/null
    cmake --build "$window" -j "$(nproc)" >&2
    echo "built: $window/src/app/controller-tools.exe" >&2
else
    rm -rf "$window"
    qt="Qt for Windows is cached"
    "$root/scripts/build-qt-mingw.sh" --cached >/dev/null 2>&1 || qt="first Qt for Windows, some 16 minutes"
    echo "controller-tools.exe: not built; CT_WINDOWS_WINDOW=1 builds it ($qt)" >&2
fi
echo "$dir"
