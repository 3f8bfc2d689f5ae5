#!/usr/bin/env bash
# check-install.sh SOURCE-DIR BUILD-DIR CMAKE CPACK VERSION gui|no-gui
#
# Installs this build tree into a temporary prefix, as `cmake --install`
# would for a user, and checks what lands there: exactly the programs, the
# desktop entry, icons, metainfo and manual pages; the desktop entry and
# metainfo pass their validators; the pages format without warnings; the
# installed programs run from the prefix. Then packs the same tree into a
# Debian package and checks its fields and file list, and that lintian finds
# no error or warning in it. Nothing is rebuilt.
set -uo pipefail
source="$1"
build="$2"
cmake="$3"
cpack="$4"
version="$5"
gui="$6"

id=org.controllertools.ControllerTools
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

tone=lib/controller-tools/plugins/controller-tools-tone.so
expected=(
    bin/controller-cli
    bin/controller-sim
    share/man/man1/controller-cli.1.gz
    share/man/man1/controller-sim.1.gz
    share/doc/controller-tools/copyright
    share/doc/controller-tools/changelog.Debian.gz
    share/lintian/overrides/controller-tools
    share/bash-completion/completions/controller-cli
    share/bash-completion/completions/controller-sim
)
for example in "$source"/sim/examples/*.ini; do
    [[ -e "$example" ]] && expected+=("share/doc/controller-tools/examples/$(basename "$example")")
done
if [[ "$gui" == gui ]]; then
    expected+=(
        bin/controller-tools
        share/man/man1/controller-tools.1.gz
        "share/applications/$id.desktop"
        "share/metainfo/$id.metainfo.xml"
        "share/icons/hicolor/scalable/apps/$id.svg"
    )
    for size in 16 32 48 64 128 256; do
        expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
    done
    # The beep's sound output, where Qt Multimedia was there to build it.
    [[ -f "$build/src/app/${tone##*/}" ]] && expected+=("$tone")
fi
want="$(printf '%s\n' "${expected[@]}" | sort)"

# --- cmake --install: the whole tree, not one component, so that anything
# else a build would install shows up as a file too many.
prefix="$work/root/usr"
if ! "$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    fail "cmake --install failed"
    exit 1
fi
got="$(cd "$prefix" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort)"
if [[ "$got" != "$want" ]]; then
    fail "installed files differ from the expected list (< missing, > not expected):"
    diff <(echo "$want") <(echo "$got") >&2
fi

for program in controller-cli controller-sim controller-tools; do
    if [[ -e "$prefix/bin/$program" && ! -x "$prefix/bin/$program" ]]; then
        fail "bin/$program is not executable"
    fi
done

# The installed programs run from the prefix, without the build tree.
if out="$("$prefix/bin/controller-cli" --help 2>&1)"; then
    grep -q 'send' <<<"$out" || fail "installed controller-cli --help names no sub-command"
else
    fail "installed controller-cli --help exits with $?"
fi
if out="$("$prefix/bin/controller-sim" --help 2>&1)"; then
    grep -q -- '--tcp' <<<"$out" || fail "installed controller-sim --help names no option"
else
    fail "installed controller-sim --help exits with $?"
fi

# Each installed program names the package's version, the window without
# a display.
for program in controller-cli controller-sim controller-tools; do
    [[ -x "$prefix/bin/$program" ]] || continue
    out="$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$prefix/bin/$program" --version 2>&1)"
    [[ "$out" == "$program $version" ]] || fail "$program --version prints: $out"
done

# The changelog's newest entry is this version's.
changelog="$prefix/share/doc/controller-tools/changelog.Debian.gz"
if [[ -f "$changelog" ]]; then
    newest="$(gzip -dc "$changelog" | head -n1)"
    [[ "$newest" == "controller-tools ($version-"* ]] || fail "the newest changelog entry is not for $version: $newest"
fi

# Manual pages: whole gzip streams, formatted without a warning, each under
# its own name with the package's version.
for page in "$prefix"/share/man/man1/*.1.gz; do
    [[ -e "$page" ]] || continue
    name="$(basename "$page" .1.gz)"
    if ! gzip -t "$page" 2>/dev/null; then
        fail "$name.1.gz is no whole gzip stream"
        continue
    fi
    warnings="$(gzip -dc "$page" | groff -mandoc -Tutf8 -ww -z 2>&1)"
    [[ -z "$warnings" ]] || fail "$name(1) formats with warnings: $warnings"
    th="$(gzip -dc "$page" | grep -m1 '^\.TH')"
    upper="$(tr '[:lower:]' '[:upper:]' <<<"$name")"
    [[ "$th" == ".TH $upper 1 "* ]] || fail "$name(1) has the title line: $th"
    [[ "$th" == *"\"Controller Tools $version\""* ]] || fail "$name(1) is not for version $version: $th"
done

if [[ "$gui" == gui ]]; then
    desktop="$prefix/share/applications/$id.desktop"
    metainfo="$prefix/share/metainfo/$id.metainfo.xml"
    if [[ -f "$desktop" ]]; then
        out="$(desktop-file-validate "$desktop" 2>&1)"
        status=$?
        if [[ $status -ne 0 ]] || grep -qE ': (error|warning):' <<<"$out"; then
            fail "desktop-file-validate: $out"
        fi
        grep -qx 'Exec=controller-tools' "$desktop" || fail "the desktop entry does not start controller-tools"
        grep -qx "Icon=$id" "$desktop" || fail "the desktop entry names another icon"
    fi
    if [[ -f "$metainfo" ]]; then
        if ! out="$(appstreamcli validate --no-net "$metainfo" 2>&1)"; then
            fail "appstreamcli validate: $out"
        fi
        # The metainfo's launchable and icon resolve in the installed tree.
        if ! out="$(appstreamcli validate-tree --no-net "$work/root" 2>&1)"; then
            fail "appstreamcli validate-tree: $out"
        fi
        newest="$(grep -o '<release [^>]*version="[^"]*"' "$metainfo" | head -n1 | sed 's/.*version="\([^"]*\)"/\1/')"
        [[ "$newest" == "$version" ]] || fail "the newest release in the metainfo is $newest, the project is $version"
    fi
    # Every PNG is a PNG of the size its folder says.
    for size in 16 32 48 64 128 256; do
        png="$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
        [[ -f "$png" ]] || continue
        read -r -a header < <(od -An -tu1 -N24 "$png" | tr -s ' \n' ' ')
        width=$(( (header[16] << 24) | (header[17] << 16) | (header[18] << 8) | header[19] ))
        height=$(( (header[20] << 24) | (header[21] << 16) | (header[22] << 8) | header[23] ))
        if [[ "${header[1]}${header[2]}${header[3]}" != "807871" || $width -ne $size || $height -ne $size ]]; then
            fail "icon ${size}x${size} is not a ${size}x${size} PNG (${width}x${height})"
        fi
    done
fi

# --- The Debian package, packed from the same tree into the temporary
# folder: what CPack puts in it and what it declares.
if command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null; then
    if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >"$work/cpack.log" 2>&1; then
        cat "$work/cpack.log" >&2
        fail "cpack -G DEB failed"
    else
        debs=("$work"/package/controller-tools_*.deb)
        deb="${debs[0]}"
        if [[ ${#debs[@]} -ne 1 || ! -f "$deb" ]]; then
            fail "cpack made no single controller-tools_*.deb: $(ls "$work/package")"
        else
            [[ "$(dpkg-deb -f "$deb" Package)" == controller-tools ]] || fail "the package is not named controller-tools"
            [[ "$(dpkg-deb -f "$deb" Version)" == "$version"-* ]] || fail "the package version is not $version"
            depends="$(dpkg-deb -f "$deb" Depends)"
            # Only the window uses Qt.
            needed=(libc6)
            if [[ "$gui" == gui ]]; then
                needed+=(libqt6core6 libqt6widgets6 qt6-qpa-plugins fonts-wqy-microhei)
            fi
            [[ " ${expected[*]} " == *" $tone "* ]] && needed+=(libqt6multimedia6)
            for package in "${needed[@]}"; do
                grep -qE "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
            done
            if command -v lintian >/dev/null; then
                # As root lintian says so on stderr; that is no finding.
                if ! out="$(lintian --fail-on error,warning "$deb" 2>&1)"; then
                    fail "lintian: $out"
                fi
            else
                fail "lintian missing: scripts/install-deps.sh installs it"
            fi
            packed="$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' | sort)"
            if [[ "$packed" != "$want" ]]; then
                fail "the package's files differ from the expected list (< missing, > not expected):"
                diff <(echo "$want") <(echo "$packed") >&2
            fi
        fi
    fi
else
    echo "dpkg-deb or dpkg-shlibdeps missing: the Debian package is not checked"
fi

if [[ $failures -ne 0 ]]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "install and package checks passed"
