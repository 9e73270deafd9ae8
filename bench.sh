#!/usr/bin/env bash
# Measures Glimmerwatch under Wine on private virtual displays and prints one
# table, made by bench/report.sh from the samples (also build/bench/results.csv
# and results.md; every sample is in build/bench/samples.csv):
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
# The start-up and frame-cost targets are ratios to the floor program
# measured in the same run (start-up at most 1.10 times the floor's at every
# screen size, frames at least 0.90 times the floor's rate), so they judge
# the saver the same way on any machine. The table, headed by the commit and
# the machine (processor, cores, Wine, Mesa), is written to
# build/bench/results.md, and to bench/RESULTS.md when the working tree holds
# nothing but the commit.
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
# GLIMMER_BENCH_STARTUP_PAIRS (start-up pairs per run, default 3),
# GLIMMER_BENCH_FRAME_MS (measured frame time per run, default 5000),
# GLIMMER_BENCH_IDLE_MS (idle preview window, default 10000),
# GLIMMER_BENCH_LIVE_SETTLE_MS and GLIMMER_BENCH_LIVE_MS (row 6: time from
# the saver's window to the measured interval, default 5000, and the
# interval, default 10000), GLIMMER_BENCH_SKIP_DEPS=1 (no package check).
#
# The measuring programs (bench/) link the same objects as the .scr; the
# product itself carries no timing code. The bench-win64 preset builds them
# (build/bench-win64), the win32 preset the 32-bit .scr (build/win32). The
# displays, prefixes and the desktop picture come from scripts/.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
invocation="./bench.sh${*:+ $*}"
started=$(date +%s)
# The figures belong to a commit only when the working tree holds nothing
# else (bench/RESULTS.md, which a run writes, aside): only then does the run
# write bench/RESULTS.md.
commit=$(git rev-parse --short HEAD 2>/dev/null || echo '?')
changed_files=$(git status --porcelain -- . ':!bench/RESULTS.md' 2>/dev/null | wc -l) || changed_files=1

runs=${GLIMMER_BENCH_RUNS:-5}
startup_pairs=${GLIMMER_BENCH_STARTUP_PAIRS:-3}
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
    -h|--help) sed -n '2,42p' "$0"; exit 0 ;;
    *) echo "Unknown argument: $1 (see --help)" >&2; exit 2 ;;
  esac
  shift
done

# --- Builds, displays, prefixes --------------------------------------------------
# On a machine set up once and shared, GLIMMER_BENCH_SKIP_DEPS=1 leaves the
# package check to whoever set it up.
[ "${GLIMMER_BENCH_SKIP_DEPS:-0}" = 1 ] || scripts/install_deps.sh
out=$root/build/bench
mkdir -p "$out"
build() {
  { cmake --preset "$1" && cmake --build --preset "$1" -j "$(nproc)" "${@:2}"; } >"$out/build-$1.log" 2>&1 ||
    { tail -n 30 "$out/build-$1.log" >&2; exit 1; }
}
echo "== Building (64-bit with the measuring programs, and the 32-bit .scr)"
build bench-win64
build win32 --target Glimmerwatch
build64=$root/build/bench-win64
build32=$root/build/win32

# The frame counter is a native X program. Without the Damage headers
# (libxdamage-dev) the rows that need it say "not measured".
counter=$root/build/bench-native/frame_counter
mkdir -p "$(dirname "$counter")"
have_counter=1
cc -std=c99 -O2 -Wall -Wextra -Werror bench/frame_counter.c -o "$counter" -lXdamage -lX11 \
  >"$out/build-native.log" 2>&1 || {
  have_counter=0
  echo "!! bench/frame_counter.c did not build (needs libxdamage-dev); see $out/build-native.log." >&2
  echo "!! Presented frames are not counted in this run." >&2
}

work=$(mktemp -d /tmp/glimmerwatch-bench.XXXXXX)
source scripts/private_display.sh
source scripts/first_settings.sh
source scripts/desktop_picture.sh
export WINEDEBUG=-all

# --- Samples and processes ---------------------------------------------------------
samples=$out/samples.csv
csv_out=$out/results.csv
echo "screen,metric,run,value" >"$samples"
sample() { echo "$1,$2,$3,$4" >>"$samples"; }
# key=value from a result file; empty when absent.
value_of() { sed -n "s/^$2=//p" "$1" 2>/dev/null | tr -d '\r' | head -n1; }
# A / B to four places; nothing when either is missing or B is 0.
ratio() { [ -n "$1" ] && [ -n "$2" ] && awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.4f", a / b}'; }
# Wine takes Windows paths for the programs' own file arguments.
winpath() { local p=$1; echo "Z:${p//\//\\}"; }

# Peak resident memory (VmHWM, kB) of a running process, polled until it
# ends; VmHWM only grows, so the last reading is the peak. A process that
# has ended but not been waited for has no VmHWM line.
watch_peak() {
  local peak=0 value
  while value=$(awk '/^VmHWM:/ {print $2}' "/proc/$1/status" 2>/dev/null) && [ -n "$value" ]; do
    peak=$value
    sleep 0.1
  done
  echo "$peak"
}

# utime + stime of a process in clock ticks (all its threads, ended ones too).
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# Sleeps $1 ms, reading the CPU time of the processes named after it (an
# empty name is skipped) before and after. Sets `interval` (start and end,
# ns since 1970) and `percent` (of a core, per process; empty for one
# skipped or gone). Fails when the first process has gone by the end.
cpu_over() {
  local ms=$1 i hz before=() after=()
  shift
  hz=$(getconf CLK_TCK)
  interval=("$(date +%s%N)")
  for i in "$@"; do before+=("$( [ -n "$i" ] && cpu_ticks "$i" 2>/dev/null || true)"); done
  sleep "$(awk -v ms="$ms" 'BEGIN {print ms / 1000}')"
  interval+=("$(date +%s%N)")
  for i in "$@"; do after+=("$( [ -n "$i" ] && cpu_ticks "$i" 2>/dev/null || true)"); done
  percent=()
  for i in "${!before[@]}"; do
    percent+=("$( [ -n "${before[$i]}" ] && [ -n "${after[$i]}" ] &&
      awk -v c=$((after[i] - before[i])) -v hz="$hz" -v ns=$((interval[1] - interval[0])) \
        'BEGIN {printf "%.3f", 100 * c / hz * 1e9 / ns}' || true)")
  done
  [ -n "${after[0]}" ]
}

# The Linux process of this prefix's Windows process whose command line
# contains the program name and then the rest of the pattern (Wine may keep
# the arguments NUL-separated).
find_wine_process() {
  local program=$1 rest=${2:-} file dir
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

# --- Presented frames, counted from outside ------------------------------------
# Starts bench/frame_counter on the display, logging to $1, and waits until
# its damage object is in place (its first line); sets counter_pid, empty
# when there is no counter or it did not start.
counter_pid=
start_counter() {
  counter_pid=
  [ "$have_counter" = 1 ] || return 1
  rm -f "$1"
  DISPLAY=$display "$counter" "$1" 2>>"$work/counter-errors.log" &
  counter_pid=$!
  for _ in $(seq 50); do
    [ -s "$1" ] && return 0
    sleep 0.1
  done
  echo "!! the frame counter did not start (see $work/counter-errors.log)" >&2
  stop_counter
  return 1
}

# Ends the counter, which then writes its log.
stop_counter() {
  [ -z "$counter_pid" ] || { kill -TERM "$counter_pid" 2>/dev/null; wait "$counter_pid" 2>/dev/null || true; }
  counter_pid=
}

# Presented frames in a counter log whose receive time lies in [from, to]
# (ns since 1970); empty when either end is missing or the log did not end
# properly.
frames_between() {
  [ -n "$2" ] && [ -n "$3" ] && grep -qx end "$1" 2>/dev/null || return 0
  awk -v a="$2" -v b="$3" '$1 == "f" && $2 >= a && $2 <= b {n++} END {print n + 0}' "$1"
}

# One run of a measuring program: its result file, and its peak memory as a
# sample. Given a metric, with the frame counter watching, and the
# counter's frames over the program's measured interval against its own
# count (1 = the same) as that metric's sample. Fails when the program
# reports no result.
run_program() {
  local screen=$1 program=$2 run=$3 result=$4 metric=$5 log=$4.frames status=0 pid peak
  shift 5
  rm -f "$result"
  [ -z "$metric" ] || start_counter "$log" || true
  DISPLAY=$display WINEPREFIX=$prefix "$wine64_loader" "$build64/$program" "$(winpath "$result")" "$@" \
    >>"$work/wine-output.log" 2>&1 &
  pid=$!
  peak=$(watch_peak $pid)
  wait $pid || status=$?
  stop_counter
  if [ "$(value_of "$result" done)" != 1 ]; then
    echo "!! $program run $run failed (exit $status): $(value_of "$result" failed)" >&2
    return 1
  fi
  [ "${keep_peak:-1}" = 0 ] || sample "$screen" "${program%.exe}_peak_kb" "$run" "$peak"
  [ -n "$metric" ] && sample "$screen" "$metric" "$run" "$(ratio "$(frames_between "$log" \
    "$(value_of "$result" measure_start_unix_ns)" "$(value_of "$result" measure_end_unix_ns)")" \
    "$(value_of "$result" frames)")"
  return 0
}

# --- The real .scr /s ------------------------------------------------------------
# Starts it and waits for its window; sets scr_launcher, scr_pid (its Linux
# process, found by command line and prefix: other checkouts on the machine
# may run their own .scr meanwhile; empty when not found) and shown (ns).
start_scr() {
  local found=0
  DISPLAY=$display WINEPREFIX=$prefix "$wine64_loader" "$build64/Glimmerwatch.scr" /s >>"$work/wine-output.log" 2>&1 &
  scr_launcher=$!
  scr_pid=
  for _ in $(seq 300); do
    DISPLAY=$display xdotool search --name '^Glimmerwatch$' >/dev/null 2>&1 && { found=1; break; }
    sleep 0.1
  done
  shown=$(date +%s%N)
  for _ in $(seq 50); do
    scr_pid=$(find_wine_process Glimmerwatch.scr /s) && break
    sleep 0.1
  done
  [ $found = 1 ] && [ -n "$scr_pid" ] || echo "!! no saver window or process" >&2
}

# Escape, and at most 10 s for the saver to end before it is killed; sets
# scr_status to its exit code.
end_scr() {
  DISPLAY=$display xdotool key Escape
  for _ in $(seq 100); do
    kill -0 "$scr_launcher" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$scr_launcher" 2>/dev/null; then
    echo "!! Glimmerwatch.scr /s did not end on Escape; killed" >&2
    kill ${scr_pid:+"$scr_pid"} "$scr_launcher" 2>/dev/null
  fi
  scr_status=0
  wait "$scr_launcher" || scr_status=$?
}

# --- Rows 1, 2, 5 on one screen --------------------------------------------------
# One pair of runs on a screen, the bench program's and the floor's, the
# one named fourth first, with the timing that follows the fifth argument;
# records their figures under the run's name (third). With 0 as the fifth
# argument, a start-up pair: no frame counter, and no peak memory, which
# would not be that of a running saver.
measure_pair() {
  local screen=$1 name=$2 run=$3 first=$4 full=$5 key order=(bench floor) metric
  shift 5
  local bench=$work/bench-$name-$run.txt floor=$work/floor-$name-$run.txt
  [ "$first" = floor ] && order=(floor bench)
  for key in "${order[@]}"; do
    metric=
    [ "$full" = 1 ] && metric=counter_check_${key/bench/saver}
    keep_peak=$full run_program "$screen" "glimmer_$key.exe" "$run" "$work/$key-$name-$run.txt" \
      "$metric" "$@" || true
  done
  touch "$bench" "$floor"
  for key in fps stage_settings_ms stage_mode_switch_ms stage_desktop_copy_ms stage_window_ms \
    stage_gl_fonts_ms stage_eye_texture_ms stage_snapshot_ms stage_display_list_ms stage_first_frame_ms \
    startup_total_ms process_start_to_main_ms font_lists_one_overlay_ms part_backdrop_fps \
    part_plus_clock_fps part_plus_counter_fps part_plus_eyes_fps; do
    sample "$screen" "saver_$key" "$run" "$(value_of "$bench" $key)"
  done
  for key in fps startup_total_ms stage_window_ms stage_gl_ms stage_snapshot_ms stage_first_frame_ms; do
    sample "$screen" "floor_$key" "$run" "$(value_of "$floor" $key)"
  done
  # The targets are these ratios, each taken within one pair of runs, so
  # both programs meet the same machine and the same load.
  sample "$screen" frame_ratio "$run" "$(ratio "$(value_of "$bench" fps)" "$(value_of "$floor" fps)")"
  sample "$screen" startup_ratio "$run" \
    "$(ratio "$(value_of "$bench" startup_total_ms)" "$(value_of "$floor" startup_total_ms)")"
  # The saver's snapshot (the copy it takes before its window exists,
  # then the upload) against the floor's bare one-level copy of the same
  # screen.
  local saver_snapshot
  saver_snapshot=$(awk -v a="$(value_of "$bench" stage_desktop_copy_ms)" \
    -v b="$(value_of "$bench" stage_snapshot_ms)" 'BEGIN { print a + b }')
  sample "$screen" snapshot_over_floor_copy "$run" \
    "$(ratio "$saver_snapshot" "$(value_of "$floor" stage_snapshot_ms)")"
}

# With `startup` as the second argument, only the start-up stages (row 2).
measure_screen() {
  local screen=$1 name=s$1 scope=${2:-all} i key
  echo "== $screen: display and Wine prefix"
  start_display "${screen}x24"
  prefix=$work/prefix-$name
  make_prefix "$prefix" 'Show Time=1' 'Show FPS=1' || exit 1
  show_desktop_picture "$work/desktop-$name.png" || exit 1

  # One discarded run of each: the first start in a new prefix pays for
  # Wine's own one-time work.
  run_program "$screen" glimmer_bench.exe 0 "$work/warm-bench.txt" "" 200 200 >/dev/null || true
  run_program "$screen" glimmer_floor.exe 0 "$work/warm-floor.txt" "" 200 200 >/dev/null || true
  sed -i "/^$screen,[^,]*,0,/d" "$samples"

  local timing=("$warm_ms" "$frame_ms" "$part_ms") what="frame cost and start-up" order k
  [ "$scope" = startup ] && timing=(0 0) what="start-up"
  for i in $(seq "$runs"); do
    echo "== $screen: $what, run $i of $runs (and $((startup_pairs - 1)) more start-up pairs)"
    # Alternating the order spreads any drift in the machine's load evenly.
    order=bench
    [ $((i % 2)) -eq 0 ] && order=floor
    measure_pair "$screen" "$name" "$i" "$order" 1 "${timing[@]}"
    # Start-ups are short and the load of a shared machine swings within
    # seconds, so each run takes more pairs of them than of the rest.
    for k in $(seq 2 "$startup_pairs"); do
      [ "$order" = bench ] && order=floor || order=bench
      measure_pair "$screen" "$name" "$i.$k" "$order" 0 0 0
    done
  done
  [ "$scope" = startup ] && return 0
  gl_version=$(value_of "$work/bench-$name-1.txt" gl_version || true)
  gl_renderer=$(value_of "$work/bench-$name-1.txt" gl_renderer)

  # The real saver, full-screen, for its peak memory: past the 3 s hold-back,
  # so frames are being presented, a few mouse moves for the eyes, Escape.
  for i in $(seq "$runs"); do
    echo "== $screen: Glimmerwatch.scr /s, run $i of $runs"
    start_scr
    watch_peak "$scr_launcher" >"$work/peak-scr" &
    local watcher=$! x
    sleep 4
    for x in 300 420 540 660; do
      DISPLAY=$display xdotool mousemove $x 400
      sleep 0.1
    done
    [ "$i" -eq 1 ] && DISPLAY=$display import -window root "$out/scr-$name.png"
    sleep 0.5
    end_scr
    wait $watcher || true
    [ $scr_status -eq 0 ] || echo "!! Glimmerwatch.scr /s exited with $scr_status" >&2
    sample "$screen" scr_peak_kb "$i" "$(cat "$work/peak-scr")"
    sample "$screen" scr_exit_code "$i" "$scr_status"
  done
}

# --- Row 3: the idle preview ---------------------------------------------------
measure_preview() {
  local screen=$1 i pid result
  for i in $(seq "$runs"); do
    echo "== Idle preview, run $i of $runs ($((idle_ms / 1000)) s)"
    result=$work/preview-$i.txt
    rm -f "$result" "$result.ready" "$result.release"
    DISPLAY=$display WINEPREFIX=$prefix "$wine64_loader" "$build64/glimmer_preview_host.exe" \
      "$(winpath "$build64/Glimmerwatch.scr")" "$(winpath "$result")" $settle_ms "$idle_ms" \
      >>"$work/wine-output.log" 2>&1 &
    local host=$!
    for _ in $(seq 300); do
      [ -s "$result.ready" ] && break
      sleep 0.1
    done
    pid=$(find_wine_process Glimmerwatch.scr /p) || {
      echo "!! no preview process found" >&2
      wait $host || true
      return 1
    }
    cpu_over "$idle_ms" "$pid" "$(find_wine_process wineserver || true)" || true
    touch "$result.release"
    wait $host || true
    if [ "$(value_of "$result" done)" != 1 ] || [ "$(value_of "$result" preview_window_found)" != 1.000 ]; then
      echo "!! preview run $i: $(value_of "$result" failed) window=$(value_of "$result" preview_window_found)" >&2
      return 1
    fi
    sample "$screen" preview_cpu_percent_proc "$i" "${percent[0]}"
    sample "$screen" preview_cpu_percent_getprocesstimes "$i" "$(awk -v c="$(value_of "$result" cpu_ms_get_process_times)" \
      -v ms="$(value_of "$result" measured_ms)" 'BEGIN {if (c != "" && ms > 0) printf "%.3f", 100 * c / ms}')"
    [ -n "${percent[1]}" ] && sample "$screen" preview_wineserver_cpu_percent "$i" "${percent[1]}"
    sample "$screen" preview_exit_code "$i" "$(value_of "$result" preview_exit_code)"
  done
}

# --- Row 6: the real .scr /s running --------------------------------------------
# Each case: its name, the stored Show Time and Show FPS switches, and
# whether the mouse moves all the time.
live_cases=(idle:0:0:0 clock:1:0:0 counter:0:1:0 mouse:0:0:1)

# Writes the first settings with the clock's and the counter's switches given.
set_switches() {
  DISPLAY=$display WINEPREFIX=$prefix write_first_settings "Show Time=$1" "Show FPS=$2" >/dev/null
}

# Moves the pointer round an ellipse about the screen's centre, a step every
# 10 ms for $1 seconds, in one xdotool process; sets mover_pid.
mover_pid=
start_mouse_mover() {
  local w h
  read -r w h < <(DISPLAY=$display xdpyinfo | awk '/dimensions:/ {split($2, d, "x"); print d[1], d[2]}')
  # The word splitting is the point: one argument per word.
  # shellcheck disable=SC2046
  DISPLAY=$display xdotool $(awk -v n=$(($1 * 100)) -v w="$w" -v h="$h" 'BEGIN {
    for (i = 0; i < n; i++)
      printf "mousemove %d %d sleep 0.01 ", w / 2 + w / 4 * cos(i / 10), h / 2 + h / 4 * sin(i / 10) }') \
    >/dev/null 2>&1 &
  mover_pid=$!
}

# One run of Glimmerwatch.scr /s in one case (the mouse moving when the
# fourth argument is 1): the window up, then the settle time, then CPU time
# and presented frames over the measured interval, then Escape.
live_run() {
  local case=$1 run=$2 screen=$3 log=$work/live-$1-$2.frames ok=0 left
  start_counter "$log" || true
  start_scr
  [ "$4" = 0 ] || start_mouse_mover $(((live_settle_ms + live_ms) / 1000 + 5))
  left=$((shown + live_settle_ms * 1000000 - $(date +%s%N)))
  [ $left -le 0 ] || sleep "$(awk -v ns=$left 'BEGIN {printf "%.3f", ns / 1e9}')"
  [ -n "$scr_pid" ] && cpu_over "$live_ms" "$scr_pid" "$(find_wine_process wineserver || true)" \
    "${private_display_pids[-1]}" && ok=1
  # The counter's own text on screen, for comparing with the count by eye,
  # and the eyes the moving mouse keeps up.
  if [ $ok = 1 ] && [ "$run" = 1 ] && [ "$case" = counter ]; then
    shot_ns=$(date +%s%N)
    shot_log=$log
    DISPLAY=$display import -window root "$out/live-counter.png"
    convert "$out/live-counter.png" -crop 240x36+0+0 +repage "$out/live-counter-text.png"
  fi
  [ $ok = 1 ] && [ "$run" = 1 ] && [ "$case" = mouse ] && DISPLAY=$display import -window root "$out/live-mouse.png"
  [ -z "$mover_pid" ] || { kill "$mover_pid" 2>/dev/null; wait "$mover_pid" 2>/dev/null || true; mover_pid=; }
  end_scr
  stop_counter
  sample "$screen" "live_${case}_exit_code" "$run" "$scr_status"
  [ $ok = 1 ] || { echo "!! $case run $run: not measured" >&2; return 1; }

  sample "$screen" "live_${case}_cpu" "$run" "${percent[0]}"
  [ -z "${percent[1]}" ] || sample "$screen" "live_${case}_wineserver_cpu" "$run" "${percent[1]}"
  sample "$screen" "live_${case}_xvfb_cpu" "$run" "${percent[2]}"
  local frames
  frames=$(frames_between "$log" "${interval[@]}")
  [ -n "$frames" ] || return 0
  sample "$screen" "live_${case}_fps" "$run" \
    "$(awk -v n="$frames" -v ns=$((interval[1] - interval[0])) 'BEGIN {printf "%.3f", n * 1e9 / ns}')"
  # From a second after the window appeared (past the damage of its
  # mapping, well before the hold-back ends) to the interval's end.
  sample "$screen" "live_${case}_frames_presented" "$run" \
    "$(frames_between "$log" $((shown + 1000000000)) "${interval[1]}")"
}

measure_live() {
  local screen=$1 i entry case time fps moves switches=
  for i in $(seq "$runs"); do
    # Cases interleaved, so drift in the machine's load spreads over all.
    for entry in "${live_cases[@]}"; do
      IFS=: read -r case time fps moves <<<"$entry"
      echo "== Glimmerwatch.scr /s, $case, run $i of $runs ($((live_settle_ms / 1000)) s settle, $((live_ms / 1000)) s measured)"
      [ "$switches" = "$time$fps" ] || set_switches "$time" "$fps"
      switches=$time$fps
      live_run "$case" "$i" "$screen" "$moves" || true
    done
  done
  set_switches 1 1
}

gl_version=""
gl_renderer=""
shot_ns=
shot_log=
machine_load_before=$(cut -d' ' -f1-3 /proc/loadavg)
# Screens with every row; start-up screens have row 2 only.
screens=(1024x768)
[ "$large" = 1 ] && screens+=("$large_size")
startup_screens=(1024x768 "$startup_size")
[ "$large" = 1 ] && startup_screens+=("$large_size")
for screen in "${startup_screens[@]}"; do
  if [ "$screen" = 1024x768 ]; then
    measure_screen "$screen"
    measure_preview "$screen" || echo "!! the idle preview row is incomplete" >&2
    measure_live "$screen"
  elif [ "$screen" = "$large_size" ] && [ "$large" = 1 ]; then
    measure_screen "$screen"
  else
    measure_screen "$screen" startup
  fi
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
done
machine_load_after=$(cut -d' ' -f1-3 /proc/loadavg)
sample - scr_bytes_win32 1 "$(stat -c %s "$build32/Glimmerwatch.scr")"
sample - scr_bytes_win64 1 "$(stat -c %s "$build64/Glimmerwatch.scr")"

# --- The table -------------------------------------------------------------------
# What was measured, on what and how; bench/report.sh puts the targets and
# the table at the line TABLE and the description of the rows after it.
if [ "$changed_files" -eq 0 ]; then
  source_state="commit $commit, working tree clean"
else
  source_state="commit $commit plus $changed_files changed files in the working tree"
fi
mesa=$(grep -o 'Mesa [0-9][0-9.]*' <<<"$gl_version" || echo "Mesa release not named")
elapsed=$(($(date +%s) - started))
{
  echo "# Glimmerwatch bench results"
  echo
  echo "Made by \`$invocation\` from $source_state, on $(date -u '+%Y-%m-%d %H:%M UTC'), in $((elapsed / 60)) min $((elapsed % 60)) s."
  echo "Each figure is the median of its runs with the smallest and largest beside it;"
  echo "rows marked \`·\` break a figure down and carry no target. The start-up and"
  echo "frame-cost targets are ratios to the floor program, taken within each pair of"
  echo "runs of the same run of the bench, so they hold on any machine; the absolute"
  echo "figures only describe this one."
  echo
  echo "## Machine"
  echo
  echo "- Processor: $(awk -F': ' '/^model name/ {print $2; exit}' /proc/cpuinfo), $(nproc) cores; memory $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo); $(uname -sr)"
  echo "- Load average (1/5/15 min) before: $machine_load_before; after: $machine_load_after"
  echo "- Wine: $("$wine64_loader" --version 2>/dev/null) (64-bit loader); Xvfb 24-bit"
  echo "- OpenGL: $mesa, renderer $gl_renderer (GL_VERSION through Wine's WGL: $gl_version)"
  echo
  echo "## Run"
  echo
  echo "- Screens: ${startup_screens[*]} (rows 1 and 5 on ${screens[*]}; row 2 on all; rows 3 and 6 on ${screens[0]})"
  echo "- Runs per figure: $runs, and $((runs * startup_pairs)) pairs of start-ups (each run adds $((startup_pairs - 1)) start-up pairs); frames: ${warm_ms} ms warm-up then ${frame_ms} ms counted per run, parts ${part_ms} ms each; idle preview: ${settle_ms} ms settle then ${idle_ms} ms"
  echo "- Row 6: Glimmerwatch.scr /s at ${screens[0]}, ${live_settle_ms} ms after its window appears, then ${live_ms} ms measured; CPU from /proc/<pid>/stat utime+stime; presented frames counted from the display's damage (bench/frame_counter.c)"
  echo "- Samples: $samples; the table as CSV: $csv_out"
  echo
  echo TABLE
  # What the counter counted in each of the two seconds before the
  # screenshot of case (c): the counter drawn on screen shows one of the
  # periods that ended within them, so its figure should lie near these.
  if [ -n "$shot_ns" ]; then
    echo
    echo "On-screen counter check, case (c) run 1: the frame counter counted $(frames_between "$shot_log" \
      $((shot_ns - 2000000000)) $((shot_ns - 1000000000))) and then $(frames_between "$shot_log" \
      $((shot_ns - 1000000000)) "$shot_ns") frames in the two seconds before the screenshot; the counter the saver draws is in $out/live-counter-text.png (whole screen: live-counter.png)."
  fi
} >"$out/run.md"
bench/report.sh "$out"
echo
echo "== Table: $out/results.md; CSV: $csv_out; every sample: $samples; screenshots of the .scr: $out/scr-*.png, $out/live-*.png"
echo "== Ratio targets (median of the runs, target, verdict):"
awk -F, 'FNR > 1 && $2 ~ /ratio saver\/floor/ {gsub(/["*]/, "", $2); gsub(/"/, "", $9)
  printf "   %s at %s: %s (%s) %s\n", $2, $3, $5, $9, $10}' "$csv_out"
if [ "$changed_files" -eq 0 ]; then
  cp "$out/results.md" bench/RESULTS.md
  echo "== bench/RESULTS.md written: the figures of commit $commit"
else
  echo "== bench/RESULTS.md left as it was: the working tree held $changed_files changed files; a run on a commit writes it"
fi
