#!/usr/bin/env bash
# Benchmark of a whole batch premaster against the floor: for each of two
# titles (250,000 small files in 2,000 folders; four files of 1 GiB) it runs
# a batch premaster into image files and, side by side, the floor: every
# source concatenated into one file on the same file system, then sync.
# Reports wall time, the ratio to the floor and the peak memory (maximum
# resident set size) of the premaster. A benchmark, not a test.
#
# Usage: bench/image.sh [work directory]
#   The titles are generated under the work directory (kept and reused when it
#   is given; a new one under $TMPDIR or /var/tmp is made and removed
#   otherwise). It needs about 13 GB free. BUILD_DIR selects the build
#   directory (default build-bench, an optimised build without sanitizers).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench}"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPRAVEL_TESTS=OFF -DPRAVEL_WERROR=ON >/dev/null
cmake --build "$build" -j2 --target pravel >/dev/null

work="${1:-}"
made_here=0
if [[ -z "$work" ]]; then
  work="$(mktemp -d "${TMPDIR:-/var/tmp}/pravel-image-XXXXXX")"
  made_here=1
fi
cleanup() { if [[ "$made_here" == 1 ]]; then rm -rf "$work"; fi; }
trap cleanup EXIT

generate_small() {
  local dir="$1"
  [[ -e "$dir.done" ]] && return
  echo "generating 250,000 small files in 2,000 folders under $dir ..."
  python3 - "$dir" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(1)
payload = bytes(rng.getrandbits(8) for _ in range(8192))
for f in range(2000):
    folder = os.path.join(root, "SET_%02d" % (f // 100), "FOLDER_%04d" % f)
    os.makedirs(folder, exist_ok=True)
    for i in range(125):
        size = rng.randint(0, 6000)
        with open(os.path.join(folder, "FILE_%03d.DAT" % i), "wb") as out:
            out.write(payload[:size])
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

# Seconds of wall time of a command, with `sync` counted in.
wall() {
  local start end
  start=$(date +%s.%N)
  "$@" || return 1
  sync
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

floor() {
  local title="$1" out="$2"
  (cd "$title" && find . -type f -print0 | sort -z | xargs -0 cat) > "$out"
}

premaster() {
  local title="$1" install="$2"
  /usr/bin/time -f "%M" -o "$install/rss" env SOURCE_DATE_EPOCH=1767225600 KESTRAND_HOME="$install" \
    "$build/pravel" --console --yes -nw -p="$title" >"$install/output.txt" 2>&1
}

run_title() {
  local name="$1" title="$2"
  local install="$work/install-$name"
  rm -rf "$install" "$work/images"
  mkdir -p "$install/tmp" "$work/images"
  printf '[kestrand]\r\ntempdir=%s/tmp\r\nimagedir=%s/images\r\n' "$install" "$work" > "$install/kestrand.ini"
  printf '[cdformat]\r\nvolume_id=BENCH\r\n' > "$install/DVDFROM.INI"
  # Both sides read the sources from the page cache, so that neither pays
  # for reading them from disk first.
  floor "$title" /dev/null
  sync
  local floor_s premaster_s
  floor_s=$(wall floor "$title" "$work/floor.bin")
  rm -f "$work/floor.bin"
  sync
  premaster_s=$(wall premaster "$title" "$install") || {
    echo "$name: the premaster failed:"; cat "$install/output.txt"; return 1; }
  local rss_kb
  rss_kb=$(cat "$install/rss")
  printf '%-6s premaster %8.2f s   floor %8.2f s   ratio %5.2f   peak RSS %6.1f MB\n' \
    "$name" "$premaster_s" "$floor_s" "$(echo "$premaster_s / $floor_s" | bc -l)" "$(echo "$rss_kb / 1024" | bc -l)"
  rm -rf "$work/images"
}

generate_small "$work/small"
generate_large "$work/large"
run_title small "$work/small"
run_title large "$work/large"
