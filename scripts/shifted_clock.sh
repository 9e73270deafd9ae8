# Sourced by tests/run_wine_tests.sh: runs Wine on a shifted millisecond
# clock, as on a PC that has been up for weeks, with libfaketime.
#
#   shift_wine_clock PROBE TARGET  ends the prefix's Wine server, finds the
#                                  offset that puts timeGetTime at TARGET ms
#                                  now, starts a Wine server under it, checks
#                                  the clock there and sets `shifted_env`
#                                  (the variables every Wine program of the
#                                  prefix must run with); PROBE is the built
#                                  print_tick_count.exe
#
# The caller sets DISPLAY and WINEPREFIX. The Wine server and every program
# of the prefix must run on the same offset: a program whose clocks differ
# from its server's waits forever, as its timeouts never come due. Under
# libfaketime Wine's tick count does not continue the machine's uptime even
# at +0s, so the offset is measured from a reading at +0s. File times are
# left alone (NO_FAKE_STAT): shifted, they make Wine update the prefix.

faketime_library=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1

# timeGetTime in a fresh Wine server of the prefix under FAKETIME=$1.
tick_count_at() {
  local offset=$1 probe=$2 tick
  WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
  timeout 60 wineserver -w || true
  LD_PRELOAD=$faketime_library FAKETIME=$offset NO_FAKE_STAT=1 wineserver -p5 || return 1
  tick=$(LD_PRELOAD=$faketime_library FAKETIME=$offset NO_FAKE_STAT=1 timeout 60 "$wine64_loader" "$probe" | tr -d '\r')
  [[ $tick =~ ^[0-9]+$ ]] || { echo "!! no tick count from $probe under FAKETIME=$offset" >&2; return 1; }
  echo "$tick"
}

shift_wine_clock() {
  local probe=$1 target=$2 base seconds offset tick off_by
  [ -r "$faketime_library" ] || { echo "!! $faketime_library missing (package libfaketime)" >&2; return 1; }
  base=$(tick_count_at +0s "$probe") || return 1
  seconds=$(((target - base) / 1000))
  if [ "$seconds" -ge 0 ]; then offset=+${seconds}s; else offset=${seconds}s; fi
  tick=$(tick_count_at "$offset" "$probe") || return 1
  # A few seconds pass between the two readings; anything else means the
  # clock was not shifted, and the tests would prove nothing.
  off_by=$((tick - target))
  if [ "$off_by" -lt -2000 ] || [ "$off_by" -gt 10000 ]; then
    echo "!! Wine's clock was not shifted: timeGetTime $tick under FAKETIME=$offset, wanted $target" >&2
    return 1
  fi
  echo "== Wine's clock shifted by $offset: timeGetTime $tick" >&2
  shifted_env=(LD_PRELOAD=$faketime_library FAKETIME=$offset NO_FAKE_STAT=1)
}
