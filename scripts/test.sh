#!/usr/bin/env bash
# Builds Pravel (as build/pravel, with address and undefined-behaviour
# sanitizers) and runs every test. Exits non-zero when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Debug -DPRAVEL_SANITIZE=ON -DPRAVEL_WERROR=ON >/dev/null
cmake --build build -j2
cd build
ctest --output-on-failure -j2 --timeout 600
