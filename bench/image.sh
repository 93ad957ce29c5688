#!/usr/bin/env bash
# Benchmark of a whole batch premaster against the floor and a peer: for each
# title (20,000 files of 1-4 KB in 400 folders and two of 100 MiB; 250,000
# small files in 2,000 folders; four files of 1 GiB) it runs, alternating and
# ROUNDS times (default 3), a batch premaster into image files, the floor
# (every source concatenated into one file on the same file system) and
# `genisoimage -J -udf` into one image, each followed by sync. Reports the
# median wall times, the ratios, the bytes each side wrote and the peak memory
# (maximum resident set size) of the premaster. A benchmark, not a test.
#
# Each timed command starts on a settled file system: after a sync, the
# sources are read over and over for SETTLE seconds (default 61), which keeps
# the page cache and the processors as warm as in back-to-back runs. A premaster
# creates and removes a small file per listing and directory (over 1,200 on the
# mixed title); ext4 without a journal makes every new inode skip each inode
# freed in the last 60 seconds, so back-to-back runs pay for each other's
# temporary files, the more the more rounds have run. SETTLE=0 times the
# commands back to back. BENCH_TEMP puts the premaster's temporary directory
# under another directory (default: beside the images, on the same file system).
#
# Usage: bench/image.sh [work directory]   (TITLES="mixed small large" picks titles;
#   "half" is the small title's first half: with both, the growth is printed)
#   The titles are generated under the work directory (kept and reused when it
#   is given; a new one under $TMPDIR or /var/tmp is made and removed
#   otherwise). It needs about 13 GB free. BUILD_DIR selects the build
#   directory (default build-bench, an optimised build without sanitizers).
set -euo pipefail

BENCH_NAME=image
source "$(dirname "$0")/prepare.sh"

# 125 small files in each of the given number of folders.
generate_many_small() {
  local dir="$1" folders="$2"
  [[ -e "$dir.done" ]] && return
  echo "generating $((folders * 125)) small files in $folders folders under $dir ..."
  python3 - "$dir" "$folders" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(1)
payload = bytes(rng.getrandbits(8) for _ in range(8192))
for f in range(int(sys.argv[2])):
    folder = os.path.join(root, "SET_%02d" % (f // 100), "FOLDER_%04d" % f)
    os.makedirs(folder, exist_ok=True)
    for i in range(125):
        size = rng.randint(0, 6000)
        with open(os.path.join(folder, "FILE_%03d.DAT" % i), "wb") as out:
            out.write(payload[:size])
PY
  touch "$dir.done"
}

generate_small() { generate_many_small "$1" 2000; }
# Half the small title: the growth from half to small shows whether time is
# linear in the number of files.
generate_half() { generate_many_small "$1" 1000; }

generate_mixed() {
  local dir="$1"
  [[ -e "$dir.done" ]] && return
  echo "generating 20,000 files of 1-4 KB in 400 folders and two of 100 MiB under $dir ..."
  python3 - "$dir" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(2)
payload = bytes(rng.getrandbits(8) for _ in range(4096))
for f in range(400):
    folder = os.path.join(root, "SET_%02d" % (f // 40), "FOLDER_%03d" % f)
    os.makedirs(folder, exist_ok=True)
    for i in range(50):
        with open(os.path.join(folder, "FILE_%03d.DAT" % i), "wb") as out:
            out.write(payload[:rng.randint(1024, 4096)])
os.makedirs(os.path.join(root, "BIG"), exist_ok=True)
for i in range(2):
    with open(os.path.join(root, "BIG", "PART_%d.BIN" % i), "wb") as out:
        out.write(os.urandom(100 << 20))
PY
  touch "$dir.done"
}

generate_large() {
  local dir="$1"
  [[ -e "$dir.done" ]] && return
  echo "generating four files of 1 GiB under $dir ..."
  mkdir -p "$dir/MOVIES"
  for i in 1 2 3 4; do
    head -c $((1 << 30)) /dev/urandom > "$dir/MOVIES/PART_$i.BIN"
  done
  touch "$dir.done"
}

# Reads the title's files for SETTLE seconds, at least once.
settle() {
  local title="$1" until=$((SECONDS + ${SETTLE:-61}))
  sync
  floor "$title" /dev/null
  while ((SECONDS < until)); do floor "$title" /dev/null; done
}

# Seconds of wall time of a command, with `sync` counted in; the command
# starts on a settled file system.
wall() {
  local start end
  settle "$2"  # each command takes the title as its first argument
  start=$(date +%s.%N)
  "$@" || return 1
  sync
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

floor() {
  local source="$1" out="$2"
  (cd "$source" && find . -type f -print0 | sort -z | xargs -0 cat) > "$out"
}

premaster() {
  local title="$1" install="$2"
  /usr/bin/time -f "%M" -o "$install/rss" env SOURCE_DATE_EPOCH=1767225600 KESTRAND_HOME="$install" \
    "$build/pravel" --console --yes -nw -p="$title" >"$install/output.txt" 2>&1
}

peer() {
  local title="$1" out="$2"
  genisoimage -quiet -J -udf -o "$out" "$title" 2>/dev/null
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

bytes_of() { du -cb "$@" 2>/dev/null | tail -n 1 | cut -f 1; }

run_title() {
  local name="$1" title="$2"
  local install="$work/install-$name"
  rm -rf "$install" "$work/images"
  local temp="${BENCH_TEMP:-$install}/tmp-$name"
  mkdir -p "$install" "$temp" "$work/images"
  printf '[kestrand]\r\ntempdir=%s\r\nimagedir=%s/images\r\n' "$temp" "$work" > "$install/kestrand.ini"
  printf '[cdformat]\r\nvolume_id=BENCH\r\n' > "$install/DVDFROM.INI"
  # Every side reads the sources from the page cache, so that none pays for
  # reading them from disk first.
  floor "$title" /dev/null
  sync
  local floors=() premasters=() peers=() round floor_bytes pravel_bytes peer_bytes
  for ((round = 0; round < ${ROUNDS:-3}; round++)); do
    floors+=("$(wall floor "$title" "$work/floor.bin")")
    floor_bytes=$(bytes_of "$work/floor.bin")
    rm -f "$work/floor.bin"; sync
    premasters+=("$(wall premaster "$title" "$install")") || {
      echo "$name: the premaster failed:"; cat "$install/output.txt"; return 1; }
    pravel_bytes=$(bytes_of "$work/images/CONTROL.IMG" "$work/images/LAYER01.IMG")
    rm -rf "$work/images"; mkdir -p "$work/images"; sync
    if command -v genisoimage >/dev/null; then
      peers+=("$(wall peer "$title" "$work/peer.iso")")
      peer_bytes=$(bytes_of "$work/peer.iso")
      rm -f "$work/peer.iso"; sync
    fi
  done
  local floor_s premaster_s peer_s rss_kb
  floor_s=$(printf '%s\n' "${floors[@]}" | median)
  premaster_s=$(printf '%s\n' "${premasters[@]}" | median)
  rss_kb=$(cat "$install/rss")
  printf '%-6s premaster %7.2f s (%s bytes)   floor %7.2f s (%s bytes)   premaster/floor %5.2f   peak RSS %6.1f MB\n' \
    "$name" "$premaster_s" "$pravel_bytes" "$floor_s" "$floor_bytes" "$(echo "$premaster_s / $floor_s" | bc -l)" \
    "$(echo "$rss_kb / 1024" | bc -l)"
  if [[ ${#peers[@]} -gt 0 ]]; then
    peer_s=$(printf '%s\n' "${peers[@]}" | median)
    printf '%-6s genisoimage -J -udf %7.2f s (%s bytes)   premaster/genisoimage %5.2f\n' \
      "" "$peer_s" "$peer_bytes" "$(echo "$premaster_s / $peer_s" | bc -l)"
  fi
  rm -rf "$work/images"
  medians[$name]=$premaster_s
}

declare -A medians
for name in ${TITLES:-mixed small large}; do
  "generate_$name" "$work/$name"
  run_title "$name" "$work/$name"
done
if [[ -n "${medians[half]:-}" && -n "${medians[small]:-}" ]]; then
  printf 'growth  twice the files (half -> small): premaster time x %5.2f\n' \
    "$(echo "${medians[small]} / ${medians[half]}" | bc -l)"
fi
