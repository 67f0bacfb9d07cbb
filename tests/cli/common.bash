# What the end-to-end scripts share: a scratch folder removed on exit, the
# failure count, and the closing summary. Sourced, never run by itself.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# finish WHAT: the summary line and the exit status.
finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "$1 checks passed"
    exit 0
}

# rejects_damaged COMMAND FILE...: each file in $work makes
# "quorvin-tool COMMAND FILE" exit 1 with a message on standard error.
rejects_damaged() {
    local command=$1
    shift
    for f in "$@"; do
        local msg status
        msg=$("$tool" "$command" "$work/$f" 2>&1 >/dev/null)
        status=$?
        [ "$status" -eq 1 ] || fail "$command $f exited $status"
        [ -n "$msg" ] || fail "$command $f said nothing"
    done
}
