#!/usr/bin/env bash
# Writes the clips the media benchmark plays into the folder given as $1.
set -euo pipefail
mkdir -p "$1"
cd "$1"
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
ff -f lavfi -i "testsrc2=s=720x480:r=30:d=5" -c:v mpeg1video -q:v 3 -f mpeg sd_mpeg1.mpg
ff -f lavfi -i "testsrc2=s=1920x1080:r=25:d=4" -c:v mpeg2video -q:v 3 -f vob hd_mpeg2.mpg
