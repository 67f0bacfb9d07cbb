#!/usr/bin/env bash
# "quorvin-tool check-track" on a tiny valid track and on broken ones: the
# summary of a good track and exit 0; every warning of a bad one and exit 1.
set -u
tool=$2
. "$(dirname "$0")/common.bash"
export XDG_DATA_HOME="$work/xdg"
export QV_HOME="$work/data"
unset ZOLM_LOGFILE ZOLM_LOGFILE_FLAGS ZOLM_OPTIONS
data="$QV_HOME"

# has FILE TEXT: the output holds the line fragment TEXT.
has() { grep -qF -- "$2" "$1" || fail "output lacks '$2'"; }

# bytes COUNT VALUE: COUNT bytes of the octal VALUE.
bytes() { head -c "$1" /dev/zero | tr '\0' "\\$2"; }

# A 2 x 2 picture for each tile.
picture() { { printf 'P6\n2 2\n255\n'; bytes 12 "$2"; } >"$1"; }

# tiny: k = 1 (5 x 5 points, 2 ft apart), flat at 0, three tiles.
tiny="$data/tiny"
mkdir -p "$tiny" "$work/x"
printf '1 2 0 10\n' >"$tiny/terrain.hf"
{ printf 'P6\n5 5\n255\n'; bytes 75 144; } >"$tiny/shading.ppm"
cat >"$tiny/tileinfo" <<'EOF'
texture @tiny/dirt.ppm
friction 1.0 5
friction 0.5 15
roost count=20 "fade_a=256"
addtile
texture @tiny/grass.ppm
addtile
texture @tiny/dirt-grass-1000.ppm
addtile
EOF
printf '\000\001\002\000' >"$tiny/tilemap"
picture "$tiny/dirt.ppm" 120
picture "$tiny/grass.ppm" 60
picture "$tiny/dirt-grass-1000.ppm" 90

"$tool" check-track tiny >"$work/tiny.out" 2>&1 || fail "check-track tiny exited $?"
has "$work/tiny.out" "k 1, N 5, spacing 2 ft, world size 8 ft"
has "$work/tiny.out" "heights 0 .. 0 ft (declared 0 .. 10)"
has "$work/tiny.out" "3 tiles"
has "$work/tiny.out" "@tiny/dirt.ppm  friction 1@5 0.5@15  corner code 0"
has "$work/tiny.out" "@tiny/dirt-grass-1000.ppm  friction 1@1  corner code 264"
# The digest is that of the 25 samples (all 0) as 16-bit values.
bytes 50 0 >"$work/x/zeros"
zeros=$("$tool" digest "$work/x/zeros" | cut -d' ' -f1)
has "$work/tiny.out" "height digest $zeros"
grep -q "warning" "$work/tiny.out" && fail "a good track has warnings"
"$tool" check-track @tiny >/dev/null 2>&1 || fail "check-track @tiny failed"

# broken: bad tileinfo lines, a missing picture and a short tile map load,
# with warnings.
broken="$data/broken"
cp -R "$tiny" "$broken"
cat >"$broken/tileinfo" <<'EOF'
bogus 1
texture @broken/nothere.ppm
roost count=abc
friction 2
addtile
EOF
printf '\000\000' >"$broken/tilemap"
"$tool" check-track broken >"$work/broken.out" 2>&1 && fail "check-track broken exited 0"
has "$work/broken.out" "tileinfo warning: Unknown identifier 'bogus'"
has "$work/broken.out" "tileinfo warning: bad count"
has "$work/broken.out" "tileinfo warning: bad friction parameters"
has "$work/broken.out" "@broken/tilemap: 2 of 4 entries missing; they are tile 0"
has "$work/broken.out" "tile 0: can't read texture '@broken/nothere.ppm'"
has "$work/broken.out" "5 warnings"
has "$work/broken.out" "1 tile"

# unloadable: no shading at all, and a header that is not one.
cp -R "$tiny" "$data/noshade"
rm "$data/noshade/shading.ppm"
"$tool" check-track noshade >"$work/noshade.out" 2>&1 && fail "check-track noshade exited 0"
has "$work/noshade.out" "Can't open '@noshade/shading.ppm'"
has "$work/noshade.out" "load failed"
cp -R "$tiny" "$data/badhf"
printf '1 two\n' >"$data/badhf/terrain.hf"
"$tool" check-track badhf >"$work/badhf.out" 2>&1 && fail "check-track badhf exited 0"
has "$work/badhf.out" "Bad height field parameters"
has "$work/badhf.out" "Error reading heights"
"$tool" check-track nosuchtrack >"$work/none.out" 2>&1 && fail "check-track of a missing track exited 0"
has "$work/none.out" "Can't open '@nosuchtrack/terrain.hf'"
"$tool" check-track >/dev/null 2>&1 && fail "check-track without a name succeeded"

finish "check-track"
