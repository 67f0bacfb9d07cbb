#!/usr/bin/env bash
# "quorvin-tool race" on a small level track with four timing gates: laps
# printed as they are completed, final standings with m:ss.mmm times, and
# the races it refuses.
set -u
tool=$2
. "$(dirname "$0")/common.bash"
export XDG_DATA_HOME="$work/xdg"
export QV_HOME="$work/data"
unset ZOLM_LOGFILE ZOLM_LOGFILE_FLAGS ZOLM_OPTIONS

# ring: k = 6 (129 x 129 points, 4 ft apart, 512 ft square), level at 0; the
# gate line in the middle facing -z, four gates on a square loop to the left.
make_track() {
    local dir="$QV_HOME/$1"
    mkdir -p "$dir"
    printf '6 4 0 10\n' >"$dir/terrain.hf"
    { printf 'P6\n129 129\n255\n'; head -c $((129 * 129 * 3)) /dev/zero | tr '\0' '\144'; } >"$dir/shading.ppm"
    printf 'friction 1.1 1\nfriction 0.9 24\nroll_resist 6 20 1\naddtile\n' >"$dir/tileinfo"
    head -c 4096 /dev/zero >"$dir/tilemap"
}
make_track ring
{
    printf 'startinggate:\n'
    for k in 0 1 2 3; do printf '[%d 0 300] 0\n' $((250 + 4 * k)); done
    printf 'checkpoints:\n'
    printf '30 [256 0 160] [0 0 -1]\n30 [150 0 100] [-1 0 0]\n30 [100 0 300] [0 0 1]\n30 [256 0 300] [0 0 -1]\n'
    printf 'firstlap:\n100000 1 100002 3\nnormallap:\n100000 1 100002 3\n'
} >"$QV_HOME/ring/timing_gates"
make_track bare

out="$work/race.txt"
"$tool" race --track ring --riders 2 --laps 1 >"$out" 2>"$work/err" || fail "race exited $? ($(cat "$work/err"))"
[ "$(grep -c '^lap 1 ' "$out")" -eq 2 ] || fail "expected a first lap for both riders: $(cat "$out")"
grep -Eq '^lap 1 .* [0-9]+:[0-9]{2}\.[0-9]{3}  finished$' "$out" || fail "lap lines lack an m:ss.mmm time"
grep -q '^# results after ' "$out" || fail "the race did not end with results"
[ "$(grep -Ec '^ +[12] +[0-9]+ .* 1 +[0-9]+:[0-9]{2}\.[0-9]{3} ' "$out")" -eq 2 ] || fail "standings: $(cat "$out")"

refused() {
    local msg status
    msg=$("$tool" race "$@" 2>&1 >/dev/null)
    status=$?
    [ "$status" -eq 1 ] || fail "race $* exited $status"
    case "$msg" in *"quorvin-tool: "*) ;; *) fail "race $* said '$msg'" ;; esac
}
refused --riders 2
refused --track no-such-track
refused --track bare
refused --track ring --riders 0
refused --track ring --laps 0
refused --track ring --laps x

finish "race"
