# Sourced by the benchmarks: builds an optimised build-bench/pravel (or
# BUILD_DIR) and sets up the work directory, $1 when given (kept), else a new
# one named after $BENCH_NAME that is removed at exit.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench}"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPRAVEL_TESTS=OFF -DPRAVEL_WERROR=ON >/dev/null
cmake --build "$build" -j2 --target pravel >/dev/null

work="${1:-}"
made_here=0
if [[ -z "$work" ]]; then
  work="$(mktemp -d "${TMPDIR:-/var/tmp}/pravel-$BENCH_NAME-XXXXXX")"
  made_here=1
fi
cleanup() { if [[ "$made_here" == 1 ]]; then rm -rf "$work"; fi; }
trap cleanup EXIT
