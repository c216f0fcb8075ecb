#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the MPEG clips the media tests play into the folder given as $1.
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

# Top half red, bottom half blue: row order shows in every frame. 322 wide, so 24-bit rows
# carry filler bytes.
halves="color=c=red:s=322x240:r=25:d=2,drawbox=x=0:y=120:w=322:h=120:color=blue:t=fill"
ff -f lavfi -i "$halves" -c:v mpeg1video -q:v 2 -f mpeg halves_mpeg1.mpg
ff -f lavfi -i "$halves" -c:v mpeg2video -q:v 2 -f vob halves_mpeg2.mpg
ff -f lavfi -i "$halves" -f lavfi -i "sine=frequency=440:duration=2" \
  -c:v mpeg1video -q:v 2 -c:a mp2 -f mpeg with_audio.mpg

# The same clip cut in the middle of its data.
size=$(stat -c %s halves_mpeg1.mpg)
head -c $((size / 2)) halves_mpeg1.mpg > truncated.mpg

head -c 200000 /dev/urandom > garbage.mpg
# Sound without a picture.
ff -f lavfi -i "sine=frequency=440:duration=1" sound_only.wav
cp halves_mpeg1.mpg "non_ascii_é_日本.mpg"

# An MPEG-2 stream whose picture size changes mid-way (a new sequence header).
ff -f lavfi -i "color=c=green:s=322x240:r=25:d=1" -c:v mpeg2video -f mpeg2video part1.m2v
ff -f lavfi -i "color=c=green:s=640x480:r=25:d=1" -c:v mpeg2video -f mpeg2video part2.m2v
cat part1.m2v part2.m2v > size_change.mpg
rm part1.m2v part2.m2v

# Still pictures: the red-over-blue halves as PNG and JPEG.
ff -f lavfi -i "$halves" -frames:v 1 halves.png
ff -f lavfi -i "$halves" -frames:v 1 -q:v 2 halves.jpg

# One second of the halves at 320x240 in each codec and container users bring.
h320="color=c=red:s=320x240:r=25:d=1,drawbox=x=0:y=120:w=320:h=120:color=blue:t=fill"
enc() { ff -f lavfi -i "$h320" "$@"; }
enc -c:v libx264 -pix_fmt yuv420p fmt_h264.mp4
enc -c:v libx265 -pix_fmt yuv420p -x265-params log-level=error fmt_hevc.mkv
enc -c:v libvpx -b:v 1M fmt_vp8.webm
enc -c:v libvpx-vp9 -b:v 1M fmt_vp9.webm
enc -c:v libaom-av1 -cpu-used 8 -crf 40 fmt_av1.mkv
enc -c:v prores_ks -profile:v 0 fmt_prores.mov
enc -c:v mjpeg -q:v 3 fmt_mjpeg.avi
enc -c:v ffv1 fmt_ffv1.mkv
enc -c:v mpeg4 -q:v 3 fmt_mpeg4.avi
# DNxHD comes in broadcast sizes only (DNxHR is not mapped by our demuxer).
ff -f lavfi -i "color=c=red:s=1920x1080:r=25:d=0.4,drawbox=x=0:y=540:w=1920:h=540:color=blue:t=fill" \
  -c:v dnxhd -b:v 36M -pix_fmt yuv422p fmt_dnxhd.mov

# Short clips that loop: 10 frames at 25 fps, and one of a single frame.
loop="color=c=red:s=320x240:r=25:d=0.4,drawbox=x=0:y=120:w=320:h=120:color=blue:t=fill"
ff -f lavfi -i "$loop" -c:v mpeg2video -q:v 2 -f vob loop_mpeg2.mpg
ff -f lavfi -i "$loop" -c:v libx264 -pix_fmt yuv420p loop_h264.mp4
ff -f lavfi -i "$loop" -c:v libvpx -b:v 1M loop_vp8.mkv
ff -f lavfi -i "${loop/d=0.4/d=0.04}" -c:v mpeg2video -q:v 2 -f vob one_frame.mpg
