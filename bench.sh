#!/usr/bin/env bash
# Measures Glimmerwatch under Wine on private virtual displays and prints one
# table (also build/bench/results.csv and results.md; every sample is in
# build/bench/samples.csv):
#   1. frame cost: the saver's frame (clock, counter, eyes) against a floor
#      program that only draws the full-screen desktop quad and swaps;
#   2. start-up, stage by stage, in runSaver's order (also at 1920x1080);
#   3. CPU time of the real .scr /p preview while nothing happens;
#   4. sizes of the 32-bit and the 64-bit .scr;
#   5. peak resident memory of the real .scr /s and of the floor program;
#   6. the real .scr /s running: its CPU time and the frames it presents,
#      with nothing shown, the clock only, the FPS counter, and the mouse
#      moving all the time.
# Each figure is the median of several runs with its spread (min-max).
#
# Presented frames are counted from outside the product by
# bench/frame_counter.c, which watches the display's damage; row 1 checks
# that count against the measuring programs' own frame counts.
#
# Usage: ./bench.sh [--large] [--runs N]
#   --large       also measure rows 1, 2 and 5 on a large screen
#                 (GLIMMER_BENCH_LARGE=1 does the same)
#   --runs N      runs per figure (GLIMMER_BENCH_RUNS, default 5)
# More knobs: GLIMMER_BENCH_LARGE_SIZE (default 2560x1440),
# GLIMMER_BENCH_STARTUP_SIZE (start-up only, default 1920x1080),
# GLIMMER_BENCH_FRAME_MS (measured frame time per run, default 5000),
# GLIMMER_BENCH_IDLE_MS (idle preview window, default 10000),
# GLIMMER_BENCH_LIVE_SETTLE_MS and GLIMMER_BENCH_LIVE_MS (row 6: time from
# the saver's window to the measured interval, default 5000, and the
# interval, default 10000).
#
# The measuring programs (bench/) link the same objects as the .scr; the
# product itself carries no timing code. Builds go to build/bench-win64,
# build/bench-win32 and build/bench-native only.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)

runs=${GLIMMER_BENCH_RUNS:-5}
large=${GLIMMER_BENCH_LARGE:-0}
large_size=${GLIMMER_BENCH_LARGE_SIZE:-2560x1440}
warm_ms=1000
frame_ms=${GLIMMER_BENCH_FRAME_MS:-5000}
part_ms=1000
settle_ms=2000
idle_ms=${GLIMMER_BENCH_IDLE_MS:-10000}
startup_size=${GLIMMER_BENCH_STARTUP_SIZE:-1920x1080}
live_settle_ms=${GLIMMER_BENCH_LIVE_SETTLE_MS:-5000}
live_ms=${GLIMMER_BENCH_LIVE_MS:-10000}
while [ $# -gt 0 ]; do
  case "$1" in
    --large) large=1 ;;
    --runs) runs=$2; shift ;;
    -h|--help) sed -n '2,34p' "$0"; exit 0 ;;
    *) echo "Unknown argument: $1 (see --help)" >&2; exit 2 ;;
  esac
  shift
done

# --- Packages and builds -----------------------------------------------------
scripts/install_deps.sh

build64=$root/build/bench-win64
build32=$root/build/bench-win32
out=$root/build/bench
mkdir -p "$out"
echo "== Building (64-bit with the measuring programs, and the 32-bit .scr)"
cmake -S . -B "$build64" --toolchain cmake/x86_64-w64-mingw32.cmake -DCMAKE_BUILD_TYPE=Release \
  -DGLIMMER_TESTS=OFF -DGLIMMER_BENCH=ON >"$out/configure-win64.log" 2>&1
cmake --build "$build64" -j "$(nproc)" >"$out/build-win64.log" 2>&1 ||
  { tail -n 30 "$out/build-win64.log" >&2; exit 1; }
cmake -S . -B "$build32" --toolchain cmake/i686-w64-mingw32.cmake -DCMAKE_BUILD_TYPE=Release \
  -DGLIMMER_TESTS=OFF >"$out/configure-win32.log" 2>&1
cmake --build "$build32" -j "$(nproc)" --target Glimmerwatch >"$out/build-win32.log" 2>&1 ||
  { tail -n 30 "$out/build-win32.log" >&2; exit 1; }

# The frame counter is a native X program. Without the Damage headers
# (libxdamage-dev) the rows that need it say "not measured".
native=$root/build/bench-native
counter=$native/frame_counter
mkdir -p "$native"
if cc -std=c99 -O2 -Wall -Wextra -Werror bench/frame_counter.c -o "$counter" \
  -lXdamage -lX11 >"$out/build-native.log" 2>&1; then
  have_counter=1
else
  have_counter=0
  echo "!! bench/frame_counter.c did not build (needs libxdamage-dev); see $out/build-native.log." >&2
  echo "!! Presented frames are not counted in this run." >&2
fi

# --- Private displays and prefixes ---------------------------------------------
work=$(mktemp -d /tmp/glimmerwatch-bench.XXXXXX)
source "$root/scripts/private_display.sh"
source "$root/scripts/first_settings.sh"
export WINEDEBUG=-all

# A prefix with the installer's settings, the clock and the counter on, and
# a known desktop picture on the display; sets `prefix`.
make_prefix() {
  local name=$1
  prefix="$work/prefix-$1"
  init_prefix "$prefix" "$work/wineboot-$name.log"
  DISPLAY=$display WINEPREFIX=$prefix write_first_settings 'Show Time=1' 'Show FPS=1' || exit 1
  local size
  size=$(DISPLAY=$display xdpyinfo | awk '/dimensions:/ {print $2}')
  convert -size "$size" -seed 7 plasma:fractal -blur 0x2 \
    -fill white -stroke black -draw "rectangle 40,40 240,140" "$work/desktop-$name.png"
  # display sets the root picture and then exits with 1 here; the picture
  # is on the screen all the same.
  DISPLAY=$display display -window root "$work/desktop-$name.png" || true
}

# Wine takes Windows paths for the programs' own file arguments.
winpath() { local p=$1; echo "Z:${p//\//\\}"; }

# --- Samples and statistics ------------------------------------------------------
samples=$out/samples.csv
echo "screen,metric,run,value" >"$samples"
sample() { echo "$1,$2,$3,$4" >>"$samples"; }
# key=value from a result file; empty when absent.
value_of() { sed -n "s/^$2=//p" "$1" 2>/dev/null | tr -d '\r' | head -n1; }

# Peak resident memory (VmHWM, kB) of a running process, polled until it
# ends; VmHWM only grows, so the last reading is the peak. A process that
# has ended but not been waited for has no VmHWM line.
watch_peak() {
  local pid=$1 peak=0 value
  while value=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status" 2>/dev/null) && [ -n "$value" ]; do
    peak=$value
    sleep 0.1
  done
  echo "$peak"
}

# utime + stime of a process in clock ticks (all its threads, ended ones too).
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# The Linux process of this prefix's Windows process whose command line
# contains the program name and then the rest of the pattern (Wine may keep
# the arguments NUL-separated).
find_wine_process() {
  local program=$1 rest=${2:-} prefix=$3 file dir
  for file in $(grep -alF -- "$program" /proc/[0-9]*/cmdline 2>/dev/null); do
    dir=${file%/cmdline}
    # Not this script's own helpers, whose arguments hold the pattern.
    case $(cat "$dir/comm" 2>/dev/null) in grep | tr | bash | cat | "") continue ;; esac
    tr '\0' ' ' <"$dir/cmdline" 2>/dev/null | grep -qF -- "$program${rest:+ $rest}" || continue
    tr '\0' '\n' <"$dir/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$prefix" || continue
    echo "${dir#/proc/}"
    return 0
  done
  return 1
}

# One run of a measuring program; its result file, and its peak memory as a
# sample. Fails when the program reports no result.
run_program() {
  local screen=$1 program=$2 run=$3 result=$4
  shift 4
  rm -f "$result"
  DISPLAY=$display WINEPREFIX=$prefix wine "$build64/$program" "$(winpath "$result")" "$@" \
    >>"$work/wine-output.log" 2>&1 &
  local pid=$!
  local peak
  peak=$(watch_peak $pid)
  local status=0
  wait $pid || status=$?
  if [ "$(value_of "$result" done)" != 1 ]; then
    echo "!! $program run $run failed (exit $status): $(value_of "$result" failed)" >&2
    return 1
  fi
  sample "$screen" "${program%.exe}_peak_kb" "$run" "$peak"
}

# --- Presented frames, counted from outside ------------------------------------
# Starts bench/frame_counter on the display, logging to $1, and waits until
# its damage object is in place (its first line); sets counter_pid. Fails,
# leaving counter_pid empty, when there is no counter or it does not start.
counter_pid=
start_counter() {
  local log=$1
  counter_pid=
  [ "$have_counter" = 1 ] || return 1
  rm -f "$log"
  DISPLAY=$display "$counter" "$log" 2>>"$work/counter-errors.log" &
  counter_pid=$!
  for _ in $(seq 50); do
    [ -s "$log" ] && return 0
    sleep 0.1
  done
  echo "!! the frame counter did not start (see $work/counter-errors.log)" >&2
  kill "$counter_pid" 2>/dev/null
  wait "$counter_pid" 2>/dev/null
  counter_pid=
  return 1
}

# Ends the counter, which then writes its log.
stop_counter() {
  [ -n "$counter_pid" ] || return 0
  kill -TERM "$counter_pid" 2>/dev/null
  wait "$counter_pid" 2>/dev/null || true
  counter_pid=
}

# Presented frames in a counter log whose receive time lies in [from, to]
# (nanoseconds since 1970); empty when the log did not end properly.
frames_between() {
  local log=$1 from=$2 to=$3
  grep -qx end "$log" 2>/dev/null || return 0
  awk -v a="$from" -v b="$to" '$1 == "f" && $2 >= a && $2 <= b {n++} END {print n + 0}' "$log"
}

# A measuring program's own frame count against the counter's over the
# program's measured interval, as a ratio sample (1 = the same count).
sample_counter_check() {
  local screen=$1 metric=$2 run=$3 log=$4 result=$5
  local from to own counted
  from=$(value_of "$result" measure_start_unix_ns)
  to=$(value_of "$result" measure_end_unix_ns)
  own=$(value_of "$result" frames)
  [ -n "$from" ] && [ -n "$to" ] && [ -n "$own" ] || return 0
  counted=$(frames_between "$log" "$from" "$to")
  [ -n "$counted" ] || return 0
  sample "$screen" "$metric" "$run" "$(awk -v c="$counted" -v o="$own" 'BEGIN {if (o > 0) printf "%.4f", c / o}')"
}

# A measuring program run with the frame counter watching the display.
run_counted() {
  local screen=$1 program=$2 run=$3 result=$4 metric=$5
  shift 5
  local log=$result.frames status=0
  start_counter "$log" || true
  run_program "$screen" "$program" "$run" "$result" "$@" || status=$?
  stop_counter
  [ $status -eq 0 ] && sample_counter_check "$screen" "$metric" "$run" "$log" "$result"
  return $status
}

# --- Rows 1, 2, 5 on one screen --------------------------------------------------
# With `startup` as the third argument, only the start-up stages (row 2).
measure_screen() {
  local screen=$1 name=$2 scope=${3:-all}
  echo "== $screen: display and Wine prefix"
  start_display "${screen}x24"
  make_prefix "$name"

  # One discarded run of each: the first start in a new prefix pays for
  # Wine's own one-time work.
  run_program "$screen" glimmer_bench.exe 0 "$work/warm-bench.txt" 200 200 >/dev/null || true
  run_program "$screen" glimmer_floor.exe 0 "$work/warm-floor.txt" 200 200 >/dev/null || true
  sed -i "/^$screen,[^,]*,0,/d" "$samples"

  local timing=($warm_ms "$frame_ms" $part_ms) what="frame cost and start-up"
  [ "$scope" = startup ] && timing=(0 0) what="start-up"
  local i
  for i in $(seq "$runs"); do
    echo "== $screen: $what, run $i of $runs"
    local bench=$work/bench-$name-$i.txt floor=$work/floor-$name-$i.txt
    # Alternating the order spreads any drift in the machine's load evenly.
    if [ $((i % 2)) -eq 1 ]; then
      run_counted "$screen" glimmer_bench.exe "$i" "$bench" counter_check_saver "${timing[@]}" || true
      run_counted "$screen" glimmer_floor.exe "$i" "$floor" counter_check_floor "${timing[@]}" || true
    else
      run_counted "$screen" glimmer_floor.exe "$i" "$floor" counter_check_floor "${timing[@]}" || true
      run_counted "$screen" glimmer_bench.exe "$i" "$bench" counter_check_saver "${timing[@]}" || true
    fi
    touch "$bench" "$floor"
    local key
    for key in fps stage_settings_ms stage_mode_switch_ms stage_window_ms stage_gl_fonts_ms \
      stage_eye_texture_ms stage_snapshot_ms stage_display_list_ms stage_first_frame_ms \
      startup_total_ms process_start_to_main_ms font_lists_one_overlay_ms part_backdrop_fps \
      part_plus_clock_fps part_plus_counter_fps part_plus_eyes_fps; do
      sample "$screen" "saver_$key" "$i" "$(value_of "$bench" $key)"
    done
    for key in fps startup_total_ms stage_window_ms stage_gl_ms stage_snapshot_ms \
      stage_first_frame_ms; do
      sample "$screen" "floor_$key" "$i" "$(value_of "$floor" $key)"
    done
    local saver_fps floor_fps saver_copy floor_copy
    saver_fps=$(value_of "$bench" fps)
    floor_fps=$(value_of "$floor" fps)
    if [ -n "$saver_fps" ] && [ -n "$floor_fps" ]; then
      sample "$screen" frame_ratio "$i" "$(awk -v s="$saver_fps" -v f="$floor_fps" 'BEGIN {printf "%.4f", s / f}')"
    fi
    # The saver's snapshot (copy, pixel pass, mipmap chain) against the
    # floor's bare one-level copy of the same screen.
    saver_copy=$(value_of "$bench" stage_snapshot_ms)
    floor_copy=$(value_of "$floor" stage_snapshot_ms)
    if [ -n "$saver_copy" ] && [ -n "$floor_copy" ]; then
      sample "$screen" snapshot_over_floor_copy "$i" \
        "$(awk -v s="$saver_copy" -v f="$floor_copy" 'BEGIN {if (f > 0) printf "%.4f", s / f}')"
    fi
  done
  [ "$scope" = startup ] && return 0
  gl_version=$(value_of "$work/bench-$name-1.txt" gl_version || true)
  gl_renderer=$(value_of "$work/bench-$name-1.txt" gl_renderer)

  # The real saver, full-screen, for its peak memory: past the hold-back,
  # a few mouse moves so the eyes are drawn, then Escape.
  for i in $(seq "$runs"); do
    echo "== $screen: Glimmerwatch.scr /s, run $i of $runs"
    DISPLAY=$display WINEPREFIX=$prefix wine "$build64/Glimmerwatch.scr" /s \
      >>"$work/wine-output.log" 2>&1 &
    local pid=$! status=0 peak
    watch_peak $pid >"$work/peak-scr" &
    local watcher=$!
    # Its window up, then the 3 s hold-back and a little more, so frames
    # are being presented when the mouse moves.
    for _ in $(seq 300); do
      DISPLAY=$display xdotool search --name '^Glimmerwatch$' >/dev/null 2>&1 && break
      sleep 0.1
    done
    sleep 4
    local x
    for x in 300 420 540 660; do
      DISPLAY=$display xdotool mousemove $x 400
      sleep 0.1
    done
    [ "$i" -eq 1 ] && DISPLAY=$display import -window root "$out/scr-$name.png"
    sleep 0.5
    DISPLAY=$display xdotool key Escape
    for _ in $(seq 100); do
      grep -q '^VmHWM:' "/proc/$pid/status" 2>/dev/null || break
      sleep 0.1
    done
    if grep -q '^VmHWM:' "/proc/$pid/status" 2>/dev/null; then
      echo "!! Glimmerwatch.scr /s did not end on Escape; killed" >&2
      kill $pid 2>/dev/null
    fi
    wait $pid || status=$?
    wait $watcher || true
    peak=$(cat "$work/peak-scr")
    [ $status -eq 0 ] || echo "!! Glimmerwatch.scr /s exited with $status" >&2
    sample "$screen" scr_peak_kb "$i" "$peak"
    sample "$screen" scr_exit_code "$i" "$status"
  done
}

# --- Row 3: the idle preview ---------------------------------------------------
measure_preview() {
  local screen=$1 i ticks_per_second
  ticks_per_second=$(getconf CLK_TCK)
  for i in $(seq "$runs"); do
    echo "== Idle preview, run $i of $runs ($((idle_ms / 1000)) s)"
    local result=$work/preview-$i.txt
    rm -f "$result" "$result.ready" "$result.release"
    DISPLAY=$display WINEPREFIX=$prefix wine "$build64/glimmer_preview_host.exe" \
      "$(winpath "$build64/Glimmerwatch.scr")" "$(winpath "$result")" $settle_ms "$idle_ms" \
      >>"$work/wine-output.log" 2>&1 &
    local host=$!
    for _ in $(seq 300); do
      [ -s "$result.ready" ] && break
      sleep 0.1
    done
    local pid server
    pid=$(find_wine_process Glimmerwatch.scr /p "$prefix") || {
      echo "!! no preview process found" >&2
      wait $host || true
      return 1
    }
    server=$(find_wine_process wineserver '' "$prefix" || true)
    local t0 c0 s0=0 t1 c1 s1=0
    t0=$(date +%s%N)
    c0=$(cpu_ticks "$pid")
    [ -n "$server" ] && s0=$(cpu_ticks "$server")
    sleep "$(awk -v ms="$idle_ms" 'BEGIN {print ms / 1000}')"
    t1=$(date +%s%N)
    c1=$(cpu_ticks "$pid")
    [ -n "$server" ] && s1=$(cpu_ticks "$server")
    touch "$result.release"
    wait $host || true
    if [ "$(value_of "$result" done)" != 1 ] || [ "$(value_of "$result" preview_window_found)" != 1.000 ]; then
      echo "!! preview run $i: $(value_of "$result" failed) window=$(value_of "$result" preview_window_found)" >&2
      return 1
    fi
    local wall_ms=$(((t1 - t0) / 1000000))
    sample "$screen" preview_cpu_percent_proc "$i" \
      "$(awk -v c=$((c1 - c0)) -v hz="$ticks_per_second" -v ms=$wall_ms 'BEGIN {printf "%.3f", 100 * c / hz * 1000 / ms}')"
    sample "$screen" preview_cpu_percent_getprocesstimes "$i" \
      "$(awk -v c="$(value_of "$result" cpu_ms_get_process_times)" -v ms="$(value_of "$result" measured_ms)" 'BEGIN {printf "%.3f", 100 * c / ms}')"
    [ -n "$server" ] && sample "$screen" preview_wineserver_cpu_percent "$i" \
      "$(awk -v c=$((s1 - s0)) -v hz="$ticks_per_second" -v ms=$wall_ms 'BEGIN {printf "%.3f", 100 * c / hz * 1000 / ms}')"
    sample "$screen" preview_exit_code "$i" "$(value_of "$result" preview_exit_code)"
  done
}

# --- Row 6: the real .scr /s running --------------------------------------------
# Each case: the stored Show Time and Show FPS switches, and whether the mouse
# moves all the time.
live_cases=(idle clock counter mouse)
declare -A live_time=([idle]=0 [clock]=1 [counter]=0 [mouse]=0)
declare -A live_fps=([idle]=0 [clock]=0 [counter]=1 [mouse]=0)
declare -A live_moves=([idle]=0 [clock]=0 [counter]=0 [mouse]=1)

# Writes the saver's two stored switches into the prefix: the first
# settings, with the clock's and the counter's switches as given.
set_switches() {
  DISPLAY=$display WINEPREFIX=$prefix write_first_settings "Show Time=$1" "Show FPS=$2" >/dev/null
}

# Moves the pointer round an ellipse about the screen's centre, a step every
# 10 ms for `seconds`, in one xdotool process; sets mover_pid.
mover_pid=
start_mouse_mover() {
  local seconds=$1 width height
  read -r width height < <(DISPLAY=$display xdpyinfo | awk '/dimensions:/ {split($2, d, "x"); print d[1], d[2]}')
  local steps
  steps=$(awk -v n=$((seconds * 100)) -v w="$width" -v h="$height" 'BEGIN {
    for (i = 0; i < n; i++)
      printf "mousemove %d %d sleep 0.01 ", w / 2 + w / 4 * cos(i / 10), h / 2 + h / 4 * sin(i / 10) }')
  # The word splitting of $steps is the point: one argument per word.
  # shellcheck disable=SC2086
  DISPLAY=$display xdotool $steps >/dev/null 2>&1 &
  mover_pid=$!
}

# Percent of one core from two utime+stime readings over a wall interval in ns.
cpu_percent() {
  awk -v c="$1" -v hz="$2" -v ns="$3" 'BEGIN {printf "%.3f", 100 * c / hz * 1e9 / ns}'
}

# Sleeps until the wall clock reaches `ns` (nanoseconds since 1970).
sleep_until() {
  local left=$(($1 - $(date +%s%N)))
  [ "$left" -gt 0 ] && sleep "$(awk -v ns="$left" 'BEGIN {printf "%.3f", ns / 1e9}')"
  return 0
}

# One run of Glimmerwatch.scr /s in one case: the window up, then the settle
# time, then CPU time and presented frames over the measured interval, then
# Escape.
live_run() {
  local case=$1 run=$2 screen=$3
  local log=$work/live-$case-$run.frames
  start_counter "$log" || true
  DISPLAY=$display WINEPREFIX=$prefix wine "$build64/Glimmerwatch.scr" /s \
    >>"$work/wine-output.log" 2>&1 &
  local launcher=$!
  local found=0
  for _ in $(seq 300); do
    DISPLAY=$display xdotool search --name '^Glimmerwatch$' >/dev/null 2>&1 && { found=1; break; }
    sleep 0.1
  done
  local shown
  shown=$(date +%s%N)
  [ "${live_moves[$case]}" = 1 ] && start_mouse_mover $(((live_settle_ms + live_ms) / 1000 + 5))
  # The Linux process that runs the .scr, found by its command line and this
  # prefix: other checkouts on the machine may run their own .scr meanwhile.
  local pid="" server xvfb=${private_display_pids[-1]}
  for _ in $(seq 50); do
    pid=$(find_wine_process Glimmerwatch.scr /s "$prefix") && break
    sleep 0.1
  done
  server=$(find_wine_process wineserver '' "$prefix" || true)
  if [ $found = 0 ] || [ -z "$pid" ]; then
    echo "!! $case run $run: no saver window or process" >&2
  fi

  local hz t0 t1 c0 c1 s0=0 s1=0 x0 x1 ok=0
  hz=$(getconf CLK_TCK)
  sleep_until $((shown + live_settle_ms * 1000000))
  if [ -n "$pid" ] && [ -r "/proc/$pid/stat" ]; then
    t0=$(date +%s%N)
    c0=$(cpu_ticks "$pid")
    [ -n "$server" ] && s0=$(cpu_ticks "$server")
    x0=$(cpu_ticks "$xvfb")
    sleep "$(awk -v ms="$live_ms" 'BEGIN {print ms / 1000}')"
    t1=$(date +%s%N)
    # Read while the process still exists: an ended one has no stat.
    if c1=$(cpu_ticks "$pid" 2>/dev/null); then
      ok=1
      [ -n "$server" ] && s1=$(cpu_ticks "$server")
      x1=$(cpu_ticks "$xvfb")
    fi
  fi

  # The counter's own text on screen, for comparing with the count by eye.
  if [ $ok = 1 ] && [ "$case" = counter ] && [ "$run" = 1 ]; then
    shot_ns=$(date +%s%N)
    DISPLAY=$display import -window root "$out/live-counter.png"
    convert "$out/live-counter.png" -crop 240x36+0+0 +repage "$out/live-counter-text.png"
    shot_log=$log
  fi
  # And the eyes the moving mouse keeps up.
  if [ $ok = 1 ] && [ "$case" = mouse ] && [ "$run" = 1 ]; then
    DISPLAY=$display import -window root "$out/live-mouse.png"
  fi
  [ -n "$mover_pid" ] && { kill "$mover_pid" 2>/dev/null; wait "$mover_pid" 2>/dev/null || true; mover_pid=; }

  DISPLAY=$display xdotool key Escape
  local status=0 waited=0
  while kill -0 "$launcher" 2>/dev/null && [ $waited -lt 100 ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  if kill -0 "$launcher" 2>/dev/null; then
    echo "!! $case run $run: Glimmerwatch.scr /s did not end on Escape; killed" >&2
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    kill "$launcher" 2>/dev/null
  fi
  wait "$launcher" || status=$?
  stop_counter
  sample "$screen" "live_${case}_exit_code" "$run" "$status"
  [ $ok = 1 ] || { echo "!! $case run $run: not measured" >&2; return 1; }

  local wall=$((t1 - t0))
  sample "$screen" "live_${case}_cpu" "$run" "$(cpu_percent $((c1 - c0)) "$hz" $wall)"
  [ -n "$server" ] && sample "$screen" "live_${case}_wineserver_cpu" "$run" "$(cpu_percent $((s1 - s0)) "$hz" $wall)"
  sample "$screen" "live_${case}_xvfb_cpu" "$run" "$(cpu_percent $((x1 - x0)) "$hz" $wall)"
  local frames presented
  frames=$(frames_between "$log" "$t0" "$t1")
  if [ -n "$frames" ]; then
    sample "$screen" "live_${case}_fps" "$run" "$(awk -v n="$frames" -v ns=$wall 'BEGIN {printf "%.3f", n * 1e9 / ns}')"
    # From a second after the window appeared (past the damage of its
    # mapping, well before the hold-back ends) to the interval's end.
    presented=$(frames_between "$log" $((shown + 1000000000)) "$t1")
    sample "$screen" "live_${case}_frames_presented" "$run" "$presented"
  fi
}

measure_live() {
  local screen=$1 i case shown_time="" shown_fps=""
  shot_ns=
  shot_log=
  for i in $(seq "$runs"); do
    # Cases interleaved, so drift in the machine's load spreads over all.
    for case in "${live_cases[@]}"; do
      echo "== Glimmerwatch.scr /s, $case, run $i of $runs ($((live_settle_ms / 1000)) s settle, $((live_ms / 1000)) s measured)"
      if [ "$shown_time" != "${live_time[$case]}" ] || [ "$shown_fps" != "${live_fps[$case]}" ]; then
        set_switches "${live_time[$case]}" "${live_fps[$case]}"
      fi
      shown_time=${live_time[$case]}
      shown_fps=${live_fps[$case]}
      live_run "$case" "$i" "$screen" || true
    done
  done
  set_switches 1 1
}

gl_version=""
gl_renderer=""
machine_load_before=$(cut -d' ' -f1-3 /proc/loadavg)
# Screens with every row; start-up screens have row 2 only.
screens=(1024x768)
[ "$large" = 1 ] && screens+=("$large_size")
startup_screens=(1024x768 "$startup_size")
[ "$large" = 1 ] && startup_screens+=("$large_size")
shot_ns=
shot_log=
for screen in "${startup_screens[@]}"; do
  if [ "$screen" = 1024x768 ]; then
    measure_screen "$screen" "s${screen}"
    measure_preview "$screen" || echo "!! the idle preview row is incomplete" >&2
    measure_live "$screen"
  elif [ "$screen" = "$large_size" ] && [ "$large" = 1 ]; then
    measure_screen "$screen" "s${screen}"
  else
    measure_screen "$screen" "s${screen}" startup
  fi
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
done
machine_load_after=$(cut -d' ' -f1-3 /proc/loadavg)

size32=$(stat -c %s "$build32/Glimmerwatch.scr")
size64=$(stat -c %s "$build64/Glimmerwatch.scr")
sample - scr_bytes_win32 1 "$size32"
sample - scr_bytes_win64 1 "$size64"

# --- The table ---------------------------------------------------------------------
# median min max count of one metric's samples
summary() {
  awk -F, -v s="$1" -v m="$2" '$1 == s && $2 == m && $4 != "" {print $4}' "$samples" | sort -g |
    awk '{v[NR] = $1} END {
      if (NR == 0) { print "- - - 0"; exit }
      med = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      printf "%s %s %s %d\n", med, v[1], v[NR], NR }'
}

csv=$out/results.csv
md=$out/results.md
echo "row,measure,screen,unit,median,min,max,runs,target,verdict" >"$csv"
table_lines=()
# row measure screen metric unit format scale target-op target-value target-text
# Target ops on the median: le, lt, ge, eq, and in with "low:high" (both
# ends included).
add_row() {
  local row=$1 measure=$2 screen=$3 metric=$4 unit=$5 fmt=$6 scale=$7 op=${8:-} limit=${9:-} text=${10:-}
  local med min max n
  read -r med min max n < <(summary "$screen" "$metric")
  local m lo hi verdict="-"
  if [ "$n" -eq 0 ]; then
    m="n/a"; lo="n/a"; hi="n/a"; verdict="not measured"
  else
    m=$(awk -v v="$med" -v k="$scale" -v f="$fmt" 'BEGIN {printf f, v * k}')
    lo=$(awk -v v="$min" -v k="$scale" -v f="$fmt" 'BEGIN {printf f, v * k}')
    hi=$(awk -v v="$max" -v k="$scale" -v f="$fmt" 'BEGIN {printf f, v * k}')
    if [ -n "$op" ]; then
      if awk -v v="$med" -v k="$scale" -v l="$limit" -v o="$op" \
        'BEGIN {x = v * k; split(l, r, ":")
          exit !((o == "le" && x <= l) || (o == "lt" && x < l) || (o == "ge" && x >= l) ||
                 (o == "eq" && x == l) || (o == "in" && x >= r[1] && x <= r[2]))}'; then
        verdict="met"
      else
        verdict="MISSED"
      fi
    fi
  fi
  local spread="$lo–$hi"
  [ "$n" -le 1 ] && spread="-"
  local shown_screen=$screen
  [ "$screen" = - ] && shown_screen="-"
  echo "$row,\"$measure\",$shown_screen,$unit,$m,$lo,$hi,$n,\"$text\",$verdict" >>"$csv"
  table_lines+=("| $row | $measure | $shown_screen | $m $unit | $spread | $n | ${text:--} | $verdict |")
}

for screen in "${screens[@]}"; do
  add_row 1 "Saver frame (clock, counter, eyes)" "$screen" saver_fps fps %.1f 1
  add_row 1 "Floor frame (desktop quad + swap)" "$screen" floor_fps fps %.1f 1
  add_row 1 "**Frame cost ratio saver/floor**" "$screen" frame_ratio "" %.3f 1 ge 0.9 "≥ 0.90"
  add_row 1 "· saver parts: backdrop + swap" "$screen" saver_part_backdrop_fps fps %.1f 1
  add_row 1 "· saver parts: + clock" "$screen" saver_part_plus_clock_fps fps %.1f 1
  add_row 1 "· saver parts: + counter" "$screen" saver_part_plus_counter_fps fps %.1f 1
  add_row 1 "· saver parts: + eyes" "$screen" saver_part_plus_eyes_fps fps %.1f 1
  add_row 1 "· frame counter check: counted / bench program's own frames" "$screen" counter_check_saver "" %.3f 1 in 0.98:1.02 "0.98–1.02"
  add_row 1 "· frame counter check: counted / floor program's own frames" "$screen" counter_check_floor "" %.3f 1 in 0.98:1.02 "0.98–1.02"
done
for screen in "${startup_screens[@]}"; do
  add_row 2 "Settings read" "$screen" saver_stage_settings_ms ms %.1f 1
  add_row 2 "Mode switch" "$screen" saver_stage_mode_switch_ms ms %.1f 1
  add_row 2 "Window creation" "$screen" saver_stage_window_ms ms %.1f 1
  add_row 2 "GL set-up with fonts" "$screen" saver_stage_gl_fonts_ms ms %.1f 1
  add_row 2 "Eye texture" "$screen" saver_stage_eye_texture_ms ms %.1f 1
  add_row 2 "Desktop snapshot" "$screen" saver_stage_snapshot_ms ms %.1f 1
  add_row 2 "· floor: desktop copy, one level" "$screen" floor_stage_snapshot_ms ms %.1f 1
  add_row 2 "· snapshot / floor's one-level copy" "$screen" snapshot_over_floor_copy "" %.2f 1
  add_row 2 "Display list" "$screen" saver_stage_display_list_ms ms %.1f 1
  add_row 2 "First frame" "$screen" saver_stage_first_frame_ms ms %.1f 1
  if [ "$screen" = 1024x768 ]; then
    add_row 2 "**Start-up total**" "$screen" saver_startup_total_ms ms %.1f 1 le 150 "≤ 150 ms"
  else
    add_row 2 "**Start-up total**" "$screen" saver_startup_total_ms ms %.1f 1
  fi
  add_row 2 "· one overlay's glyph lists (in GL set-up, built twice)" "$screen" saver_font_lists_one_overlay_ms ms %.1f 1
  add_row 2 "· Wine process start to WinMain (not in total)" "$screen" saver_process_start_to_main_ms ms %.1f 1
  add_row 2 "· floor: window" "$screen" floor_stage_window_ms ms %.1f 1
  add_row 2 "· floor: GL context" "$screen" floor_stage_gl_ms ms %.1f 1
  add_row 2 "· floor: first frame" "$screen" floor_stage_first_frame_ms ms %.1f 1
  add_row 2 "· floor: start-up total" "$screen" floor_startup_total_ms ms %.1f 1
done
add_row 3 "**Idle preview CPU, /proc utime+stime**" "${screens[0]}" preview_cpu_percent_proc "% of a core" %.2f 1 lt 1 "< 1 %"
add_row 3 "Idle preview CPU, GetProcessTimes" "${screens[0]}" preview_cpu_percent_getprocesstimes "% of a core" %.2f 1 lt 1 "< 1 %"
add_row 3 "· wineserver CPU in the same interval" "${screens[0]}" preview_wineserver_cpu_percent "% of a core" %.2f 1
add_row 4 "**Glimmerwatch.scr, 32-bit**" - scr_bytes_win32 bytes %.0f 1 le 307200 "≤ 300 KiB (307200)"
add_row 4 "Glimmerwatch.scr, 64-bit" - scr_bytes_win64 bytes %.0f 1
for screen in "${screens[@]}"; do
  add_row 5 "Peak RSS, Glimmerwatch.scr /s" "$screen" scr_peak_kb MiB %.1f 0.0009765625
  add_row 5 "Peak RSS, floor program" "$screen" glimmer_floor_peak_kb MiB %.1f 0.0009765625
  add_row 5 "· peak RSS, bench program (saver code + measuring)" "$screen" glimmer_bench_peak_kb MiB %.1f 0.0009765625
done
live=${screens[0]}
add_row 6 "**(a) nothing shown, no input: .scr CPU**" "$live" live_idle_cpu "% of a core" %.2f 1 le 1 "≤ 1 %"
add_row 6 "**(a) presented frames**" "$live" live_idle_fps "/s" %.2f 1 eq 0 "0 (none after the first)"
add_row 6 "· (a) frames presented, first one included" "$live" live_idle_frames_presented "" %.0f 1 eq 1 "1"
add_row 6 "· (a) wineserver CPU" "$live" live_idle_wineserver_cpu "% of a core" %.2f 1
add_row 6 "· (a) Xvfb CPU" "$live" live_idle_xvfb_cpu "% of a core" %.2f 1
add_row 6 "**(b) clock only: .scr CPU**" "$live" live_clock_cpu "% of a core" %.2f 1 le 3 "≤ 3 %"
add_row 6 "**(b) presented frames**" "$live" live_clock_fps "/s" %.2f 1 in 0.9:1.1 "1 /s"
add_row 6 "· (b) wineserver CPU" "$live" live_clock_wineserver_cpu "% of a core" %.2f 1
add_row 6 "· (b) Xvfb CPU" "$live" live_clock_xvfb_cpu "% of a core" %.2f 1
add_row 6 "(c) FPS counter on: .scr CPU" "$live" live_counter_cpu "% of a core" %.2f 1
add_row 6 "**(c) presented frames**" "$live" live_counter_fps "/s" %.1f 1 in 58:62 "58–62 /s"
add_row 6 "· (c) wineserver CPU" "$live" live_counter_wineserver_cpu "% of a core" %.2f 1
add_row 6 "· (c) Xvfb CPU" "$live" live_counter_xvfb_cpu "% of a core" %.2f 1
add_row 6 "(d) mouse moving all the time: .scr CPU" "$live" live_mouse_cpu "% of a core" %.2f 1
add_row 6 "**(d) presented frames**" "$live" live_mouse_fps "/s" %.1f 1 in 58:62 "58–62 /s"
add_row 6 "· (d) wineserver CPU" "$live" live_mouse_wineserver_cpu "% of a core" %.2f 1
add_row 6 "· (d) Xvfb CPU" "$live" live_mouse_xvfb_cpu "% of a core" %.2f 1

# What the counter counted in each of the two seconds before the screenshot
# of case (c): the counter drawn on screen shows one of the periods that
# ended within them, so its figure should lie near these.
shot_note=""
if [ -n "$shot_ns" ] && [ -n "$shot_log" ]; then
  last=$(frames_between "$shot_log" $((shot_ns - 1000000000)) "$shot_ns")
  before=$(frames_between "$shot_log" $((shot_ns - 2000000000)) $((shot_ns - 1000000000)))
  shot_note="On-screen counter check, case (c) run 1: the frame counter counted $before and then $last frames in the two seconds before the screenshot; the counter the saver draws is in $out/live-counter-text.png (whole screen: live-counter.png)."
fi

cpu_model=$(awk -F': ' '/^model name/ {print $2; exit}' /proc/cpuinfo)
{
  echo "Glimmerwatch bench, $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git rev-parse --short HEAD 2>/dev/null || echo '?') plus working tree"
  echo
  echo "- Machine: $cpu_model, $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo), $(uname -sr)"
  echo "- Load average (1/5/15 min) before: $machine_load_before; after: $machine_load_after"
  echo "- Wine: $(wine --version 2>/dev/null) (wine64 only); Xvfb 24-bit, screens: ${startup_screens[*]}"
  echo "- OpenGL: $gl_version (GL_VERSION through Wine's WGL; it names the Mesa release); renderer: $gl_renderer"
  echo "- Runs per figure: $runs; frames: ${warm_ms} ms warm-up then ${frame_ms} ms counted per run, parts ${part_ms} ms each; idle preview: ${settle_ms} ms settle then ${idle_ms} ms; start-up also at ${startup_size}"
  echo "- Row 6: Glimmerwatch.scr /s at ${live}, ${live_settle_ms} ms after its window appears, then ${live_ms} ms measured; CPU from /proc/<pid>/stat utime+stime; presented frames counted from the display's damage (bench/frame_counter.c)"
  echo
  echo "| Row | Measure | Screen | Median | Spread (min–max) | Runs | Target | Verdict |"
  echo "|---|---|---|---|---|---|---|---|"
  printf '%s\n' "${table_lines[@]}"
  if [ -n "$shot_note" ]; then
    echo
    echo "$shot_note"
  fi
} >"$md"
echo
cat "$md"
echo
echo "== Table: $md; CSV: $csv; every sample: $samples; screenshots of the .scr: $out/scr-*.png, $out/live-*.png"
