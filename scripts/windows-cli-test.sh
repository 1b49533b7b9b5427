#!/usr/bin/env bash
# tavo-cli.exe end to end under Wine, against the Linux simulator mapped as a
# COM port, side by side with the Linux tavo-cli on the same organizer: the
# same listings, every byte both ways, backups with identical manifests that
# restore across the two systems, faults that end in time and lose nothing,
# and a port that a second program may not share.
# Usage: windows-cli-test.sh WINDOWS_BUILD LINUX_BUILD (WINEPREFIX set up).
set -uo pipefail
win_build=$(realpath "$1")
linux_build=$(realpath "$2")
exe="$win_build/cli/tavo-cli.exe"
lin="$linux_build/cli/tavo-cli"
sim="$linux_build/tools/organizer-sim/tavo-organizer-sim"
wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
work=$(mktemp -d)
sims=()
trap 'kill "${sims[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
passed=0
failed=0

ok() { passed=$((passed + 1)); }
bad() {
  failed=$((failed + 1))
  echo "windows-cli: FAILED: $*"
}
check() { # what, command...; its output is shown only when it fails
  local what=$1
  shift
  if "$@" >"$work/check.out" 2>&1; then
    ok
  else
    bad "$what"
    cat "$work/check.out"
  fi
}

# A simulator on COM<n> for Wine, also reachable from Linux as $work/com<n>.
start_sim() { # n, options...
  local n=$1
  shift
  rm -f "$WINEPREFIX/dosdevices/com$n" "$work/com$n"
  "$sim" --link "$work/com$n" --baud 0 "$@" >/dev/null &
  sims+=($!)
  for _ in $(seq 100); do [ -L "$work/com$n" ] && break; sleep 0.1; done
  ln -s "$(readlink "$work/com$n")" "$WINEPREFIX/dosdevices/com$n"
}
stop_sims() {
  kill "${sims[@]}" 2>/dev/null
  wait "${sims[@]}" 2>/dev/null
  sims=()
}
win() { (cd "$work/w" && "$wine" "$exe" --quiet "$@"); }
linux() { (cd "$work/l" && "$lin" --quiet "$@"); }
# Wine's console writes CR LF.
crlf() { tr -d '\r'; }

# The Wine server takes a COM port's pseudo-terminal as its controlling
# terminal and, sent SIGHUP when a simulator closes it, prints a dump of its
# objects: keep it running, and quiet, for the whole run.
"$(dirname "$(realpath "$wine")")/wineserver" -p30 >/dev/null 2>&1 || true
mkdir -p "$work/w" "$work/l" "$work/store"
start_sim 23 --store "$work/store" --demo
W=(--port COM23)
L=(--port "$work/com23")

# Listings and fetches agree with Linux (one program on the line at a time:
# Wine does not see the Linux side's lock).
same() { # what, arguments...
  local what=$1
  shift
  win "${W[@]}" "$@" | crlf >"$work/win.out"
  linux "${L[@]}" "$@" >"$work/linux.out"
  check "$what" cmp "$work/win.out" "$work/linux.out"
}
same "ls -l" ls -l /
same "ls --json" ls --json /Letters
same "memos ls" memos ls
check "get a tree" win "${W[@]}" get /Letters .
linux "${L[@]}" get /Letters . || bad "linux get"
check "the tree's bytes" diff -r "$work/w/Letters" "$work/l/Letters"

# Every byte value both ways, in a file of several parts and in a memo.
python3 -c 'import sys; sys.stdout.buffer.write(bytes(range(256)) * 40)' >"$work/w/all bytes.bin"
check "put" win "${W[@]}" put "all bytes.bin" /
check "get back" win "${W[@]}" get "/all bytes.bin" back.bin
check "put then get is exact" cmp "$work/w/all bytes.bin" "$work/w/back.bin"
linux "${L[@]}" get "/all bytes.bin" "$work/l/" || bad "linux get of the Windows put"
check "Linux reads the Windows put" cmp "$work/w/all bytes.bin" "$work/l/all bytes.bin"
printf 'line one\r\nline two\n\x01\xfe' >"$work/w/Winmemo"
check "memos put" win "${W[@]}" memos put Winmemo
mkdir -p "$work/w/got"
check "memos get" win "${W[@]}" memos get Winmemo got
check "memo bytes" cmp "$work/w/Winmemo" "$work/w/got/Winmemo"
check "mkdir" win "${W[@]}" mkdir /Fresh
check "rm" win "${W[@]}" rm -r /Fresh "/all bytes.bin"
check "memos rm" win "${W[@]}" memos rm Winmemo
check "probe" win "${W[@]}" probe
check "check --deep" win "${W[@]}" check --deep
check "the store is whole" "$sim" --check "$work/store"

# A destination past the classic 260-character limit of Windows paths (Wine
# itself has no such limit, so this holds the program's own handling only).
long="$work/w/$(printf 'a%.0s' $(seq 100))/$(printf 'b%.0s' $(seq 100))/$(printf 'c%.0s' $(seq 100))"
mkdir -p "$long"
check "get into a long path" win "${W[@]}" get /Letters "$long"
check "its bytes" diff -r "$long/Letters" "$work/l/Letters"
check "put from a long path" win "${W[@]}" put "$long/Letters" /Long
check "the long path's tree is stored whole" "$sim" --check "$work/store"

# Names that differ only in case, and names Windows cannot hold: get skips
# the latter with a warning and copies the rest; backups keep all of them.
mkdir -p "$work/l/odd/Odd"
for f in Notes notes "aux.txt" "what?" "dot." "a:b" plain; do printf '%s' "$f" >"$work/l/odd/Odd/$f"; done
printf 'upper' >"$work/l/odd/IDEA"
printf 'lower' >"$work/l/odd/idea"
(cd "$work/l/odd" && "$lin" --quiet "${L[@]}" put Odd / && "$lin" --quiet "${L[@]}" memos put IDEA idea) ||
  bad "linux put of the odd names"
win "${W[@]}" get /Odd . >/dev/null 2>"$work/odd.err"
status=$?
check "get of names Windows cannot hold ends 1 (status $status)" test "$status" -eq 1
for f in "aux.txt" "what?" "dot." "a:b"; do
  check "get warns of $f" grep -qF "/Odd/$f" "$work/odd.err"
done
check "get copies the rest" test "$(cat "$work/w/Odd/plain")" = plain
# Wine's disk, like NTFS, is blind to case: the second twin is refused, not
# written over the first.
twin=$(ls "$work/w/Odd" | grep -i '^notes$')
check "one case twin is fetched whole ($twin)" test "$(cat "$work/w/Odd/$twin")" = "$twin"
check "the other is refused" grep -qiF "/Odd/notes: another name of this copy" "$work/odd.err"

# Backups from both systems are the same, and each restores on the other.
check "backup on Windows" win "${W[@]}" backup --verify wb
linux "${L[@]}" backup --verify "$work/l/lb" || bad "linux backup"
check "manifests identical" cmp "$work/w/wb/manifest" "$work/l/lb/manifest"
# A second backup replaces the first (Windows has no exchange of two
# directories: the earlier one goes aside first) and touches nothing else.
mkdir -p "$work/w/wb.old"
printf 'my thesis' >"$work/w/wb.old/thesis"
check "a second backup replaces the first" win "${W[@]}" backup wb
check "it leaves a user's wb.old alone" test "$(cat "$work/w/wb.old/thesis")" = "my thesis"
check "and nothing of its own beside" sh -c "! ls -d '$work/w/wb.'* | grep -v 'wb.old\$'"
check "the replaced backup is whole" cmp "$work/w/wb/manifest" "$work/l/lb/manifest"
stop_sims
rm -rf "$work/store2"
start_sim 23 --store "$work/store2"
cp -r "$work/l/lb" "$work/w/lb"
check "restore on Windows" win "${W[@]}" restore lb
linux "${L[@]}" backup "$work/l/again" || bad "linux backup after the Windows restore"
check "Windows restore of a Linux backup" cmp "$work/l/lb/manifest" "$work/l/again/manifest"
stop_sims
rm -rf "$work/store3"
start_sim 23 --store "$work/store3"
linux "${L[@]}" restore "$work/w/wb" || bad "linux restore of the Windows backup"
win "${W[@]}" backup again2 || bad "Windows backup after the Linux restore"
check "Linux restore of a Windows backup" cmp "$work/w/wb/manifest" "$work/w/again2/manifest"
stop_sims

# Faults through the Windows port: each ends in time, exits 3, and leaves
# no index naming a missing memo.
for fault in silence@3 hangup@3 garble@3 drop@3; do
  rm -rf "$work/fstore"
  mkdir -p "$work/fstore"
  start_sim 23 --store "$work/fstore" --demo --fault "$fault"
  start=$(date +%s)
  win "${W[@]}" --force put "$work/w/all bytes.bin" / 2>/dev/null
  status=$?
  took=$(($(date +%s) - start))
  check "$fault ends as unreachable (status $status)" test "$status" -eq 3
  check "$fault ends within the limits ($took s)" test "$took" -le 40
  stop_sims
  check "$fault leaves the store whole" "$sim" --check "$work/fstore"
done

# A second program on the port is refused while the first holds it.
start_sim 23 --store "$work/store" --baud 4800
(cd "$work/w" && "$wine" "$exe" --quiet "${W[@]}" backup slow >/dev/null 2>&1) &
holder=$!
sleep 3
win "${W[@]}" ls / >"$work/second" 2>&1
status=$?
second=$(crlf <"$work/second")
check "the second program is refused (status $status)" test "$status" -eq 3
check "it is told the port is in use: $second" grep -q "in use" <<<"$second"
wait "$holder"
stop_sims

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
