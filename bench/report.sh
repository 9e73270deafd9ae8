#!/usr/bin/env bash
# Makes the table of a ./bench.sh run from its samples: each figure is the
# median of its samples with their spread (min-max), each row's target and
# whether the median meets it. Writes results.md (the run's conditions from
# run.md, whose line TABLE the targets and the table take, then
# bench/method.md) and results.csv beside the samples, and prints
# results.md. ./bench.sh runs it
# last; by hand it makes the table again from kept samples, e.g. after a
# target changed.
# Usage: bench/report.sh [dir]   (default build/bench)
set -euo pipefail
dir=${1:-$(dirname "$0")/../build/bench}
samples=$dir/samples.csv
csv=$dir/results.csv
md=$dir/results.md

# The screens in the order they were measured: those where the real .scr
# ran (rows 1 and 5; rows 3 and 6 ran on the first), and those with
# start-up runs (row 2).
screens_with() { awk -F, -v m="$1" '$2 == m && !seen[$1]++ {print $1}' "$samples"; }
mapfile -t screens < <(screens_with scr_exit_code)
mapfile -t startup_screens < <(screens_with saver_startup_total_ms)
[ ${#screens[@]} -gt 0 ] || { echo "bench/report.sh: no runs of the .scr in $samples" >&2; exit 1; }

echo "row,measure,screen,unit,median,min,max,runs,target,verdict" >"$csv"
table_lines=()
target_lines=()
# row measure screen metric unit format scale [target-op target-value target-text]
# The median, smallest and largest sample, times the scale. Target ops on
# the median: le, lt, ge, eq, and in with "low:high" (both ends included).
add_row() {
  local row=$1 measure=$2 screen=$3 metric=$4 unit=$5 fmt=$6 scale=$7 op=${8:-} limit=${9:-} text=${10:-}
  local m lo hi n verdict spread
  read -r m lo hi n verdict < <(awk -F, -v s="$screen" -v m="$metric" '$1 == s && $2 == m && $4 != "" {print $4}' "$samples" |
    sort -g | awk -v f="$fmt" -v k="$scale" -v o="$op" -v l="$limit" '{v[NR] = $1} END {
      if (NR == 0) { print "n/a n/a n/a 0 not measured"; exit }
      x = ((NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) * k
      split(l, r, ":")
      verdict = o == "" ? "-" : ((o == "le" && x <= l) || (o == "lt" && x < l) || (o == "ge" && x >= l) ||
        (o == "eq" && x == l) || (o == "in" && x >= r[1] && x <= r[2])) ? "met" : "MISSED"
      printf f " " f " " f " %d %s\n", x, v[1] * k, v[NR] * k, NR, verdict }')
  spread="$lo–$hi"
  [ "$n" -le 1 ] && spread="-"
  echo "$row,\"$measure\",$screen,$unit,$m,$lo,$hi,$n,\"$text\",$verdict" >>"$csv"
  table_lines+=("| $row | $measure | $screen | $m $unit | $spread | $n | ${text:--} | $verdict |")
  [ -z "$text" ] || target_lines+=("| $row | ${measure//\*\*/} | $screen | $m $unit | $spread | $text | $verdict |")
}

# The fastest of the saver's start-ups over the fastest of the floor's on a
# screen: the load of a busy machine only ever adds to a start-up, so the
# fastest come nearest to what each program itself costs. A breakdown of
# the target's row, with no target of its own.
add_fastest_ratio() {
  local screen=$1 value
  value=$(awk -F, -v s="$screen" '$1 == s && $4 != "" {
      if ($2 == "saver_startup_total_ms" && (a == "" || $4 + 0 < a)) a = $4 + 0
      if ($2 == "floor_startup_total_ms" && (b == "" || $4 + 0 < b)) b = $4 + 0 }
    END { if (a != "" && b > 0) printf "%.3f %.1f %.1f", a / b, a, b; else print "n/a" }' "$samples")
  read -r value saver floor <<<"$value"
  echo "2,\"· fastest start-up, saver's / floor's\",$screen,,$value,,,,\"\",-" >>"$csv"
  table_lines+=("| 2 | · fastest start-up, saver's / floor's (${saver:-n/a} / ${floor:-n/a} ms) | $screen | $value | - | - | - | - |")
}

for screen in "${screens[@]}"; do
  add_row 1 "Saver frame (clock, counter, eyes)" "$screen" saver_fps fps %.1f 1
  add_row 1 "Floor frame (desktop quad + swap)" "$screen" floor_fps fps %.1f 1
  add_row 1 "**Frame rate ratio saver/floor**" "$screen" frame_ratio "" %.3f 1 ge 0.9 "≥ 0.90"
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
  add_row 2 "Desktop copy, before the window" "$screen" saver_stage_desktop_copy_ms ms %.1f 1
  add_row 2 "Window creation" "$screen" saver_stage_window_ms ms %.1f 1
  add_row 2 "GL set-up with fonts" "$screen" saver_stage_gl_fonts_ms ms %.1f 1
  add_row 2 "Eye texture" "$screen" saver_stage_eye_texture_ms ms %.1f 1
  add_row 2 "Desktop snapshot upload" "$screen" saver_stage_snapshot_ms ms %.1f 1
  add_row 2 "· floor: desktop copy, one level" "$screen" floor_stage_snapshot_ms ms %.1f 1
  add_row 2 "· copy and upload / floor's one-level copy" "$screen" snapshot_over_floor_copy "" %.2f 1
  add_row 2 "Display list" "$screen" saver_stage_display_list_ms ms %.1f 1
  add_row 2 "First frame" "$screen" saver_stage_first_frame_ms ms %.1f 1
  add_row 2 "Start-up total" "$screen" saver_startup_total_ms ms %.1f 1
  add_row 2 "**Start-up ratio saver/floor**" "$screen" startup_ratio "" %.3f 1 le 1.1 "≤ 1.10"
  add_fastest_ratio "$screen"
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


# The run's description with the targets and the whole table at its line
# TABLE, then how each row is measured.
while IFS= read -r line; do
  if [ "$line" = TABLE ]; then
    echo "## Targets"
    echo
    echo "| Row | Measure | Screen | Median | Spread (min–max) | Target | Verdict |"
    echo "|---|---|---|---|---|---|---|"
    printf '%s\n' "${target_lines[@]}"
    echo
    echo "## Table"
    echo
    echo "| Row | Measure | Screen | Median | Spread (min–max) | Runs | Target | Verdict |"
    echo "|---|---|---|---|---|---|---|---|"
    printf '%s\n' "${table_lines[@]}"
  else
    printf '%s\n' "$line"
  fi
done <"$dir/run.md" >"$md"
method=$(dirname "$0")/method.md
[ ! -f "$method" ] || { echo; cat "$method"; } >>"$md"
echo
cat "$md"
