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
check() {
  local name=$1 expected_status=$2
  shift 2
  "$shell" "$@" <"$here/$name.in" >"$tmp/$name.stdout" 2>"$tmp/$name.stderr"
  local status=$? ok=1 stream
  for stream in stdout stderr; do
    if ! cmp -s "$here/$name.$stream" "$tmp/$name.$stream"; then
      ok=0
      echo "--- $name: $stream differs (- expected, + actual):"
      diff -u "$here/$name.$stream" "$tmp/$name.$stream" | cat -A
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
    cat "$here/$name.in"
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

if [ $failures -ne 0 ]; then
  echo "$failures transcript check(s) failed"
  exit 1
fi
