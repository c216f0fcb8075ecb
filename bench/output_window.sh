#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What the output window costs: plays a 1080p30 MPEG-2 clip in Overflow with the dialog on
# one X screen and, in turn, no output window, the output window on a 1920x1080 screen and
# on a 3840x2160 screen (three X screens of one Xvfb, the window opened by --output-screen).
# Each program run is measured over the same window (20 s): the program's CPU and the X
# server's, frames painted per second by the preview and by the output window, and each
# frame's age when its paint ended, counted from the start of its grabber callback (median
# and 99th percentile, from the program's VZ_FRAME_TIMES trace). Then the window's extra
# CPU against the run without it, from this same run.
# With VZ_BASELINE_PROGRAM set to another build of the program (say, the last release's),
# every measurement is taken with that one too, right after, and both are summed up.
# VZ_REPEAT (default 1) runs the whole round that many times, so that on a busy machine
# with and without the window alternate; the summary takes the medians. Each run also lists
# its threads' CPU, to see where the window's cost lands.
#
# Usage: bench/output_window.sh [BUILD_DIR]      Needs Xvfb and xdotool.
set -euo pipefail
build=$(realpath "${1:-build}")
seconds=${VZ_LIVE_SECONDS:-20}
repeat=${VZ_REPEAT:-1}
cmake --build "$build" --target videozarnix vz_live_clip >/dev/null
programs=("$build/videozarnix")
[ -n "${VZ_BASELINE_PROGRAM:-}" ] && programs+=("$(realpath "$VZ_BASELINE_PROGRAM")")
clip=$build/bench/clips/live_1080p30_mpeg2.mpg
hz=$(getconf CLK_TCK)
overflow=(925 199)  # client pixels of the Overflow radio in the dialog

xpid="" apid="" work=$(mktemp -d)
stopApp() {
  if [ -n "$apid" ]; then kill "$apid" 2>/dev/null; wait "$apid" 2>/dev/null || true; fi
  apid=""
}
cleanup() {
  stopApp
  if [ -n "$xpid" ]; then kill "$xpid" 2>/dev/null; wait "$xpid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

n=90
while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
Xvfb :$n -noreset -nolisten tcp -screen 0 1280x1024x24 -screen 1 1920x1080x24 \
  -screen 2 3840x2160x24 >"$work/xvfb.log" 2>&1 &
xpid=$!
for _ in $(seq 100); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
export DISPLAY=:$n.0

ticks() { awk '{print $14 + $15}' /proc/"$1"/stat; }

# "name ticks" for every thread of $1, the GUI (main) thread named GUI.
threadTicks() {
  local stat line name rest
  for stat in /proc/"$1"/task/*/stat; do
    line=$(cat "$stat" 2>/dev/null) || continue
    name=${line#*(} name=${name%)*}
    read -ra rest <<<"${line##*) }"
    [ "${line%% *}" = "$1" ] && name=GUI
    echo "${line%% *}:${name// /_} $((rest[11] + rest[12]))"
  done | sort
}

median() { tr ' ' '\n' | grep . | sort -g | awk '{a[++n] = $1} END {print a[int((n + 1) / 2)]}'; }

# Percentiles of the ages (ms) in the trace lines between $1 and $2 painted by $3.
ages() {
  sed -n "$(($1 + 1)),$2p" "$work/times" | awk -v w="$3" '$3 == w {print $2 / 1000}' | sort -n |
    awk -v w="$3" 'BEGIN {n = 0} {a[++n] = $1}
      END {if (n == 0) {printf "  %-8s no frames\n", w; exit}
           printf "  %-8s %5.1f/s   age median %5.1f ms, 99th percentile %5.1f ms\n", w,
             n / '"$seconds"', a[int((n + 1) / 2)], a[int(n * 0.99 + 0.999)]}'
}

# For frames painted by both: how much later the output window's paint ended than the
# preview's (ms; negative: earlier), median and 99th percentile, and how often it was later.
order() {
  sed -n "$(($1 + 1)),$2p" "$work/times" |
    awk '{start = $1 - $2} $3 == "preview" {p[start] = $1} $3 == "output" {o[start] = $1}
      END {for (s in o) if (s in p) print (o[s] - p[s]) / 1000}' | sort -n |
    awk 'BEGIN {n = 0; late = 0} {a[++n] = $1; if ($1 > 0) late++}
      END {if (n == 0) exit
           printf "  output paint end minus preview paint end: median %.1f ms, 99th percentile %.1f ms, later in %d of %d frames\n",
             a[int((n + 1) / 2)], a[int(n * 0.99 + 0.999)], late, n}'
}

declare -A cpu perFrame
measure() {  # $1 = label, $2 = program, then the program's extra options
  local label=$1 program=$2
  shift 2
  : >"$work/times"
  VZ_FRAME_TIMES=$work/times "$program" "$@" "$clip" >"$work/app.log" 2>&1 &
  apid=$!
  local wid
  wid=$(timeout 30 xdotool search --sync --onlyvisible --screen 0 --name '^Video Zarnix$' | head -1)
  sleep 1
  xdotool mousemove --window "$wid" "${overflow[@]}" click 1
  sleep 4  # the window opens once the first frames came, then settles
  local p0 x0 l0 g0 p1 x1 l1 g1
  p0=$(ticks "$apid") x0=$(ticks "$xpid") l0=$(wc -l <"$work/times") g0=$(ticks "$apid/task/$apid")
  threadTicks "$apid" >"$work/threads0"
  sleep "$seconds"
  p1=$(ticks "$apid") x1=$(ticks "$xpid") l1=$(wc -l <"$work/times") g1=$(ticks "$apid/task/$apid")
  threadTicks "$apid" >"$work/threads1"
  local used
  used=$(awk -v a="$p0" -v b="$p1" -v hz="$hz" -v s="$seconds" \
    'BEGIN {printf "%.3f", (b - a) / hz / s}')
  cpu[$label]+=" $used"
  # On a busy machine fewer frames come through than the clip's 30 a second: the GUI thread's
  # CPU per frame taken (painted by the output window when it shows, else by the preview)
  # still compares.
  local taker=preview frames
  [ $# -gt 0 ] && taker=output
  frames=$(sed -n "$((l0 + 1)),${l1}p" "$work/times" | awk -v w="$taker" '$3 == w' | wc -l)
  local gui
  gui=$(awk -v a="$g0" -v b="$g1" -v hz="$hz" -v n="$frames" \
    'BEGIN {printf "%.2f", (n > 0 ? 1000 * (b - a) / hz / n : 0)}')
  perFrame[$label]+=" $gui"
  echo "== $label ($seconds s, Overflow, 1920x1080 at 30/s)"
  echo "  program CPU (cores): $used"
  echo "  GUI thread CPU per frame taken (ms): $gui"
  join "$work/threads0" "$work/threads1" |
    awk -v hz="$hz" -v s="$seconds" '{sub(/^[0-9]+:/, "", $1); c[$1] += ($3 - $2) / hz / s}
      END {printf "  threads (cores):"; for (t in c) if (c[t] >= 0.002) printf " %s %.3f", t, c[t]
           printf "\n"}'
  awk -v a="$x0" -v b="$x1" -v hz="$hz" -v s="$seconds" \
    'BEGIN {printf "  X server CPU (cores): %.3f\n", (b - a) / hz / s}'
  ages "$l0" "$l1" preview
  ages "$l0" "$l1" output
  order "$l0" "$l1"
  grep -q 'videozarnix: ' "$work/app.log" && sed 's/^/  /' "$work/app.log"
  stopApp
}

echo "load before: $(uptime)"
for _ in $(seq "$repeat"); do
  for options in "" "--output-screen 1" "--output-screen 2"; do
    case "$options" in
      *1) label="output window 1920x1080" ;;
      *2) label="output window 3840x2160" ;;
      *) label="no output window" ;;
    esac
    for i in "${!programs[@]}"; do
      # shellcheck disable=SC2086  # the options are words
      measure "$label$([ "$i" -gt 0 ] && echo ", baseline")" "${programs[$i]}" $options
    done
  done
done
echo "load after: $(uptime)"
for i in "${!programs[@]}"; do
  suffix="" name="this build"
  [ "$i" -gt 0 ] && suffix=", baseline" name="baseline ${programs[$i]}"
  echo "$name$([ "$repeat" -gt 1 ] && echo " (medians of $repeat runs)"):"
  for size in 1920x1080 3840x2160; do
    awk -v w="$(median <<<"${cpu[output window $size$suffix]}")" \
      -v b="$(median <<<"${cpu[no output window$suffix]}")" \
      -v fw="$(median <<<"${perFrame[output window $size$suffix]}")" \
      -v fb="$(median <<<"${perFrame[no output window$suffix]}")" -v s="$size" \
      'BEGIN {printf "  output window at %s: program CPU %+.3f of a core as measured; GUI thread per frame %+.2f ms (%.2fx), so %.3f of a core at 30 frames/s\n",
              s, w - b, fw - fb, (fb > 0 ? fw / fb : 0), (fw - fb) * 30 / 1000}'
  done
done
