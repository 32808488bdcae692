#!/usr/bin/env bash
# Builds help.chm from the help sources in this folder, the one place the help text
# lives (UTF-8 in the repository). HTML Help reads the contents file, the page titles
# and popups.txt in the code page of the file's language (Russian: windows-1251), so
# every source is converted and the pages declare that code page. The result is checked
# with chmls: every file of the project must be inside.
#
# Usage: help/make_chm.sh <output help.chm>     (chmcmd and chmls: scripts/deps windows)
set -euo pipefail
src=$(cd "$(dirname "$0")" && pwd)
out=$(realpath -m "${1:?usage: make_chm.sh <output help.chm>}")
for tool in chmcmd chmls iconv; do
  command -v "$tool" >/dev/null || { echo "make_chm: $tool is missing (scripts/deps windows)" >&2; exit 1; }
done

stage=$(mktemp -d "${TMPDIR:-/tmp}/eq-help.XXXXXX")
trap 'rm -rf "$stage"' EXIT
files=$(sed -n '/^\[FILES\]/,/^\[/{/^\[/d;/./p}' "$src/help.hhp")
for f in help.hhp toc.hhc $files; do
  iconv -f UTF-8 -t WINDOWS-1251 "$src/$f" | sed 's/charset=utf-8/charset=windows-1251/' >"$stage/$f"
done
(cd "$stage" && chmcmd help.hhp >chmcmd.log 2>&1) || { cat "$stage/chmcmd.log" >&2; exit 1; }
[[ -s $stage/help.chm ]] || { cat "$stage/chmcmd.log" >&2; echo "make_chm: chmcmd wrote no help.chm" >&2; exit 1; }

listing=$(chmls list "$stage/help.chm")
for f in toc.hhc $files; do
  grep -q "/$f\$" <<<"$listing" || { echo "$listing" >&2; echo "make_chm: $f is not in help.chm" >&2; exit 1; }
done
mkdir -p "$(dirname "$out")"
cp "$stage/help.chm" "$out"
