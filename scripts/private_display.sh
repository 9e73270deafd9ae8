# Sourced by the scripts that run Windows programs under Wine on private X
# displays: tests/run_wine_tests.sh, bench.sh, tests/installer/test_installer.sh
# and run.sh. The caller sets `work` to a scratch folder first; prefixes made
# there are named prefix-*.
#
#   start_display GEOMETRY    starts Xvfb on a free display, sets `display`
#   init_prefix PREFIX LOG    makes a Wine prefix for the display in `display`
#   end_prefix_on_exit PREFIX the clean-up ends that prefix's Wine server too
#                             (init_prefix does this for the prefixes it makes;
#                             prefixes under `work` are ended in any case, also
#                             when init_prefix ran in a subshell)
#   stop_private_displays     ends the prefixes' Wine servers and the displays
#
# Sourcing it also sets an exit trap that stops the displays and removes
# `work`. Wine servers go first: Wine's processes outlive a display that
# went away under them.
#
# start_display must run in the calling shell, not in $(...): a server
# started in a subshell is not remembered and outlives the script.

private_display_pids=()
private_prefixes=()

start_display() {
  local geometry=$1 fd_file
  fd_file=$(mktemp "$work/display.XXXXXX")
  Xvfb -displayfd 3 -screen 0 "$geometry" -noreset -nolisten tcp 3>"$fd_file" \
    >>"$work/xvfb.log" 2>&1 &
  private_display_pids+=($!)
  for _ in $(seq 100); do
    [ -s "$fd_file" ] && break
    sleep 0.1
  done
  [ -s "$fd_file" ] || { echo "Xvfb did not start ($geometry)" >&2; return 1; }
  display=":$(head -n1 "$fd_file")"
}

stop_private_displays() {
  local prefix pid
  for prefix in "$work"/prefix-* "$work"/prefix "${private_prefixes[@]}"; do
    [ -d "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  done
  for pid in "${private_display_pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${private_display_pids[@]}"; do wait "$pid" 2>/dev/null; done
  private_display_pids=()
  private_prefixes=()
  return 0
}

end_prefix_on_exit() {
  private_prefixes+=("$1")
}

init_prefix() {
  local prefix=$1 log=$2
  end_prefix_on_exit "$prefix"
  DISPLAY=$display WINEPREFIX=$prefix WINEDEBUG=-all wineboot -i >"$log" 2>&1
  # Without a window manager, managed windows wait on every close and get
  # no keyboard focus.
  DISPLAY=$display WINEPREFIX=$prefix WINEDEBUG=-all \
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
}

remove_private_work() {
  set +e
  stop_private_displays
  rm -rf "$work"
}
trap remove_private_work EXIT
