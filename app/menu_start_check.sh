#!/bin/sh
# The menu's starter runs the program in the per-user settings directory,
# making it when missing: $XDG_CONFIG_HOME/tavo, else ~/.config/tavo (also
# when XDG_CONFIG_HOME is relative, which the XDG rules ignore).
# $1: the starter, configured to run `pwd` instead of the program.
set -eu
starter=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
check() {
  expected=$1
  shift
  got=$(cd / && env "$@" sh "$starter")
  [ "$got" = "$expected" ] || { echo "started in '$got', not '$expected'"; exit 1; }
  [ -d "$expected" ] || { echo "$expected not made"; exit 1; }
}
check "$tmp/config/tavo" HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config"
check "$tmp/home/.config/tavo" HOME="$tmp/home" XDG_CONFIG_HOME=
check "$tmp/home/.config/tavo" HOME="$tmp/home" XDG_CONFIG_HOME=relative/dir
mkdir -p "$tmp/with blank"
check "$tmp/with blank/.config/tavo" HOME="$tmp/with blank" XDG_CONFIG_HOME=
echo "menu start: ok"
