#!/usr/bin/env bash
# Terminal test of quorvin-shell's interactive mode, in a tmux pane driven by send-keys and
# read back by capture-pane: Enter expands and runs, Alt-Enter leaves the expansion on the line,
# and Tab and Space, once QUORVIN_KEYS asks for them, expand the text before the cursor in place.
# Usage: terminal-test.sh PATH-TO-quorvin-shell
set -uo pipefail

shell=$(realpath -- "$1")
# How long each expected screen may take to appear. Only a bound against hanging: every check
# polls the pane and passes as soon as the screen is right.
timeout=${QUORVIN_TERMINAL_TIMEOUT:-60}

tmp=$(mktemp -d)
mkdir -p "$tmp/home"
# A server of our own, on a socket of our own, without any configuration file.
tmux_=(tmux -S "$tmp/tmux.sock" -f /dev/null)
trap '"${tmux_[@]}" kill-server 2>/dev/null; rm -rf "$tmp"' EXIT

# Nothing of the user's: an ~/.inputrc of the test's own (Ctrl-T bound to one of the program's
# commands by name), no configuration, a temporary registry. The terminal type is one every
# Debian system has a description of.
printf '"\\C-t": quorvin-shift-enter\n' >"$tmp/home/.inputrc"
"${tmux_[@]}" new-session -d -x 100 -y 40 -- env -u INPUTRC HOME="$tmp/home" \
  XDG_CONFIG_HOME="$tmp/config" TERM=screen "$shell" --registry "$tmp/registry" || {
  echo "FAIL: tmux could not start the program"
  exit 1
}

# The pane's text without the empty lines below it, then a last line with the cursor's place.
screen() {
  "${tmux_[@]}" capture-pane -p | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}'
  "${tmux_[@]}" display-message -p 'cursor #{cursor_x},#{cursor_y}'
}

# expect DESCRIPTION SCREEN: waits until the pane shows exactly SCREEN (as `screen` prints it).
expect() {
  local what=$1 wanted=$2 actual
  local deadline=$((SECONDS + timeout))
  while :; do
    actual=$(screen)
    if [ "$actual" == "$wanted" ]; then
      echo "ok: $what"
      return 0
    fi
    if [ $SECONDS -ge $deadline ]; then
      echo "FAIL: $what: the screen expected was not seen within ${timeout}s"
      echo "--- expected:"
      printf '%s\n' "$wanted" | sed 's/^/|/'
      echo "--- the pane:"
      printf '%s\n' "$actual" | sed 's/^/|/'
      exit 1
    fi
    sleep 0.05
  done
}

type_text() { "${tmux_[@]}" send-keys -l -- "$1"; }
press() { "${tmux_[@]}" send-keys "$@"; }

lines="Quorvin v0.70.0 loaded."
expect "the banner and the prompt" "$lines
quorvin>
cursor 9,1"

type_text 'echo alpha-one'
press Enter
lines+="
quorvin> echo alpha-one
alpha-one"
expect "a plain line runs" "$lines
quorvin>
cursor 9,3"

# Enter on a reference: the edit line shows the expansion, which then runs.
type_text '!!'
press Enter
lines+="
quorvin> echo alpha-one
alpha-one"
expect "Enter expands !! and runs it" "$lines
quorvin>
cursor 9,5"

# Alt-Enter: the expansion stays on the edit line with the cursor at its end; nothing runs.
type_text '!?alpha:s/one/two/'
press M-Enter
expect "Alt-Enter leaves the expansion on the line" "$lines
quorvin> echo alpha-two
cursor 23,5"

# The expansion can be edited further, and Enter runs the edited line.
type_text ' extra'
press Enter
lines+="
quorvin> echo alpha-two extra
alpha-two extra"
expect "the expansion is edited and run" "$lines
quorvin>
cursor 9,7"

# With execute-on-failure off, Enter on a failing reference keeps the line for editing: it
# neither runs nor joins the history. Ctrl-U clears it and the history shows what ran.
type_text 'quorv /Q /X0'
press Enter
type_text '!nosuch'
press Enter
press C-u
type_text 'history'
press Enter
lines+="
quorvin> quorv /Q /X0
quorvin> history
    0  echo alpha-one
    1  echo alpha-one
    2  echo alpha-two extra
    3  quorv /Q /X0
    4  history"
expect "a failing reference stays on the line after quorv /X0" "$lines
quorvin>
cursor 9,14"

# Up recalls the lines that ran.
press Up
expect "Up recalls the last line" "$lines
quorvin> history
cursor 16,14"

# Tab and Space, asked for by QUORVIN_KEYS in bash mode, expand what is typed before the
# cursor, on the line, before Enter: Space goes on and types its blank, Tab is swallowed.
press C-u
type_text 'set QUORVIN_EXPAND=bash'
press Enter
type_text 'set QUORVIN_KEYS=space tab'
press Enter
lines+="
quorvin> set QUORVIN_EXPAND=bash
quorvin> set QUORVIN_KEYS=space tab"
# The pane drops the blank at the end of the line; the cursor stands after it.
type_text 'echo !$'
press Space
expect "Space expands !\$ in place and types its blank" "$lines
quorvin> echo tab
cursor 18,16"
press C-u
type_text '!-2'
press Tab
expect "Tab expands !-2 in place" "$lines
quorvin> set QUORVIN_EXPAND=bash
cursor 32,16"


# A command of the program's that ~/.inputrc binds by name works as its key does.
press C-u
type_text '!?alpha-two'
press C-t
expect "Ctrl-T, bound to quorvin-shift-enter in ~/.inputrc, expands only" "$lines
quorvin> echo alpha-two extra
cursor 29,16"

# A pasted line one unit longer than the edit line, whose reference expands to less: cut to
# the edit line it would fit. Tab rings the bell and changes nothing; Enter says why below the
# line and leaves it there. Nothing runs, nothing joins the history.
press C-u
prefix='echo !-1:s/QUORVIN_KEYS=space tab/k/ '
long="$prefix$(yes a | head -n $((65536 - ${#prefix} - 4)) | tr -d '\n') END"
printf '%s' "$long" >"$tmp/long.txt"
"${tmux_[@]}" load-buffer "$tmp/long.txt"
"${tmux_[@]}" paste-buffer -p
# 65545 columns with the prompt: the pane's 40 rows of 100 show the end of it.
tail=$(for _ in $(seq 39); do printf '%100s\n' '' | tr ' ' a; done)
tail+="
$(printf '%41s' '' | tr ' ' a) END"
expect "a pasted line too long for the edit line" "$tail
cursor 45,39"
press Tab
press Enter
# Enter's message goes above the line, which is then drawn again whole: the message is in the
# pane's history, and the last line there is the whole line as pasted.
message='quorvin-shell: line too long: 65536 UTF-16 units, the edit line holds 65535; not run'
deadline=$((SECONDS + timeout))
until "${tmux_[@]}" capture-pane -p -S - | grep -qxF "$message"; do
  if [ $SECONDS -ge $deadline ]; then
    echo "FAIL: Enter on a line too long: no message within ${timeout}s"
    exit 1
  fi
  sleep 0.05
done
expect "Enter on a line too long rings the bell and leaves it" "$tail
cursor 45,39"
shown=$("${tmux_[@]}" capture-pane -p -J -S - | sed 's/ *$//')
if [ "$(grep -cxF "$message" <<<"$shown")" -eq 1 ] &&
  [ "$(tail -n 1 <<<"$shown")" == "quorvin> $long" ]; then
  echo "ok: Enter said why, once, and the line stayed whole"
else
  echo "FAIL: Enter on a line too long: the message and the line after it were not as expected:"
  grep -n -e 'quorvin-shell' -e 'quorvin> ' <<<"$shown" | cut -c1-200
  exit 1
fi
press C-u
press C-l
type_text 'history'
press Enter
expect "neither Tab nor Enter ran or kept the line too long" "quorvin> history
    0  echo alpha-one
    1  echo alpha-one
    2  echo alpha-two extra
    3  quorv /Q /X0
    4  history
    5  set QUORVIN_EXPAND=bash
    6  set QUORVIN_KEYS=space tab
    7  history
quorvin>
cursor 9,9"

# A paste holding a NUL goes in whole or not at all: readline alone would insert the text
# before the NUL, and Enter would run that.
printf 'echo a\0b END' >"$tmp/nul.txt"
"${tmux_[@]}" load-buffer "$tmp/nul.txt"
"${tmux_[@]}" paste-buffer -p
expect "a paste holding a NUL is refused" "quorvin> history
    0  echo alpha-one
    1  echo alpha-one
    2  echo alpha-two extra
    3  quorv /Q /X0
    4  history
    5  set QUORVIN_EXPAND=bash
    6  set QUORVIN_KEYS=space tab
    7  history
quorvin>
quorvin-shell: the line holds a NUL, which the edit line cannot; not run
quorvin>
cursor 9,11"
