#!/usr/bin/env bash
# The main job on a bundled sample: makes a sample installation directory and
# a sample title under build/demo/, runs a batch premaster of it and says
# where the images lie.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

./scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build -j2 --target pravel

demo="$root/build/demo"
rm -rf "$demo"
mkdir -p "$demo/kestrand" "$demo/tmp" "$demo/template" "$demo/images" "$demo/title"

# The installation: directories of the run and the volume identification.
printf '[kestrand]\r\ntempdir=%s/tmp\r\ntemplate=%s/template\r\nimagedir=%s/images\r\n' \
  "$demo" "$demo" "$demo" > "$demo/kestrand/kestrand.ini"
cp "$root/docs/kstr.html" "$demo/kestrand/kstr.html"   # the help page of the window's Help menu
printf '[cdformat]\r\nvolume_id=PRAVEL_DEMO\r\nsystem_id=LINUX\r\nalbum=PRAVEL_DEMO_SET\r\n' \
  > "$demo/kestrand/DVDFROM.INI"

# The sample title: a few folders and files of assorted sizes.
mkdir -p "$demo/title/DOCS/MANUALS" "$demo/title/PICTURES" "$demo/title/EMPTY"
printf 'Welcome to the Pravel sample title.\r\n' > "$demo/title/README.TXT"
for i in 1 2 3; do
  head -c $((i * 3000 + 17)) /dev/urandom > "$demo/title/PICTURES/PHOTO_0$i.JPG"
done
printf 'Chapter one.\n' > "$demo/title/DOCS/MANUALS/GUIDE.TXT"
: > "$demo/title/DOCS/EMPTY.DAT"
head -c 2048 /dev/zero > "$demo/title/DOCS/SECTOR.BIN"

echo "Premastering the sample title $demo/title ..."
set +e
KESTRAND_HOME="$demo/kestrand" "$root/build/pravel" --console --yes -p="$demo/title"
status=$?
set -e

if [ $status -eq 0 ]; then
  echo "Done. The images lie in $demo/images:"
  ls -l "$demo/images"
elif [ -e "$demo/template/_cdferr" ]; then
  echo "The run failed (exit status $status; error marker $demo/template/_cdferr)."
  echo "This build does not yet go all the way to the images: see the messages above for how far it went."
else
  echo "Pravel ended with exit status $status before a run started (see the messages above)."
fi
exit $status
