# Sourced by the scripts that run Windows programs under Wine on private X
# displays: tests/run_wine_tests.sh, bench.sh, tests/installer/test_installer.sh,
# run.sh and docs/make_screenshot.sh. The caller sets `work` to a scratch
# folder first; prefixes made there are named prefix-*.
#
#   start_display GEOMETRY    starts Xvfb on a free display, sets `display`;
#                             GEOMETRY is WIDTHxHEIGHTxDEPTH, or monitors
#                             side by side as WIDTHxHEIGHT+WIDTHxHEIGHT[+...]
#                             (true colour; see start_monitors_display);
#                             a single screen may be followed by smaller
#                             modes it can switch to, ",WIDTHxHEIGHT" each
#   init_prefix PREFIX LOG    makes a bare Wine prefix for the display in
#                             `display` (make_prefix in first_settings.sh
#                             makes one with the saver's settings)
#   end_prefix_on_exit PREFIX the clean-up ends that prefix's Wine server too
#                             (init_prefix does this for the prefixes it makes;
#                             prefixes under `work` are ended in any case, also
#                             when init_prefix ran in a subshell)
#   stop_private_displays     ends the prefixes' Wine servers and the displays
#
#   "$wine64_loader" PROGRAM  runs a 64-bit Windows program with Wine's
#                             64-bit loader (a command, not a function, so
#                             that `$!` of a background start is Wine's own
#                             process)
#
# Sourcing it also sets an exit trap that stops the displays and removes
# `work`. Wine servers go first: Wine's processes outlive a display that
# went away under them.
#
# start_display must run in the calling shell, not in $(...): a server
# started in a subshell is not remembered and outlives the script.

# Wine's 64-bit loader, started directly. Once Wine's 32-bit half is
# installed (the 32-bit tests need it), Debian's `wine` command starts every
# program through the 32-bit loader first, which runs under emulation on
# machines that cannot execute 32-bit code: seconds lost on every start.
wine64_loader=/usr/lib/wine/wine64
[ -x "$wine64_loader" ] || wine64_loader=$(command -v wine64 || command -v wine)

private_display_pids=()
private_prefixes=()

start_display() {
  local screen=${1%%,*} mode modes=()
  case $screen in
    *+*) start_monitors_display "$screen" ;;
    *) start_x_server "$screen" Xvfb -screen 0 "$screen" ;;
  esac || return 1
  [[ $1 == *,* ]] && IFS=, read -ra modes <<<"${1#*,}"
  for mode in "${modes[@]}"; do
    add_display_mode "$mode" || return 1
  done
}

# A RandR mode the screen in `display` can switch to, which Wine then lists
# among the display modes. Xvfb takes modes up to the size it started
# with; only the size matters to it, so the timings are all 0.
add_display_mode() {
  [[ $1 =~ ^([0-9]+)x([0-9]+)$ ]] || { echo "bad display mode '$1'" >&2; return 1; }
  DISPLAY=$display xrandr --newmode "$1" 0 "${BASH_REMATCH[1]}" 0 0 0 "${BASH_REMATCH[2]}" 0 0 0 &&
    DISPLAY=$display xrandr --addmode screen "$1"
}

# Starts an X server (the command and its arguments after the geometry,
# which only names it in messages) on a free display it picks itself, and
# sets `display`.
start_x_server() {
  local geometry=$1 fd_file
  shift
  fd_file=$(mktemp "$work/display.XXXXXX")
  "$@" -displayfd 3 -noreset -nolisten tcp 3>"$fd_file" >>"$work/x-servers.log" 2>&1 &
  private_display_pids+=($!)
  for _ in $(seq 100); do
    [ -s "$fd_file" ] && break
    sleep 0.1
  done
  [ -s "$fd_file" ] || { echo "$1 did not start ($geometry)" >&2; return 1; }
  display=":$(head -n1 "$fd_file")"
}

# Several monitors side by side, as Wine sees them: Xvfb's own screens all
# start at 0,0 and its RandR monitors are not seen, but a nested Xephyr with
# one screen per monitor, joined by Xinerama and without RandR, gives Wine
# one monitor per screen, left to right, the first the primary. Xephyr
# needs a host display, an Xvfb a little larger than the monitors together;
# both servers are remembered, so the clean-up ends both (Xephyr first).
start_monitors_display() {
  local geometry=$1 monitor monitors width=0 height=0 screens=()
  IFS=+ read -ra monitors <<<"$geometry"
  for monitor in "${monitors[@]}"; do
    [[ $monitor =~ ^([0-9]+)x([0-9]+)$ ]] || { echo "bad monitor '$monitor' in $geometry" >&2; return 1; }
    width=$((width + BASH_REMATCH[1]))
    [ "${BASH_REMATCH[2]}" -gt $height ] && height=${BASH_REMATCH[2]}
    screens+=(-screen "$monitor")
  done
  start_x_server "host of $geometry" Xvfb -screen 0 "$((width + 152))x$((height + 132))x24" || return 1
  DISPLAY=$display start_x_server "$geometry" Xephyr +xinerama -extension RANDR "${screens[@]}"
}

stop_private_displays() {
  local prefix pid
  for prefix in "$work"/prefix-* "$work"/prefix "${private_prefixes[@]}"; do
    [ -d "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  done
  # Last started first: a nested server goes before the one that hosts it.
  local i
  for ((i = ${#private_display_pids[@]} - 1; i >= 0; i--)); do
    pid=${private_display_pids[$i]}
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
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
  DISPLAY=$display WINEPREFIX=$prefix WINEDEBUG=-all "$wine64_loader" wineboot -i >"$log" 2>&1
  # Without a window manager, managed windows wait on every close and get
  # no keyboard focus.
  DISPLAY=$display WINEPREFIX=$prefix WINEDEBUG=-all \
    "$wine64_loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # A program that crashes ends at once, with its backtrace on stderr: Wine's
  # crash dialog would wait for a click until the test's timeout.
  DISPLAY=$display WINEPREFIX=$prefix WINEDEBUG=-all \
    "$wine64_loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
}

remove_private_work() {
  set +e
  stop_private_displays
  rm -rf "$work"
}
trap remove_private_work EXIT
