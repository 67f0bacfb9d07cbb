#!/usr/bin/env bash
# "quorvin-tool check-track" on a tiny valid track, on broken ones and on the
# default tracks of the data set: the summary of a good track and exit 0;
# every warning of a bad one and exit 1.
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
has "$work/tiny.out" "gates 0, F 0, L 0"
has "$work/tiny.out" "starting slots 0"
has "$work/tiny.out" "statues 0 (0 from \"statues\"), 0 with shapes, 0 collision objects"
has "$work/tiny.out" "cameras 0, 0 gates mapped"
has "$work/tiny.out" "minimap no"
grep -q "warning" "$work/tiny.out" && fail "a good track has warnings"
grep -q "eallocating" "$work/tiny.out" && fail "the unload's lines are shown"
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

# badcontent: a statue whose shape is missing and a billboard whose picture
# is missing load, with warnings.
cp -R "$tiny" "$data/badcontent"
printf '[4 0 4] 0 null null nothere.shp\n' >"$data/badcontent/statues"
printf '[2 0 2] 5 1 #ff8000#nothere.png\n' >"$data/badcontent/billboards"
"$tool" check-track badcontent >"$work/badcontent.out" 2>&1 && fail "check-track badcontent exited 0"
has "$work/badcontent.out" "Warning: missing shape file nothere.shp"
has "$work/badcontent.out" "billboard 0: can't open picture 'nothere.png'"
has "$work/badcontent.out" "statues 1 (1 from \"statues\"), 0 with shapes"
has "$work/badcontent.out" "2 warnings"

# The default tracks of the generated data set load cleanly and whole.
"$tool" make-data "$data" >/dev/null 2>&1 || fail "make-data failed"
"$tool" check-track vovezuzize >"$work/vz.out" 2>&1 || { cat "$work/vz.out"; fail "check-track vovezuzize exited $?"; }
has "$work/vz.out" "title Vovezuzize"
has "$work/vz.out" "gates 20, F 20, L 20"
has "$work/vz.out" "starting slots 40"
has "$work/vz.out" "cameras 5, 20 gates mapped"
has "$work/vz.out" "flaggers: starter yes, lap flagger yes"
has "$work/vz.out" "minimap yes"
grep -qE "^track digest [0-9a-f]{40}$" "$work/vz.out" || fail "no track digest"
grep -q "warning" "$work/vz.out" && fail "the default track has warnings"
"$tool" check-track flat >"$work/flat.out" 2>&1 || { cat "$work/flat.out"; fail "check-track flat exited $?"; }
has "$work/flat.out" "gates 6, F 6, L 6"
has "$work/flat.out" "cameras 3, 6 gates mapped"

finish "check-track"
