#!/usr/bin/env bash
# Writes a real DVD-Video title into OUTDIR/VIDEO_TS: two NTSC clips of about
# two seconds (a test pattern with a tone) encoded by ffmpeg and authored by
# dvdauthor as two title sets of one title each, without menus. The
# information files are dvdauthor's own: another tool's reading of DVD-Video.
#
# Usage: make_real_dvd.sh OUTDIR; exit status 77 (skip) without ffmpeg or dvdauthor.
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: $0 OUTDIR" >&2; exit 2; }
for tool in ffmpeg dvdauthor; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is not installed" >&2; exit 77; }
done
out=$1
[ ! -e "$out/VIDEO_TS" ] || { echo "$0: $out/VIDEO_TS exists already" >&2; exit 1; }
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A different pattern and tone for each title set; a low bit rate keeps the
# VOBs at a few hundred sectors.
clip() {
  ffmpeg -nostdin -loglevel error -threads 1 \
    -f lavfi -i "testsrc=size=720x480:rate=30000/1001:duration=2,hue=h=$2" \
    -f lavfi -i "sine=frequency=$3:sample_rate=48000:duration=2" \
    -target ntsc-dvd -aspect 4:3 -b:v 1500k -maxrate 1500k -b:a 128k -shortest "$work/$1"
}
clip title1.mpg 0 440
clip title2.mpg 120 660

titleset() {
  echo "<titleset><titles><video format=\"ntsc\" aspect=\"4:3\" /><pgc><vob file=\"$work/$1\" /></pgc></titles></titleset>"
}
echo "<dvdauthor dest=\"$out\"><vmgm />$(titleset title1.mpg)$(titleset title2.mpg)</dvdauthor>" >"$work/dvd.xml"
VIDEO_FORMAT=NTSC dvdauthor -x "$work/dvd.xml" >"$work/dvdauthor.log" 2>&1 || {
  cat "$work/dvdauthor.log" >&2
  exit 1
}
echo "$out/VIDEO_TS"
