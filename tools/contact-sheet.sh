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

# Each element's files and place, from the demo's identity file.
declare -A stem x y
while read -r key element_stem element_x element_y width height _; do
    stem[$key]=$element_stem x[$key]=$element_x y[$key]=$element_y
    [ "$key" != background ] || window="$((width + 4))x$((height + 4))"
done < <(python3 "$(dirname "$0")/identity.py" places "$(dirname "$0")/../disc/identity.txt")
# "stem picture x y" of a button, for screen.
at() { echo "${stem[$1]} $2 ${x[$1]} ${y[$1]}"; }

# The launcher's window: background, flames at frame N, then the buttons
# given as "stem picture x y" in drawing order.
screen() { # out frame buttons...
    local dest=$1 frame=$2; shift 2
    local args=(-size "$window" xc:black "$bmp/${stem[background]}.bmp" -geometry +0+0 -composite)
    while [ $# -gt 0 ]; do
        args+=("$bmp/$1$2.bmp" -geometry "+$3+$4" -composite)
        shift 4
    done
    for flame in big_flame small_flame; do
        args+=("$bmp/${stem[$flame]}$frame.bmp" -geometry "+${x[$flame]}+${y[$flame]}" -composite)
    done
    convert "${args[@]}" "$dest"
}
common=$(for key in directx readme game_logo publisher exit developer licensor; do at $key u; done)
# shellcheck disable=SC2046,SC2086 # each button is four words
screen "$work/a-not-installed.png" 01 $(at install u) $common
# shellcheck disable=SC2046,SC2086
screen "$work/b-installed-play-lit.png" 05 $(at play f) $(at uninstall u) $common $(at game_logo f)
# shellcheck disable=SC2046,SC2086
screen "$work/c-installed-down.png" 09 $(at play u) $(at uninstall d) $common $(at licensor f)

# Each flame's sixteen shown frames in a row, enlarged, then frame 1 again
# at the end to show that the loop closes.
for flame in big_flame small_flame; do
    frames=()
    for n in $(seq -w 1 16) 01; do frames+=("$bmp/${stem[$flame]}$n.bmp"); done
    montage "${frames[@]}" -tile x1 -geometry +2+2 -background '#202020' "$work/loop-$flame.png"
done
convert "$work/loop-big_flame.png" -scale 200% "$work/d-loop-big.png"
convert "$work/loop-small_flame.png" -scale 300% "$work/e-loop-small.png"

# Every file by name: the buttons with their three pictures side by side
# (up, focus, down), then both flames' thirty frames.
labelled() { # out columns files...
    local dest=$1 columns=$2; shift 2
    montage -font "$font" -pointsize 10 -fill '#c0c0c0' -background '#202020' -label '%t' \
        "$@" -tile "${columns}x" -geometry '+6+4' "$dest"
}
pictures() { for key; do echo "$bmp/${stem[$key]}"{u,f,d}.bmp; done; }
# shellcheck disable=SC2046 # file names without blanks
labelled "$work/f1-buttons.png" 9 $(pictures install play uninstall readme directx exit)
# shellcheck disable=SC2046
labelled "$work/f2-sites.png" 9 $(pictures publisher developer licensor)
# shellcheck disable=SC2046
labelled "$work/g-logo.png" 3 $(pictures game_logo)
labelled "$work/h-big-frames.png" 15 "$bmp/${stem[big_flame]}"[0-9][0-9].bmp
labelled "$work/i-small-frames.png" 15 "$bmp/${stem[small_flame]}"[0-9][0-9].bmp -resize 200%
convert -background '#101010' "$work"/[a-c]-*.png -gravity west -splice 12x0 +append \
    "$work/screens.png"
convert -background '#101010' "$work/screens.png" "$work"/[d-i]*.png -gravity north -splice 0x12 \
    -gravity west -append "$out"
echo "contact sheet: $out"
