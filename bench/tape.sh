#!/usr/bin/env bash
# Benchmark of tape output: for one title (default four files of 1 GiB) it
# runs, alternating and ROUNDS times (default 3), a batch premaster into image
# files, the same title onto a virtual tape (an AWS file) and as a DDP set of
# files (--ddp), each followed by sync, and reports the median wall times and
# their ratios to the image-file run. A benchmark, not a test.
#
# Usage: bench/tape.sh [work directory] [title folder]
#   Without a title folder, four files of 1 GiB are generated under the work
#   directory (kept when it is given). It needs about 22 GB free. BUILD_DIR
#   selects the build directory (default build-bench).
set -euo pipefail

BENCH_NAME=tape
source "$(dirname "$0")/prepare.sh"

title="${2:-$work/large}"
if [[ -z "${2:-}" && ! -e "$title.done" ]]; then
  echo "generating four files of 1 GiB under $title ..."
  mkdir -p "$title/MOVIES"
  for i in 1 2 3 4; do head -c $((1 << 30)) /dev/urandom > "$title/MOVIES/PART_$i.BIN"; done
  touch "$title.done"
fi

install="$work/install-tape"
mkdir -p "$install/tmp"
printf '[kestrand]\r\ntempdir=%s/tmp\r\nimagedir=%s/images\r\ntapedir=%s/tapes\r\n' "$install" "$work" "$work" \
  > "$install/kestrand.ini"
printf '[cdformat]\r\nvolume_id=BENCH\r\n' > "$install/DVDFROM.INI"

wall() {
  local start end
  start=$(date +%s.%N)
  "$@" >"$install/output.txt" 2>&1 || { echo "failed: $*"; cat "$install/output.txt"; return 1; }
  sync
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

fresh() { rm -rf "$work/images" "$work/tapes" "$work/ddp"; mkdir -p "$work/images" "$work/tapes"; sync; }

pravel() { SOURCE_DATE_EPOCH=1767225600 KESTRAND_HOME="$install" "$build/pravel" --console --yes "$@" -p="$title"; }

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Every side reads the sources from the page cache.
find "$title" -type f -exec cat {} + >/dev/null
images=() tapes=() sets=()
for ((round = 0; round < ${ROUNDS:-3}; round++)); do
  fresh; images+=("$(wall pravel)")
  fresh; tapes+=("$(wall pravel -tape)")
  fresh; sets+=("$(wall pravel -tape --ddp="$work/ddp")")
done
fresh
image_s=$(printf '%s\n' "${images[@]}" | median)
tape_s=$(printf '%s\n' "${tapes[@]}" | median)
set_s=$(printf '%s\n' "${sets[@]}" | median)
printf 'image files   %7.2f s\n' "$image_s"
printf 'virtual tape  %7.2f s   tape/image %5.2f\n' "$tape_s" "$(echo "$tape_s / $image_s" | bc -l)"
printf 'DDP as files  %7.2f s   ddp/image  %5.2f\n' "$set_s" "$(echo "$set_s / $image_s" | bc -l)"
