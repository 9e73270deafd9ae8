#!/bin/bash
# Starts the saver RUNS times (25 unless given) through Debian's `wine`
# command, on a private display and prefix, and presses Escape as soon as
# its window exists; prints how many runs ended with 0. With Wine's 32-bit
# half installed, `wine` starts a 64-bit program through the 32-bit loader
# and start.exe, a second process: the start a launcher or a scheduler
# makes, where the saver's window is not the foreground by itself. Slow
# (seconds a run), so not part of ./test.sh.
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
    window=$(xdotool search --name '^Glimmerwatch$' 2>/dev/null | head -n1)
    [ -n "$window" ] && break
    sleep 0.05
  done
  xdotool key Escape
  code=lost
  for _ in $(seq 100); do
    kill -0 "$launcher" 2>/dev/null || { wait "$launcher"; code=$?; break; }
    sleep 0.1
  done
  if [ "$code" = lost ]; then
    # Escape went elsewhere: the saver still runs.
    wineserver -k 2>/dev/null
    wait "$launcher" 2>/dev/null
  fi
  [ "$code" = 0 ] && ended=$((ended + 1))
  echo "run $run: window ${window:-none}, exit $code"
done
echo "$ended of $runs runs ended with 0 on an early Escape"
[ "$ended" = "$runs" ]
