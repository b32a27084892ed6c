#!/usr/bin/env bash
# The real program on a virtual display: it starts, shows its window, closes on Ctrl+X, writes
# its settings, and comes back at the same place. Run by ctest through run-in-xvfb.sh.
set -euo pipefail
program=$1
command -v xdotool >/dev/null || { echo "SKIP: xdotool is needed"; exit 77; }

home=$(mktemp -d)
pid=
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null; rm -rf "$home"' EXIT
export HOME=$home XDG_CONFIG_HOME=$home/.config
conf=$XDG_CONFIG_HOME/Orvanne/QNL.conf

start() {
  "$program" & pid=$!
  # The splash comes first; the main window, titled Quarnel, after about a second.
  window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Quarnel$' | head -1)
  [ -n "$window" ] || { echo "FAIL: no main window"; exit 1; }
  sleep 1
}

quit() {
  # Without a window manager nobody hands out the focus: take it as a click would.
  xdotool windowfocus "$window"; sleep 0.3
  xdotool key ctrl+x
  timeout 10 tail --pid="$pid" -f /dev/null || { echo "FAIL: Ctrl+X did not close the window"; exit 1; }
  wait "$pid"; status=$?; pid=
  [ "$status" -eq 0 ] || { echo "FAIL: exit status $status"; exit 1; }
}

start
xdotool windowmove "$window" 70 50
xdotool windowsize "$window" 900 600
sleep 1
before=$(xdotool getwindowgeometry "$window" | tail -2)
quit

[ -f "$conf" ] || { echo "FAIL: no settings written to $conf"; exit 1; }
for name in ViewBar ViewStatus ViewType FolderSize Name Size1 Size2 Date \
            MainLeft MainTop MainWidth MainHeight; do
  grep -q "^$name=" "$conf" || { echo "FAIL: $name missing from $conf"; cat "$conf"; exit 1; }
done

start
after=$(xdotool getwindowgeometry "$window" | tail -2)
[ "$before" = "$after" ] || { echo "FAIL: window was at '$before', came back at '$after'"; exit 1; }
quit
echo "PASS: started, closed on Ctrl+X, settings written and restored:" $after
