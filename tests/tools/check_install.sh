#!/usr/bin/env bash
# Installs a build into a fresh prefix and checks what a packager gets: the
# program, its manual page (rendered without warnings) and example INI files
# that make a working installation once their directories are set.
#
#     check_install.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
fail() { echo "check_install: $*" >&2; exit 1; }
[ -x "$prefix/bin/pravel" ] || fail "no bin/pravel"
"$prefix/bin/pravel" --version | grep -q '^Pravel ' || fail "bin/pravel --version"
manual=$prefix/share/man/man1/pravel.1
[ -f "$manual" ] || fail "no share/man/man1/pravel.1"
if command -v man >/dev/null; then
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$manual" 2>&1 >/dev/null || true)
  [ -z "$warnings" ] || fail "the manual page renders with warnings: $warnings"
fi
examples=$prefix/share/doc/pravel/examples
for name in kestrand.ini DVDFROM.INI kstr.html; do [ -f "$examples/$name" ] || fail "no examples/$name"; done

# The examples as an installation: only the directories are changed.
home=$work/home
mkdir -p "$home" "$work/tmp" "$work/template" "$work/images" "$work/title/DOCS"
sed -e "s|^tempdir=.*|tempdir=$work/tmp|" -e "s|^template=.*|template=$work/template|" \
  -e "s|^imagedir=.*|imagedir=$work/images|" "$examples/kestrand.ini" > "$home/kestrand.ini"
cp "$examples/DVDFROM.INI" "$home/"
echo "read me" > "$work/title/DOCS/README.TXT"
KESTRAND_HOME=$home SOURCE_DATE_EPOCH=1767225600 "$prefix/bin/pravel" --console --yes -nw -p="$work/title" \
  </dev/null >"$work/run.txt" 2>&1 || fail "a run with the example installation failed: $(cat "$work/run.txt")"
[ -f "$work/images/LAYER01.IMG" ] || fail "no LAYER01.IMG"
grep -q "Warning" "$work/run.txt" && fail "the example descriptor draws a warning: $(cat "$work/run.txt")"
echo "check_install: 1 passed, 0 failed"
