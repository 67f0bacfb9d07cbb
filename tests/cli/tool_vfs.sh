#!/usr/bin/env bash
# The file system's rules as quorvin-tool shows them: home directory first,
# loose files before archives, archives by name, plain before .gz before
# .scram, any letter case, doubled "/" collapsed, members stop at their length,
# and an archive without its "-" line contributes nothing.
set -u
game=$1
tool=$2
. "$(dirname "$0")/common.bash"
export XDG_DATA_HOME="$work/xdg"
export QV_HOME="$work/data"
unset ZOLM_LOGFILE ZOLM_LOGFILE_FLAGS ZOLM_OPTIONS
home="$XDG_DATA_HOME/Quorvin"
data="$QV_HOME"

# cat_is NAME TEXT: the tool reads NAME as TEXT.
cat_is() {
    local got
    got=$("$tool" cat "$1" 2>/dev/null)
    [ "$got" = "$2" ] || fail "cat $1 gave '$got', wanted '$2'"
}

mkdir -p "$home" "$data" "$work/a" "$work/b" "$work/c" "$work/x"
printf 'home' >"$home/both.txt"
printf 'data' >"$data/both.txt"
printf 'loose' >"$data/member.txt"
printf 'from-a' >"$work/a/member.txt"
printf 'a-wins' >"$work/a/shared.txt"
printf 'b-loses' >"$work/b/shared.txt"
mkdir -p "$work/a/Dir/Sub"
printf 'deep' >"$work/a/Dir/Sub/File.TXT"
"$tool" pack "$work/a" "$data/aaa.saf" || fail "pack a"
"$tool" pack "$work/b" "$data/bbb.saf" || fail "pack b"

# Plain before .gz before .scram: loose variants in the home directory.
printf 'plain' >"$home/variant.txt"
printf 'gzipped' | gzip -c >"$home/variant.txt.gz"
printf 'scrambled' >"$work/s.txt"
"$tool" scramble "$work/s.txt" "$home/variant.txt.scram" || fail "scramble"
printf 'gzipped' | gzip -c >"$home/onlygz.txt.gz"
"$tool" scramble "$work/s.txt" "$home/onlyscram.txt.scram"

# An archive with a doubled "/" in a name, and one member followed by more data.
printf '3 dbl//name.txt\n5 next.txt\n-\nabcdefgh' >"$data/ccc.saf"
# An archive without its "-" line contributes nothing.
printf '4 broken.txt\nabcd' >"$data/ddd.saf"

cat_is @both.txt home
cat_is @member.txt loose
cat_is @shared.txt a-wins
cat_is @dir/sub/file.txt deep
cat_is @DIR/SUB/FILE.txt deep
cat_is @variant.txt plain
cat_is @onlygz.txt gzipped
cat_is @onlyscram.txt scrambled
cat_is @dbl/name.txt abc
cat_is @next.txt defgh
"$tool" cat @broken.txt >/dev/null 2>&1 && fail "a header without '-' added members"
"$tool" cat @missing.txt >/dev/null 2>&1 && fail "cat of a missing file succeeded"

"$tool" ls >"$work/ls" || fail "ls"
grep -qP '^shared.txt\t.*aaa.saf\t[0-9]+\t6\t2$' "$work/ls" || fail "ls lacks aaa.saf's shared.txt with precedence 2"
grep -qP '^shared.txt\t.*bbb.saf\t[0-9]+\t7\t3$' "$work/ls" || fail "ls lacks bbb.saf's shared.txt with precedence 3"
grep -qP '^both.txt\t.*/Quorvin/both.txt\t0\t4\t0$' "$work/ls" || fail "ls lacks the home directory's both.txt"

# unpack gives back what pack took, and refuses names that leave the folder.
"$tool" unpack "$data/aaa.saf" "$work/out" || fail "unpack"
cmp -s "$work/a/Dir/Sub/File.TXT" "$work/out/Dir/Sub/File.TXT" || fail "unpack lost a file"
printf '2 ../evil\n-\nhi' >"$work/evil.saf"
"$tool" unpack "$work/evil.saf" "$work/x" 2>/dev/null && fail "unpack wrote outside its folder"
[ -e "$work/evil" ] && fail "unpack created ../evil"

# digest of an "@" name and of a plain file agree.
printf 'abc' >"$data/abc.txt"
d1=$("$tool" digest @abc.txt | cut -d' ' -f1)
d2=$("$tool" digest "$data/abc.txt" | cut -d' ' -f1)
[ "$d1" = "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc" ] || fail "digest of 'abc' is $d1"
[ "$d1" = "$d2" ] || fail "digest through the file system differs"

"$tool" cat >/dev/null 2>&1 && fail "cat without a name succeeded"
"$tool" frobnicate >/dev/null 2>&1 && fail "an unknown command succeeded"
"$tool" pack --help | grep -q "usage: quorvin-tool pack" || fail "pack --help"

finish "tool file-system"
