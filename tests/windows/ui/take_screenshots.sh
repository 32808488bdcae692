#!/usr/bin/env bash
# Screenshots of the settings windows from a build, for docs/: runs the Windows UI test
# program in a Wine virtual desktop (which draws title bars) on a private X server, with
# a loopback SMTP server for the device test, and turns its BMP captures into PNG files.
#
# Usage: tests/windows/ui/take_screenshots.sh <x64 build dir> [<output folder>]
#   the output folder defaults to docs/screenshots of the repository.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../../.." && pwd)
build=$(realpath "${1:?usage: $0 <x64 build dir> [<output folder>]}")
out=$(realpath -m "${2:-$repo/docs/screenshots}")

if [[ -z "${EQ_WINE_UNDER_XVFB:-}" ]]; then
  EQ_WINE_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

wine64=
for w in /usr/lib/wine/wine64 /usr/lib64/wine/wine64; do
  if [[ -x $w ]]; then wine64=$w; break; fi
done
[[ -n $wine64 ]] || { echo "take_screenshots: the 64-bit Wine loader is missing (scripts/deps wine)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/eq-shots.XXXXXX")
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64 WINELOADER=$wine64
server=
cleanup() {
  [[ -n $server ]] && kill "$server" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$wine64" wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; exit 1; }
wineserver -w || true
/usr/bin/python3 "$repo/tests/support/smtp_server.py" --port-file "$work/smtp-port" --maildir "$work/mail" \
  --cert-dir "$work/cert" --user mailer --password 's3cret-Пароль' >/dev/null &
server=$!
for _ in $(seq 100); do [[ -s $work/smtp-port ]] && break; sleep 0.2; done
[[ -s $work/smtp-port ]] || { echo "take_screenshots: the SMTP server did not start" >&2; exit 1; }

mkdir -p "$work/shots"
(cd "$build/bin" && timeout 300 "$wine64" explorer /desktop=shots,800x600 ./settings_ui_wine.exe --gtest_brief=1 \
  --shots="Z:${work//\//\\}\\shots" --smtp-port="$(cat "$work/smtp-port")") || true
mkdir -p "$out"
shots=("$work"/shots/*.bmp)
[[ -e ${shots[0]} ]] || { echo "take_screenshots: no screenshots were taken" >&2; exit 1; }
for bmp in "${shots[@]}"; do
  /usr/bin/python3 "$here/bmp_to_png.py" "$bmp" "$out/$(basename "$bmp" .bmp).png"
  echo "$out/$(basename "$bmp" .bmp).png"
done
