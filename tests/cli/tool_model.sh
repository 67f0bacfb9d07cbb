#!/usr/bin/env bash
# quorvin-tool model loads a model headless and reports its pieces, bones
# and LOD levels; warnings and damaged files make it fail; --pov writes
# every piece as a POV-Ray mesh2.
set -u
game=$1
tool=$2
. "$(dirname "$0")/common.bash"
export XDG_DATA_HOME="$work/xdg"
export QV_HOME="$work/data"
unset ZOLM_LOGFILE ZOLM_LOGFILE_FLAGS ZOLM_OPTIONS
mkdir -p "$QV_HOME/bikes"

tri='0 0 0 0 0 1 0 0.25
1 0 0 0 0 1 1 0.25
0 1 0 0 0 1 0 1
0 1 2'

# says ARGS... -- TEXT: the report holds the line TEXT (status 0).
says() {
    local text=$1
    shift
    local got
    got=$("$tool" model "$@" 2>&1) || fail "model $* failed: $got"
    printf '%s\n' "$got" | grep -qxF -- "$text" || fail "model $* said '$got', wanted '$text'"
}

printf 'VX1\n20 0.5 1 0 0 3 1\n%s\n-1 0.5 0 1 0 3 1\n%s\n' "$tri" "$tri" >"$QV_HOME/bikes/frame.vx"
printf 'VX1\n20 0.5 1 0 0 3 1\n%s\n' "$tri" >"$QV_HOME/bikes/frame_lod1.vx"
printf 'VX1\n20 0.5 1 0 0 3 1\n%s\n' "$tri" | gzip -c >"$QV_HOME/bikes/frame_lod3.vx.gz"
says "model @bikes/frame.vx: 2 LOD levels, reflective" @bikes/frame.vx
says "2 pieces, 6 vertices, 2 triangles, 0 bones" @bikes/frame.vx
says "  piece 1: reflection, colour 0 1 0 0.5, shininess -1, 3 vertices, 1 triangles" @bikes/frame.vx
says "level at distance 2: @bikes/frame_lod1.vx" @bikes/frame.vx
says "level at distance 8: @bikes/frame_lod3.vx" @bikes/frame.vx

printf '3 1\n%s\n' "$tri" >"$work/plain.vx"
says "  piece 0: lit, colour 1 1 1 1, shininess 32, 3 vertices, 1 triangles" "$work/plain.vx"

printf 'VX2 3 body\n8 1 1 1 1 3 1\n0 0 0 0 0 1 0 0 1 0 0\n1 0 0 0 0 1 1 0 0 1 0\n0 1 0 0 0 1 0 1 0 0 1\n0 1 2\n' >"$work/skin.vx"
says "1 pieces, 3 vertices, 1 triangles, 3 bones" "$work/skin.vx"

# POV-Ray output of both pieces.
"$tool" model @bikes/frame.vx --pov "$work/frame.pov" >/dev/null || fail "model --pov"
[ "$(grep -c '^mesh2 {$' "$work/frame.pov")" = 2 ] || fail "--pov did not write two mesh2 objects"
grep -qxF $'\t\t<0.000000,0.750000>,' "$work/frame.pov" || fail "--pov lacks the flipped texture coordinate"

# Five influences: the warning is shown and the status is 1.
printf 'VX2 5 body\n8 1 1 1 1 3 1\n0 0 0 0 0 1 0 0 1 1 1 1 1\n1 0 0 0 0 1 1 0 1 0 0 0 0\n0 1 0 0 0 1 0 1 1 0 0 0 0\n0 1 2\n' >"$work/five.vx"
out=$("$tool" model "$work/five.vx" 2>&1)
status=$?
[ "$status" -eq 1 ] || fail "a warning exited $status"
printf '%s\n' "$out" | grep -qF "Warning: vertex with more than 4 bone influences in '$work/five.vx'" ||
    fail "the warning was not shown: $out"

# Damaged files fail with a message and status 1.
printf 'VX3\n' >"$work/v3.vx"
printf 'VX1\n5 1 1 1 1 3 1\n0 0 0 0 0 1 0 0\n1 0 0 0 0 1 0 0\n0 1 0 0 0 1 0 0\n0 1 7\n' >"$work/index.vx"
printf 'VX2 99 x\n5 1 1 1 1 0 0\n' >"$work/bones.vx"
printf 'VX1\n5 1 1 1 1 100000 1\n0 0 0\n' >"$work/short.vx"
rejects_damaged model v3.vx index.vx bones.vx short.vx missing.vx
"$tool" model --help | grep -q "usage: quorvin-tool model FILE" || fail "model --help"
"$tool" model >/dev/null 2>&1 && fail "model without a file succeeded"

finish "tool model"
