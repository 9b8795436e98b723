#!/usr/bin/env bash
# Runs a command in a virtual X display of its own with openbox managing its windows, as on a desktop:
# activation, stacking and the pointer go through a real window manager. Both are stopped when it ends.
#   with-window-manager.sh PROGRAM [ARGUMENTS...]
# PENHOLLOW_WM_SCREEN sets the screen's size (WIDTHxHEIGHT, 1600x1000 unless set).
set -euo pipefail

scratch="$(mktemp -d)"
xvfb_pid=""
wm_pid=""
spy_pid=""
program_pid=""
stop() {
  for pid in $program_pid $spy_pid $wm_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in $program_pid $spy_pid $wm_pid $xvfb_pid; do
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$scratch"
}
trap stop EXIT
trap 'exit 143' TERM INT

# The server picks a free display and writes its number once it accepts clients.
mkfifo "$scratch/displayfd"
Xvfb -displayfd 3 -screen 0 "${PENHOLLOW_WM_SCREEN:-1600x1000}x24" -nolisten tcp 3>"$scratch/displayfd" &
xvfb_pid=$!
read -r -t 60 number <"$scratch/displayfd" || {
  echo "with-window-manager.sh: Xvfb did not start" >&2
  exit 1
}
export DISPLAY=":$number"
# Should this script be killed outright (a test's time-out), the server goes when the script's end of this
# pipe closes, and the manager and the program go with their display.
exec {lifeline}> >(read -r _ || kill "$xvfb_pid" 2>/dev/null)

# The manager announces itself on the root window once it runs; the spy reports the root's properties as
# they are and again on each change (named, a property that does not exist yet would end it at once).
exec {spy}< <(exec stdbuf -oL xprop -root -spy 2>&1 {lifeline}>&-)
spy_pid=$!
# Its own settings only, none of the user's.
mkdir -p "$scratch/config"
XDG_CONFIG_HOME="$scratch/config" openbox --sm-disable >"$scratch/openbox.log" 2>&1 {lifeline}>&- &
wm_pid=$!
managed=""
while read -r -t 60 line <&"$spy"; do
  if [[ "$line" == "_NET_SUPPORTING_WM_CHECK(WINDOW): window id"* ]]; then
    managed=yes
    break
  fi
done
exec {spy}<&-
kill "$spy_pid" 2>/dev/null || true
if [ -z "$managed" ]; then
  echo "with-window-manager.sh: openbox did not take the display" >&2
  cat "$scratch/openbox.log" >&2
  exit 1
fi

# In the background, so that a TERM (a test's time-out) is handled at once, not when the program ends.
"$@" {lifeline}>&- &
program_pid=$!
status=0
wait "$program_pid" || status=$?
program_pid=""
exit "$status"
