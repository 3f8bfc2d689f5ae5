#!/usr/bin/env bash
# packaging/render-icons.sh: draws the PNG icons from the SVG sources again.
# Run it after changing an SVG and commit the PNGs, so that building and
# packaging need no SVG renderer. 16 pixels comes from its own drawing on the
# pixel grid; the other sizes from the scalable icon.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
id=org.controllertools.ControllerTools
icons="$here/icons"
for size in 16 32 48 64 128 256; do
    source="$icons/$id.svg"
    if [[ $size -eq 16 ]]; then
        source="$icons/$id-16.svg"
    fi
    mkdir -p "$icons/${size}x${size}"
    rsvg-convert --width "$size" --height "$size" --format png \
        --output "$icons/${size}x${size}/$id.png" "$source"
done
