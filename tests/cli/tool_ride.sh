#!/usr/bin/env bash
# "quorvin-tool ride" and "quorvin-tool bench physics" on a small level
# track: the CSV a rider reads, scripts that are refused, and the
# benchmark's closing line.
set -u
tool=$2
. "$(dirname "$0")/common.bash"
export XDG_DATA_HOME="$work/xdg"
export QV_HOME="$work/data"
unset ZOLM_LOGFILE ZOLM_LOGFILE_FLAGS ZOLM_OPTIONS

# pad: k = 5 (65 x 65 points, 4 ft apart), level at 0, one dirt tile.
pad="$QV_HOME/pad"
mkdir -p "$pad"
printf '5 4 0 10\n' >"$pad/terrain.hf"
{ printf 'P6\n65 65\n255\n'; head -c $((65 * 65 * 3)) /dev/zero | tr '\0' '\144'; } >"$pad/shading.ppm"
printf 'friction 1.1 1\nfriction 0.9 24\nroll_resist 6 20 1\naddtile\n' >"$pad/tileinfo"
head -c 1024 /dev/zero >"$pad/tilemap"

out="$work/ride.csv"
"$tool" ride --track pad --bike crf450\(2013\) --at 128,200 --seconds 2 --every 32 --csv \
    --controls "0.25 throttle=0.4 clutch=1; 1.5 throttle=0 front_brake=1" >"$out" 2>"$work/err" ||
    fail "ride exited $? ($(cat "$work/err"))"
[ "$(head -n 1 "$out")" = "t,x,y,z,speed_mph,rpm,gear,fork,shock,front_depth,rear_depth,lean,crashed,collisions" ] || fail "CSV header"
[ "$(wc -l <"$out")" -eq 10 ] || fail "expected 9 samples, got $(($(wc -l <"$out") - 1))"
awk -F, 'NR > 1 && NF != 14 { bad = 1 } END { exit bad }' "$out" || fail "a row without 14 columns"
awk -F, 'NR > 1 && $6 > 2000 { revved = 1 } END { exit !revved }' "$out" || fail "the engine never revved"
awk -F, 'NR > 1 && $3 < 200 - 1 { moved = 1 } END { exit !moved }' "$out" || fail "the bike never moved forward (-z)"

# Scripts and options that are refused, each with a message and status 1.
refused() {
    local msg status
    msg=$("$tool" ride --track pad "$@" 2>&1 >/dev/null)
    status=$?
    [ "$status" -eq 1 ] || fail "ride $* exited $status"
    case "$msg" in *"quorvin-tool: "*) ;; *) fail "ride $* said '$msg'" ;; esac
}
refused --controls "x throttle=1"
refused --controls "1 throttle"
refused --controls "1 speed=3"
refused --controls "1 throttle=abc"
refused --controls "-1 throttle=1"
refused --bike no-such-bike
refused --track no-such-track
refused --seconds 0
refused --at 1
refused --slot 40
refused --every
refused --bogus 1

"$tool" ride --help | grep -q -- "--controls" || fail "ride --help"

bench="$work/bench.txt"
"$tool" bench physics --bikes 3 --ticks 64 --track pad >"$bench" || fail "bench exited $?"
tail -n 1 "$bench" | grep -Eq '^ticks/s: [0-9]+$' || fail "bench's last line: $(tail -n 1 "$bench")"
grep -q '^us per bike-tick: ' "$bench" || fail "bench reports no time per bike-tick"
"$tool" bench nothing >/dev/null 2>&1 && fail "bench of an unknown benchmark succeeded"

finish "ride"
