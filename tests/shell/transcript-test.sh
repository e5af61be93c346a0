#!/usr/bin/env bash
# Transcript test of quorvin-shell: typed lines fed through a pipe; standard output, standard
# error and the exit status compared exactly with what each session must give.
# Usage: transcript-test.sh PATH-TO-quorvin-shell
set -uo pipefail

shell=$(realpath -- "$1")
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Nothing of the user's is read or written: home, configuration and registry are temporary.
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/config
mkdir -p "$HOME"
cd "$tmp" || exit 1

failures=0

# check NAME STATUS [OPTION]...: runs the program with NAME.in as its input and compares with
# NAME.stdout, NAME.stderr and STATUS. A failure shows the differences (cat -A makes the
# carriage returns visible), the options and the input.
# The files are in $cases, this folder unless a check sets it to the folder of made cases.
check() {
  local name=$1 expected_status=$2 dir=${cases:-$here}
  shift 2
  "$shell" "$@" <"$dir/$name.in" >"$tmp/$name.stdout" 2>"$tmp/$name.stderr"
  local status=$? ok=1 stream
  for stream in stdout stderr; do
    if ! cmp -s "$dir/$name.$stream" "$tmp/$name.$stream"; then
      ok=0
      echo "--- $name: $stream differs (- expected, + actual):"
      diff -u "$dir/$name.$stream" "$tmp/$name.$stream" | cut -c1-300 | cat -A
    fi
  done
  if [ "$status" -ne "$expected_status" ]; then
    ok=0
    echo "--- $name: exit status $status, expected $expected_status"
  fi
  if [ $ok -eq 1 ]; then
    echo "ok: $name"
  else
    echo "--- $name: options: $*"
    echo "--- $name: input:"
    cut -c1-300 "$dir/$name.in"
    failures=$((failures + 1))
  fi
}

# A history built by running lines; expansions; a failing reference with execute-on-failure
# on and off; a setting changed and saved.
check session 0 --registry "$tmp/registry"

# A fresh start with the same registry file restores the saved settings.
check restore 0 --registry "$tmp/registry"

# An older shell (key codes only), variables for the plugin (given at start, changed and
# removed with set), lines printed instead of run, and a registry in memory only (so the
# defaults, not the saved settings).
check dry-run 1 --registry "" --shell-version 23 --dry-run --var noloadmsg=1 \
  --var _batch=1 --var _batchname=demo.btm --var _batchline=7

# Without --registry the settings go under $XDG_CONFIG_HOME, whose folders are created.
default_file=$XDG_CONFIG_HOME/quorvin/registry
printf 'quorv /Q /Z1 /S\n' | "$shell" >"$tmp/default.out" 2>&1
if grep -q '^"Counting Base"=dword:00000001' "$default_file" 2>/dev/null; then
  echo "ok: default registry file"
else
  echo "--- default registry file: $default_file was not written as expected; output:"
  cat -A "$tmp/default.out"
  failures=$((failures + 1))
fi

# Bytes that are not UTF-8 (Latin-1, an encoded surrogate, an overlong NUL, a lone 0xFF) and a
# carriage return reach the command as typed, also recalled by !!, !?caf and bash mode's
# !?text?, and after a substitution; a search for a byte never splits a character.
check bytes 0 --registry ""

# The help names every key, variable and readline command, and fits one screen: at most 40
# lines of 79 columns.
check help 0 --help
lines=$(wc -l <"$here/help.stdout")
widest=$(awk '{ if (length($0) > n) n = length($0) } END { print n }' "$here/help.stdout")
missing=""
for word in Enter Alt-Enter Tab Space QUORVIN_KEYS=tab QUORVIN_EXPAND=bash verify quorvin-enter \
  quorvin-shift-enter quorvin-tab quorvin-space; do
  grep -qw -- "$word" "$here/help.stdout" || missing+=" $word"
done
if [ "$lines" -le 40 ] && [ "$widest" -le 79 ] && [ -z "$missing" ]; then
  echo "ok: help fits one screen and names the keys"
else
  echo "--- help: $lines lines, $widest columns at most; missing:$missing"
  failures=$((failures + 1))
fi

# Lines at the edit line's limit of 65535 UTF-16 units, in characters of 1 to 4 bytes, and
# escaped bytes: a line that fits runs whole (END and all), a longer one is refused with a
# message, with or without a reference, runs in no part and does not join the history (!!
# recalls the line before it). A surrogate pair that would straddle the limit counts whole.
# So does a line holding a NUL. Made here, and printed by --dry-run rather than run, since
# /bin/sh -c cannot take some of them in one argument.
cases=$tmp/made
mkdir -p "$cases"
repeat() { yes -- "$1" | head -n "$2" | tr -d '\n'; }
limit=65535
refused() { echo "quorvin-shell: line too long: $1 UTF-16 units, the edit line holds $limit; not run"; }
fits_a="echo $(repeat a $((limit - 9))) END"
long_a="echo $(repeat a $((limit - 8))) END"
fits_euro="echo $(repeat € $((limit - 9))) END"
long_euro="echo $(repeat € $((limit - 8))) END"
fits_pair="echo $(repeat a $((limit - 7)))😀"
long_pair="echo $(repeat a $((limit - 6)))😀"
fits_byte="echo $(repeat $'\xe9' $((limit - 9))) END"
long_byte="echo $(repeat $'\xe9' $((limit - 8))) END"
long_ref="!! $(repeat x $((limit - 6))) END"
long_bash="echo !-1 $(repeat é $((limit - 12))) END"
{
  printf '%s\n' "$fits_a" "$long_a" '!!' "$long_ref" "$fits_euro" "$long_euro" "$fits_pair" \
    "$long_pair" "$fits_byte" "$long_byte" 'set QUORVIN_EXPAND=bash' "$long_bash"
  printf 'echo a\0b\n'
} >"$cases/long.in"
printf '%s\n' "$fits_a" "$fits_a" "$fits_euro" "$fits_pair" "$fits_byte" >"$cases/long.stdout"
{
  refused $((limit + 1))
  refused $((limit + 1))
  refused $((limit + 1))
  refused $((limit + 1))
  refused $((limit + 1))
  refused $((limit + 1))
  echo "quorvin-shell: the line holds a NUL, which the edit line cannot; not run"
} >"$cases/long.stderr"
check long 1 --registry "" --dry-run --var noloadmsg=1
unset cases

if [ $failures -ne 0 ]; then
  echo "$failures transcript check(s) failed"
  exit 1
fi
