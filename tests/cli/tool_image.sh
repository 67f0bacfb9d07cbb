#!/usr/bin/env bash
# quorvin-tool image converts every picture format the game reads: the same
# pixels written as P6, P3 and V6 come out as the same PNG bytes, PGM as gray,
# V7 and ANIM1 frames with their alpha, and "@" names through the data
# directories; damaged files fail with a message.
set -u
game=$1
tool=$2
. "$(dirname "$0")/common.bash"
export XDG_DATA_HOME="$work/xdg"
export QV_HOME="$work/data"
unset ZOLM_LOGFILE ZOLM_LOGFILE_FLAGS ZOLM_OPTIONS
mkdir -p "$QV_HOME"

# says FILE TEXT: the tool's report on FILE holds the line TEXT.
says() {
    local got
    got=$("$tool" image "$1" 2>&1) || fail "image $1 failed: $got"
    printf '%s\n' "$got" | grep -qxF "$2" || fail "image $1 said '$got', wanted '$2'"
}

# convert FILE: writes FILE.png and checks it reads back the same way (a
# gray picture comes back as RGB, so only its size is checked).
convert() {
    "$tool" image "$1" --out "$1.png" >/dev/null || { fail "convert $1"; return; }
    "$tool" image "$1.png" --out "$1.again.png" >/dev/null || fail "read back $1.png"
    case "$1" in
    *.pgm) ;;
    *) cmp -s "$1.png" "$1.again.png" || fail "$1.png changed when written again" ;;
    esac
}

# 2 x 1 pixels (255, 0, 119) and (17, 34, 51) in each RGB form.
printf 'P6\n# raw\n2 1\n15\n\x0f\x00\x07\x01\x02\x03' >"$work/a.ppm"
printf 'P3 2 1 15\n# text\n15 0 7 1 2 3\n' >"$work/b.ppm"
printf 'V6 2 1\n\xff\x00\x77\x12\x22\xbc' >"$work/c.v6"
for f in a.ppm b.ppm c.v6; do
    says "$work/$f" "2x1, 3 channels"
    convert "$work/$f"
done
cmp -s "$work/a.ppm.png" "$work/b.ppm.png" || fail "P6 and P3 of the same pixels differ as PNG"
cmp -s "$work/a.ppm.png" "$work/c.v6.png" || fail "P6 and V6 of the same pixels differ as PNG"

printf 'P5 3 2 255\n\x00\x40\x80\xc0\xff\x10' >"$work/d.pgm"
printf 'P2 3 2 255 0 64 128 192 255 16\n' >"$work/e.pgm"
for f in d.pgm e.pgm; do
    says "$work/$f" "3x2, 1 channels"
    convert "$work/$f"
done
cmp -s "$work/d.pgm.png" "$work/e.pgm.png" || fail "P5 and P2 of the same pixels differ as PNG"
says "$work/d.pgm.png" "3x2, 3 channels"

printf 'V7 1 1\n\x0a\x14\x1e\x28' >"$work/f.v7"
says "$work/f.v7" "1x1, 4 channels"
convert "$work/f.v7"
says "$work/f.v7.png" "1x1, 4 channels"

# A PNG through an "@" name, with its ".info" side file as the info text.
cp "$work/a.ppm.png" "$QV_HOME/pic.png"
printf '[mip_max_alpha]' >"$QV_HOME/pic.png.info"
says @pic.png "2x1, 3 channels"
says @pic.png "info: [mip_max_alpha]"

# An animation of two images, three frames: V7, the PNG, V7 again.
cp "$work/f.v7.png" "$QV_HOME/frame.png"
printf 'ANIM1 3 2 5 1\n0 1 0\nV7 1 1\n\x0a\x14\x1e\x28PNG @frame.png\n' >"$work/g.seq"
out=$("$tool" image "$work/g.seq" --out "$work/g.png") || fail "ANIM1: $out"
printf '%s\n' "$out" | grep -q "3 frames of 2 images" || fail "ANIM1 said '$out'"
for k in 0 1 2; do
    cmp -s "$work/g-$k.png" "$work/f.v7.png" || fail "ANIM1 frame $k differs from the V7 picture"
done
printf 'ANIM1 1 1 5 1\n3\nV7 1 1\nabcd' >"$work/h.seq"
"$tool" image "$work/h.seq" >/dev/null 2>&1 && fail "a sequence entry out of range was accepted"

# Damaged files fail with a message and status 1.
printf 'P6 2 1 255\nabc' >"$work/short.ppm"
printf 'V7 100000 1\n' >"$work/huge.v7"
printf '\x89PNG\r\n\x1a\n' >"$work/cut.png"
rejects_damaged image short.ppm huge.v7 cut.png missing.png
"$tool" image --help | grep -q "usage: quorvin-tool image FILE" || fail "image --help"
"$tool" image >/dev/null 2>&1 && fail "image without a file succeeded"

finish "tool image"
