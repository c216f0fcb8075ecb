#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fades live: plays the 1080p30 MPEG-2 bench clip recording it, with a recall by OSC every
# 2 s between two Overflow looks, once with --fade 1 and once with --fade 0 (the baseline of
# the same run). Reports each run's recording line (frames written, repeated, dropped) and
# the frames the preview painted (VZ_FRAME_TIMES trace).
#
# Usage: bench/fade_live.sh [BUILD_DIR [CODEC]]   (CODEC of --record-codec, default h264;
# none: the preview alone, no recording)
set -euo pipefail
build=$(realpath "${1:-build}")
codec=${2:-h264}
seconds=${VZ_LIVE_SECONDS:-20}
cmake --build "$build" --target videozarnix videozarnix-fx vz_live_clip >/dev/null
clip=$build/bench/clips/live_1080p30_mpeg2.mpg
work=$(mktemp -d)
apid=""
cleanup() {
  if [ -n "$apid" ]; then kill "$apid" 2>/dev/null; wait "$apid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Two Overflow looks in slots A and B; a bank stores each int's low byte.
python3 - "$work/looks.pvl" <<'PY'
import sys
slots = [[0] * 128 for _ in range(30)]
for s, (gain, tint) in enumerate([((20, 12, 30), (100, 300, 600)), ((30, 8, 14), (500, 20, 250))]):
    v = slots[s]
    v[48] = 1  # Overflow
    v[57:77] = [tint[0], *gain, 10, 8, 8, 8, 1, 2, 0, 15, 15, 15, 40, 40, 40, tint[1], tint[2], 70]
    for k in range(16):
        v[k] = v[16 + k] = v[32 + k] = (15 - k) * 16
open(sys.argv[1], "wb").write(bytes(x & 0xFF for v in slots for x in v))
PY

osc() {  # $1 port, $2 letter
  python3 - "$1" "$2" <<'PY'
import socket, sys
pad = lambda b: b + b"\0" * (4 - len(b) % 4)
packet = pad(b"/videozarnix/preset") + pad(b",s") + pad(sys.argv[2].encode())
socket.socket(socket.AF_INET, socket.SOCK_DGRAM).sendto(packet, ("127.0.0.1", int(sys.argv[1])))
PY
}

run() {  # $1 fade seconds
  local port=$((20000 + RANDOM % 20000))
  rm -f "$work/take.mkv" "$work/times"
  local record=(--record "$work/take.mkv" --record-codec "$codec")
  if [ "$codec" = none ]; then record=(); fi
  QT_QPA_PLATFORM=offscreen VZ_FRAME_TIMES=$work/times "$build/videozarnix" --midi none \
    --osc-port $port --osc-bind 127.0.0.1 --bank "$work/looks.pvl" --preset A --fade "$1" \
    "${record[@]}" "$clip" >"$work/app.log" 2>&1 &
  apid=$!
  sleep 3
  local letters=(B A)
  for ((k = 0; k < seconds / 2; ++k)); do
    osc $port "${letters[k % 2]}"
    sleep 2
  done
  kill -TERM "$apid"
  wait "$apid" || true
  apid=""
  local painted gaps
  painted=$(wc -l <"$work/times" 2>/dev/null || echo 0)
  # A paint more than 1.5 frame periods (50 ms) after the one before: frames missed there.
  gaps=$(awk 'NR > 1 && $1 - t > 50000 { n++ } { t = $1 } END { print n + 0 }' "$work/times" \
    2>/dev/null || echo "?")
  echo "fade $1 s: $(grep 'recorded' "$work/app.log" | sed 's/^videozarnix: //')" \
    "preview painted $painted frames, $gaps gaps over 50 ms"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
run 1
run 0
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
