#!/usr/bin/env bash
# Authors the demo's small PAL DVD with Debian's tools and packs it as an image: one title
# of three chapters, each a colour of its own with its number written large, MP2 sound.
#   make_disc.sh IMAGE        (kept when it is there already)
set -euo pipefail
image="$1"
[ -s "$image" ] && exit 0
mkdir -p "$(dirname "$image")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
seconds=10
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
# Chapter N's picture; demo/report.py checks the colours.
chapter() {
  echo "color=c=$1:s=720x576:r=25:d=$seconds,drawtext=fontfile=$font:text='Chapter $2':fontsize=96:fontcolor=white:x=(w-text_w)/2:y=(h-text_h)/2"
}
run() { "$@" >>"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }; }
run ffmpeg -hide_banner -loglevel error -nostdin -y \
  -f lavfi -i "$(chapter 0xa02828 1)" -f lavfi -i "$(chapter 0x288c3c 2)" -f lavfi -i "$(chapter 0x2846a0 3)" \
  -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$((3 * seconds))" \
  -filter_complex "[0][1][2]concat=n=3:v=1:a=0[v]" -map "[v]" -map 3:a \
  -c:v mpeg2video -b:v 4M -g 12 -aspect 4:3 -c:a mp2 -b:a 192k -ac 2 -ar 48000 -f dvd "$work/title.mpg"
run env VIDEO_FORMAT=PAL dvdauthor -o "$work/dvd" -t -c "0:00,0:$seconds,0:$((2 * seconds))" -a mp2+en "$work/title.mpg"
run env VIDEO_FORMAT=PAL dvdauthor -o "$work/dvd" -T
run xorriso -as mkisofs -V OXLE_DEMO -o "$image.making" "$work/dvd"
mv "$image.making" "$image"
