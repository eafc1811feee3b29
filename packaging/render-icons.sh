#!/usr/bin/env bash
# Renders the PNG icons from icons/corvane-test.svg. Run by hand after
# changing the drawing and commit the results: the build only copies the PNGs,
# so it needs neither librsvg nor Qt's SVG plugin.
set -euo pipefail
cd "$(dirname "$0")/icons"
command -v rsvg-convert >/dev/null || { echo "rsvg-convert missing: apt-get install librsvg2-bin" >&2; exit 1; }
for size in 48 128 256; do
    rsvg-convert -w "$size" -h "$size" corvane-test.svg -o "corvane-test-$size.png"
done
ls -l corvane-test-*.png
