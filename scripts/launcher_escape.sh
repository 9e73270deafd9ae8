#!/bin/bash
# Starts the saver RUNS times (25 unless given) through Debian's `wine`
# command, on a private display and prefix, and presses Escape as soon as
# its window exists; prints how many runs ended with 0. With Wine's 32-bit
# half installed, `wine` starts a 64-bit program through the 32-bit loader
# and start.exe, a second process: the start a launcher or a scheduler
# makes, where the saver's window is not the foreground by itself. A run
# whose Escape was lost says whether a second one, 5 s later, ended it.
# Slow (seconds a run), so not part of ./test.sh.
#
#   scripts/launcher_escape.sh [RUNS] [SCR]   SCR: build/win64/Glimmerwatch.scr
set -u
cd "$(dirname "$0")/.."
runs=${1:-25}
scr=$(realpath "${2:-build/win64/Glimmerwatch.scr}")
work=$(mktemp -d)
. scripts/private_display.sh
. scripts/first_settings.sh
start_display 1024x768x24 || exit 1
prefix=$work/prefix
make_prefix "$prefix" || exit 1
export DISPLAY=$display WINEPREFIX=$prefix WINEDEBUG=-all

ended=0
for run in $(seq "$runs"); do
  wine "$scr" /s &
  launcher=$!
  window=
  for _ in $(seq 600); do
    window=$(xdotool search --onlyvisible --name '^Glimmerwatch$' 2>/dev/null | head -n1)
    [ -n "$window" ] && break
    sleep 0.05
  done
  xdotool key Escape
  # Still running 5 s on, the saver did not get the Escape: a second one
  # tells a window that never takes keys from one pressed too soon.
  result=lost
  for escape in first second; do
    for _ in $(seq 50); do
      if ! kill -0 "$launcher" 2>/dev/null; then
        wait "$launcher"
        result="$? after the $escape Escape"
        break 2
      fi
      sleep 0.1
    done
    [ $escape = first ] && xdotool key Escape
  done
  if [ "$result" = lost ]; then
    wineserver -k 2>/dev/null
    wait "$launcher" 2>/dev/null
  fi
  [ "$result" = "0 after the first Escape" ] && ended=$((ended + 1))
  echo "run $run: window ${window:-none}, exit $result"
done
echo "$ended of $runs runs ended with 0 on an early Escape"
[ "$ended" = "$runs" ]
