#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the clips the media benchmark plays into the folder given as $1.
set -euo pipefail
mkdir -p "$1"
cd "$1"
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
ff -f lavfi -i "testsrc2=s=720x480:r=30:d=5" -c:v mpeg1video -q:v 3 -f mpeg sd_mpeg1.mpg
ff -f lavfi -i "testsrc2=s=1920x1080:r=25:d=4" -c:v mpeg2video -q:v 3 -f vob hd_mpeg2.mpg
# One second at 720x480, 30 fps, in each container, for the loop gap.
loop="testsrc2=s=720x480:r=30:d=1"
ff -f lavfi -i "$loop" -c:v mpeg2video -q:v 3 -f vob loop.mpg
ff -f lavfi -i "$loop" -c:v libx264 -pix_fmt yuv420p loop.mp4
ff -f lavfi -i "$loop" -c:v libvpx-vp9 -b:v 2M loop.mkv
ff -f lavfi -i "$loop" -c:v libvpx -b:v 2M loop.webm
ff -f lavfi -i "$loop" -c:v prores_ks -profile:v 0 loop.mov
ff -f lavfi -i "$loop" -c:v mjpeg -q:v 3 loop.avi
