#!/usr/bin/env bash
# Generates the demo's small media library with ffmpeg's test sources.
#   make_media.sh DIR
set -euo pipefail
dir="$1"
mkdir -p "$dir/Films/Holidays" "$dir/Music" "$dir/Clips"
ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
make() { local out="$1"; shift; [ -s "$out" ] || ff "$@" "$out"; }

# An H.264/AAC MP4 at 1280x720, transcoded by the server; long enough for the time label.
make "$dir/Films/Arrival at the harbour.mp4" -f lavfi -i "testsrc2=size=1280x720:rate=25" \
  -f lavfi -i "sine=frequency=440:sample_rate=48000" -t 100 -c:v libx264 -preset ultrafast -pix_fmt yuv420p \
  -c:a aac -b:a 128k -shortest
# An MPEG-2/MP2 transport stream, remuxed by the server.
make "$dir/Films/Evening news.ts" -f lavfi -i "smptebars=size=720x576:rate=25" \
  -f lavfi -i "sine=frequency=660:sample_rate=48000" -t 10 -c:v mpeg2video -b:v 4M -c:a mp2 -b:a 192k \
  -f mpegts -shortest
# A 4:3 clip, padded to the TV picture.
make "$dir/Films/Holidays/Old camera 4x3.mp4" -f lavfi -i "testsrc=size=640x480:rate=25" \
  -f lavfi -i "sine=frequency=330:sample_rate=44100" -t 8 -c:v libx264 -preset ultrafast -pix_fmt yuv420p \
  -c:a aac -shortest
# A name longer than 25 bytes, for the infobar's scrolling title.
make "$dir/Films/Holidays/A very long name for a summer film.mp4" -f lavfi -i "mandelbrot=size=640x360:rate=25" \
  -f lavfi -i "sine=frequency=550:sample_rate=44100" -t 8 -c:v libx264 -preset ultrafast -pix_fmt yuv420p \
  -c:a aac -shortest
# Two MP3s.
make "$dir/Music/First tune.mp3" -f lavfi -i "sine=frequency=523:sample_rate=44100" -t 8 -c:a libmp3lame -b:a 128k
make "$dir/Music/Second tune.mp3" -f lavfi -i "sine=frequency=392:sample_rate=44100" -t 8 -c:a libmp3lame -b:a 128k
# A short clip in its own folder.
make "$dir/Clips/Countdown.mp4" -f lavfi -i "testsrc=size=720x576:rate=25:duration=6" \
  -f lavfi -i "sine=frequency=880:sample_rate=48000" -t 6 -c:v libx264 -preset ultrafast -pix_fmt yuv420p \
  -c:a aac -shortest
