#!/usr/bin/env bash
# The game as a user starts it: data made by the tool, the log in the home
# directory, the track list, the headless loop, SIGTERM, and the messages and
# exit statuses of start-up and the command line.
set -u
game=$1
tool=$2
. "$(dirname "$0")/common.bash"
export XDG_DATA_HOME="$work/xdg"
unset ZOLM_LOGFILE ZOLM_LOGFILE_FLAGS ZOLM_OPTIONS QV_HOME
home="$XDG_DATA_HOME/Quorvin"


# expect STATUS STDERR-TEXT -- command...: runs it with stdin closed.
expect() {
    local status=$1 text=$2
    shift 3
    "$@" </dev/null >"$work/out" 2>"$work/err"
    local got=$?
    [ "$got" -eq "$status" ] || fail "'$*' exited $got, wanted $status"
    if [ -n "$text" ] && ! grep -qF -- "$text" "$work/err"; then
        fail "'$*' did not say '$text' (stderr: $(cat "$work/err"))"
    fi
}

"$tool" make-data "$work/data" || fail "make-data"

# No game data: a message and status 0.
mkdir -p "$work/empty"
expect 0 "Can't find game data" -- env QV_HOME="$work/empty" "$game"

# Command-line messages and statuses.
expect 1 "Bad arg for --lock-fps" -- env QV_HOME="$work/data" "$game" --lock-fps=abc
expect 1 "Bad arg for --chase-center" -- env QV_HOME="$work/data" "$game" --chase-center 1,2
expect 1 "bad option '-q'" -- env QV_HOME="$work/data" "$game" -q
expect 1 "Too many files!" -- env QV_HOME="$work/data" "$game" a.qvdemo b.qvdemo
expect 0 "" -- env QV_HOME="$work/empty" "$game" --help
grep -q -- "--lock-fps" "$work/out" || fail "--help printed no usage"

# A data set without tracks.
mkdir -p "$work/notracks"
cp "$work/data/zzzz.saf" "$work/notracks/"
expect 1 "No tracks found" -- env QV_HOME="$work/notracks" "$game"

# A real start with a hand-written "@config": runs its loop in an offscreen
# window until SIGTERM, then shuts down with status 0 and rewrites "@config"
# with the values read, clamped or ignored.
mkdir -p "$home"
printf 'laps=75\r\nminutes=-3\nskill=Expert\nSkill=Amateur\nbogus=1\nvideo_mode=Windowed\nxres=320\nyres=200\n' >"$home/config"
QV_HOME="$work/data" "$game" --debug --record-audio "$work/audio.raw" </dev/null >"$work/out" 2>"$work/err" &
pid=$!
for _ in $(seq 1 100); do
    grep -q "Entering the main loop" "$home/lastlog.txt" 2>/dev/null && break
    sleep 0.1
done
sleep 0.3
kill -0 "$pid" 2>/dev/null || fail "the game did not keep running ($(cat "$work/err"))"
kill -TERM "$pid"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "SIGTERM ended the game with status $status"
log="$home/lastlog.txt"
grep -q "ZOLM 0.31" "$log" || fail "lastlog.txt lacks 'ZOLM 0.31'"
grep -q "vovezuzize -> Vovezuzize" "$log" || fail "the track list lacks vovezuzize"
grep -q "GL_VERSION: " "$log" || fail "no GL context"
grep -q "Built 7 shader programs" "$log" || fail "the shader programs were not built"
grep -q "Can't open font" "$log" && fail "a font did not load"
grep -q "Can't load" "$log" && fail "a start-up picture did not load: $(grep "Can't load" "$log")"
grep -q "Shut down" "$log" || fail "no orderly shut-down in the log"
grep -qE '^\[[0-9]+:[0-9]{2}:[0-9]{2}\.[0-9]{2}\] ' "$log" || fail "log lines lack the time stamp"
config="$home/config"
grep -qx 'laps=50.000000' "$config" || fail "laps=75 was not clamped to 50"
grep -qx 'minutes=0.000000' "$config" || fail "minutes=-3 was not clamped to 0"
grep -qx 'skill=Expert' "$config" || fail "skill was not kept (or lower case won)"
grep -q 'bogus' "$config" && fail "an unknown key was written back"
grep -qx 'video_mode=Windowed' "$config" || fail "the video mode was lost"

# The audio recording holds 690 16-bit samples for every tick run.
ticks=$(sed -n 's/.* \([0-9][0-9]*\) ticks$/\1/p' "$log" | tail -n 1)
bytes=$(stat -c %s "$work/audio.raw" 2>/dev/null || echo 0)
[ -n "$ticks" ] && [ "$ticks" -gt 0 ] || fail "no tick count in the log"
[ "$bytes" -eq $((ticks * 1380)) ] || fail "audio recording has $bytes bytes for $ticks ticks"

# A "--track" start runs the attract race on that track, "--race" the New
# Race menu's race; both tick with the physics and end cleanly on SIGTERM.
for start in "--track vovezuzize" "--race --track flat"; do
    QV_HOME="$work/data" "$game" $start </dev/null >"$work/out" 2>"$work/err" &
    pid=$!
    for _ in $(seq 1 100); do
        grep -q "Entering the main loop" "$log" 2>/dev/null && break
        sleep 0.1
    done
    sleep 1
    kill -TERM "$pid"
    wait "$pid"
    status=$?
    [ "$status" -eq 0 ] || fail "SIGTERM ended '$start' with status $status"
    grep -qi "race on .*: started" "$log" || fail "'$start' started no race: $(grep -i race "$log" | tail -n 2)"
    grep -q "left the finite world" "$log" && fail "a bike's simulation blew up in '$start'"
    grep -q "Finished deallocating bikes" "$log" || fail "'$start' freed no bikes at shut-down"
    grep -q "Shut down" "$log" || fail "no orderly shut-down after '$start'"
done
grep -q "Race on flat: started, 6 riders, the player in gate 20" "$log" ||
    fail "--race did not put the player in gate 20 among five robots: $(grep -i 'race on' "$log")"

finish "game start"
