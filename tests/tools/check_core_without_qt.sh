#!/usr/bin/env bash
# The core knows no Qt: no Qt header is included below src/ui/, and a program
# built from the core alone (the driver's tests) loads no Qt library.
set -euo pipefail
source_dir=$1
core_program=$2
status=0
for folder in platform job config intake iso udf output app; do
  if grep -rnE '#\s*include\s*[<"](Q[A-Za-z]+|Qt[A-Za-z]*/|q[a-z_]+\.h)' "$source_dir/src/$folder"; then
    echo "Qt header included in src/$folder" >&2
    status=1
  fi
done
if ldd "$core_program" | grep -i 'libQt'; then
  echo "$core_program links Qt" >&2
  status=1
fi
exit $status
