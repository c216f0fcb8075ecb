#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The preview's cost where users feel it: plays a 1080p30 MPEG-2 clip in Overflow, full
# screen on a 3840x2160 virtual screen, and reports over a measuring window (20 s) the
# program's CPU per thread, the X server's CPU, frames painted per second against the
# clip's 30, and each frame's age when its paint ended, counted from the start of its grabber
# callback (median and 99th percentile; from the program's VZ_FRAME_TIMES trace).
#
# Usage: bench/live_present.sh [BUILD_DIR [BASELINE_PROGRAM]]
# A BASELINE_PROGRAM (another build of videozarnix) is measured the same way right after,
# for ratios within one run. Needs Xvfb and xdotool.
set -euo pipefail
build=$(realpath "${1:-build}")
baseline=${2:-}
seconds=${VZ_LIVE_SECONDS:-20}
cmake --build "$build" --target videozarnix vz_live_clip >/dev/null
clip=$build/bench/clips/live_1080p30_mpeg2.mpg
hz=$(getconf CLK_TCK)

# Client pixels of the Overflow radio and the Full Screen button in the dialog.
overflow=(925 199)
fullscreen=(965 104)

xpid="" apid="" work=""
cleanup() {
  if [ -n "$apid" ]; then kill "$apid" 2>/dev/null; wait "$apid" 2>/dev/null || true; fi
  if [ -n "$xpid" ]; then kill "$xpid" 2>/dev/null; wait "$xpid" 2>/dev/null || true; fi
  if [ -n "$work" ]; then rm -rf "$work"; fi
  apid="" xpid="" work=""
}
trap cleanup EXIT

# "tid name ticks" for every thread of $1.
threadTicks() {
  for stat in /proc/"$1"/task/*/stat; do
    local line
    line=$(cat "$stat" 2>/dev/null) || continue
    local name=${line#*(}
    name=${name%)*}
    local rest=(${line##*) })
    echo "${line%% *} ${name// /_} $((rest[11] + rest[12]))"
  done
}

measure() {  # $1 = program, $2 = label
  work=$(mktemp -d)
  local n=90
  while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
  Xvfb :$n -screen 0 3840x2160x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xpid=$!
  for _ in $(seq 100); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
  export DISPLAY=:$n
  VZ_FRAME_TIMES=$work/times "$1" "$clip" >"$work/app.log" 2>&1 &
  apid=$!
  local wid
  wid=$(timeout 30 xdotool search --sync --onlyvisible --pid "$apid" | head -1)
  sleep 1
  xdotool mousemove --window "$wid" "${overflow[@]}" click 1
  sleep 0.3
  xdotool mousemove --window "$wid" "${fullscreen[@]}" click 1
  sleep 3  # the window is made anew without its frame, then settles
  wid=$(xdotool search --onlyvisible --pid "$apid" | head -1)
  local size
  size=$(xdotool getwindowgeometry "$wid" | awk '/Geometry/ {print $2}')
  [ "$size" = 3840x2160 ] || { echo "$2: not full screen ($size)" >&2; exit 1; }

  : >>"$work/times"
  threadTicks "$apid" >"$work/before"
  local x0 l0 x1 l1
  x0=$(awk '{print $14 + $15}' /proc/$xpid/stat)
  l0=$(wc -l <"$work/times")
  sleep "$seconds"
  threadTicks "$apid" >"$work/after"
  x1=$(awk '{print $14 + $15}' /proc/$xpid/stat)
  l1=$(wc -l <"$work/times")

  echo "== $2 ($seconds s, Overflow, 1920x1080 at 30/s on a 3840x2160 full screen)"
  echo "program CPU per thread (cores, 0.005 and more):"
  join <(sort "$work/before") <(sort "$work/after") |
    awk -v hz="$hz" -v s="$seconds" '{c = ($5 - $3) / hz / s; if (c >= 0.005) printf "  %-22s %.3f\n", $2 "/" $1, c}' |
    sort -k2 -n -r
  join <(sort "$work/before") <(sort "$work/after") |
    awk -v hz="$hz" -v s="$seconds" '{t += ($5 - $3) / hz / s} END {printf "program CPU (cores): %.3f\n", t}'
  awk -v x0="$x0" -v x1="$x1" -v hz="$hz" -v s="$seconds" \
    'BEGIN {printf "X server CPU (cores): %.3f\n", (x1 - x0) / hz / s}'
  echo "frames painted per second: $(awk -v n=$((l1 - l0)) -v s="$seconds" 'BEGIN {printf "%.1f", n / s}') (clip 30)"
  # On a busy machine fewer frames arrive; the cost per painted frame still compares.
  join <(sort "$work/before") <(sort "$work/after") |
    awk -v hz="$hz" -v n=$((l1 - l0)) '{t += ($5 - $3) / hz} END {if (n > 0) printf "program CPU per frame painted (ms): %.1f\n", 1000 * t / n}'

  if [ $((l1 - l0)) -gt 0 ]; then
    # The preview's lines (a build before the output window traced its own had no third word).
    sed -n "$((l0 + 1)),${l1}p" "$work/times" | awk '$3 == "" || $3 == "preview" {print $2 / 1000}' | sort -n |
      awk '{a[NR] = $1} END {printf "frame age at paint end (ms): median %.1f, 99th percentile %.1f\n", a[int((NR + 1) / 2)], a[int(NR * 0.99 + 0.999)]}'
  else
    echo "frame age at paint end: no trace (program without VZ_FRAME_TIMES)"
  fi
  cleanup
}

measure "$build/videozarnix" "this build"
[ -n "$baseline" ] && measure "$(realpath "$baseline")" "baseline $baseline"
exit 0
