#!/usr/bin/env bash
# Benchmark of the source intake at the tool's limits: a project of 9,998
# folders and 250,000 files is scanned into the tree listing and the alias
# files, every directory listing file is cut, and every file is found again
# through the alias files. Reports the time of each step, the wall time and
# the peak memory (maximum resident set size) of the whole run.
#
# Usage: bench/intake.sh [work directory]
#   The tree is generated under the work directory (kept and reused when the
#   directory is given; a new one under /dev/shm, or $TMPDIR, is made and
#   removed otherwise). BUILD_DIR selects the build directory (default
#   build-bench, an optimised build without sanitizers).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench}"

work="${1:-}"
made_here=0
if [[ -z "$work" ]]; then
  base=/dev/shm
  [[ -d "$base" && -w "$base" ]] || base="${TMPDIR:-/tmp}"
  work="$(mktemp -d "$base/pravel-intake-XXXXXX")"
  made_here=1
fi
cleanup() { if [[ "$made_here" == 1 ]]; then rm -rf "$work"; fi; }
trap cleanup EXIT
mkdir -p "$work/project" "$work/tmp"

# 98 folders of 101 sub-folders each and 2 empty folders: 9,998 folders, the
# most a title may have; 25 files in every folder that is not empty and
# the remaining 100 in the root.
if [[ ! -e "$work/generated" ]]; then
  echo "generating the tree under $work/project ..."
  python3 - "$work/project" <<'PY'
import os, sys
root = sys.argv[1]
folders = []
for t in range(98):
    top = os.path.join(root, "TOPIC_%03d" % t)
    folders.append(top)
    for s in range(101):
        folders.append(os.path.join(top, "SECTION_%03d" % s))
folders += [os.path.join(root, "EMPTY_A"), os.path.join(root, "EMPTY_B")]
for folder in folders:
    os.makedirs(folder, exist_ok=True)
count = 0
for folder in folders[:-2]:
    for f in range(25):
        open(os.path.join(folder, "item_%02d_with_a_descriptive_name.dat" % f), "w").close()
        count += 1
for f in range(250000 - count):
    open(os.path.join(root, "ROOT_FILE_%03d.TXT" % f), "w").close()
print("folders %d, files %d" % (len(folders), 250000))
PY
  touch "$work/generated"
fi

# GCC 12 warns falsely (-Wrestrict) inside std::string concatenation when
# optimising; -Werror would make that fatal.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPRAVEL_TESTS=OFF -DPRAVEL_SANITIZE=OFF \
  -DPRAVEL_WERROR=ON >/dev/null
cmake --build "$build" -j2 --target bench_intake >/dev/null

if [[ ! -x /usr/bin/time ]]; then
  echo "/usr/bin/time is missing: install the package 'time' (apt-get install time)" >&2
  exit 1
fi

log="$work/time.log"
/usr/bin/time -v -o "$log" "$build/bench_intake" "$work/project" "$work/tmp"
echo "---"
grep -E 'Elapsed \(wall clock\)|User time|System time|Percent of CPU|Maximum resident set size' "$log" | sed 's/^[[:space:]]*//'
