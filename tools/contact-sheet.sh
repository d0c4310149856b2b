#!/bin/bash
# Usage: contact-sheet.sh ARTDIR OUT.png
# Draws the generated image set for a person to look at: the launcher's
# picture as it is composed on screen (not installed, installed with a lit
# button, with a pressed one), the flame loops, and every file with its name.
set -euo pipefail
art=$1 out=$2
font=${ZEPH_SHEET_FONT:-/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf}
bmp=$art/bitmaps
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The launcher's window: background, flames at frame N, then the buttons
# given as "stem picture x y" in drawing order.
screen() { # out frame buttons...
    local dest=$1 frame=$2; shift 2
    local args=(-size 644x456 xc:black "$bmp/8bg1.bmp" -geometry +0+0 -composite)
    while [ $# -gt 0 ]; do
        args+=("$bmp/$1$2.bmp" -geometry "+$3+$4" -composite)
        shift 4
    done
    args+=("$bmp/fire$frame.bmp" -geometry +339+62 -composite
           "$bmp/fire2_$frame.bmp" -geometry +115+159 -composite)
    convert "${args[@]}" "$dest"
}
common=(8bdldx7 u 500 237  8b4 u 20 306  8b6 u 21 17  8b7 u 384 367  8bexit u 500 306
        8bvexa u 150 347  8orlo u 263 347)
screen "$work/a-not-installed.png" 01 8b1 u 20 237 "${common[@]}"
screen "$work/b-installed-play-lit.png" 05 8b8 f 20 237 8b10 u 20 376 "${common[@]}" 8b6 f 21 17
screen "$work/c-installed-down.png" 09 8b8 u 20 237 8b10 d 20 376 "${common[@]}" 8orlo f 263 347

# Each flame's sixteen shown frames in a row, enlarged, then frame 1 again
# at the end to show that the loop closes.
for flame in fire fire2_; do
    frames=()
    for n in $(seq -w 1 16) 01; do frames+=("$bmp/$flame$n.bmp"); done
    montage "${frames[@]}" -tile x1 -geometry +2+2 -background '#202020' "$work/loop-$flame.png"
done
convert "$work/loop-fire.png" -scale 200% "$work/d-loop-big.png"
convert "$work/loop-fire2_.png" -scale 300% "$work/e-loop-small.png"

# Every file by name: the buttons with their three pictures side by side
# (up, focus, down), then both flames' thirty frames.
labelled() { # out columns files...
    local dest=$1 columns=$2; shift 2
    montage -font "$font" -pointsize 10 -fill '#c0c0c0' -background '#202020' -label '%t' \
        "$@" -tile "${columns}x" -geometry '+6+4' "$dest"
}
pictures() { for stem; do echo "$bmp/${stem}u.bmp" "$bmp/${stem}f.bmp" "$bmp/${stem}d.bmp"; done; }
labelled "$work/f1-buttons.png" 9 $(pictures 8b1 8b8 8b10 8b4 8bdldx7 8bexit)
labelled "$work/f2-sites.png" 9 $(pictures 8b7 8bvexa 8orlo)
labelled "$work/g-logo.png" 3 $(pictures 8b6)
labelled "$work/h-big-frames.png" 15 "$bmp"/fire[0-9][0-9].bmp
labelled "$work/i-small-frames.png" 15 "$bmp"/fire2_*.bmp -resize 200%
convert -background '#101010' "$work"/[a-c]-*.png -gravity west -splice 12x0 +append \
    "$work/screens.png"
convert -background '#101010' "$work/screens.png" "$work"/[d-i]*.png -gravity north -splice 0x12 \
    -gravity west -append "$out"
echo "contact sheet: $out"
