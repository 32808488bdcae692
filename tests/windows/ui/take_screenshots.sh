#!/usr/bin/env bash
# Screenshots of the settings windows from a build, for docs/: runs the Windows UI test
# program in a Wine virtual desktop (which draws title bars) on a private X server, with
# a loopback SMTP server for the device test, once at 96 DPI and once at 144 DPI (a
# prefix of its own each), and turns its BMP captures into PNG files: NAME.png at 96 DPI,
# NAME-144dpi.png at 144 DPI.
#
# Usage: tests/windows/ui/take_screenshots.sh <x64 build dir> [<output folder>]
#   the output folder defaults to docs/screenshots of the repository.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../../.." && pwd)
build=$(realpath "${1:?usage: $0 <x64 build dir> [<output folder>]}")
out=$(realpath -m "${2:-$repo/docs/screenshots}")

if [[ -z "${EQ_WINE_UNDER_XVFB:-}" ]]; then
  EQ_WINE_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1400x1050x24" "$0" "$@"
fi

wine64=
for w in /usr/lib/wine/wine64 /usr/lib64/wine/wine64; do
  if [[ -x $w ]]; then wine64=$w; break; fi
done
[[ -n $wine64 ]] || { echo "take_screenshots: the 64-bit Wine loader is missing (scripts/deps wine)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/eq-shots.XXXXXX")
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64 WINELOADER=$wine64
server=
idps=()
cleanup() {
  set +e
  [[ -n $server ]] && kill "$server" 2>/dev/null
  for pid in "${idps[@]}"; do kill "$pid" 2>/dev/null; done
  for prefix in "$work"/prefix-*; do WINEPREFIX=$prefix wineserver -k 2>/dev/null; done
  rm -rf "$work"
  return 0
}
trap cleanup EXIT

/usr/bin/python3 "$repo/tests/support/smtp_server.py" --port-file "$work/smtp-port" --maildir "$work/mail" \
  --cert-dir "$work/cert" --user mailer --password 's3cret-Пароль' >/dev/null &
server=$!
for _ in $(seq 100); do [[ -s $work/smtp-port ]] && break; sleep 0.2; done
[[ -s $work/smtp-port ]] || { echo "take_screenshots: the SMTP server did not start" >&2; exit 1; }

mkdir -p "$out"
for dpi in 96 144; do
  export WINEPREFIX="$work/prefix-$dpi"
  "$wine64" wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; exit 1; }
  wineserver -w || true
  # The DPI of the whole (virtual) screen, as the display settings set it.
  "$wine64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  "$wine64" reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wineserver -w || true
  # The identity provider "Войти…" signs in at, its CA trusted by this prefix.
  source "$here/../oauth/trusted_idp.sh"
  start_trusted_idp "$work/idp-$dpi" "$wine64" --client app-id:app-secret || exit 1
  idps+=("$idp_pid")
  wineserver -w || true
  desktop=$((800 * dpi / 96))x$((600 * dpi / 96))
  mkdir -p "$work/shots-$dpi"
  (cd "$build/bin" && timeout 400 "$wine64" explorer /desktop=shots,"$desktop" ./settings_ui_wine.exe --gtest_brief=1 \
    --shots="Z:${work//\//\\}\\shots-$dpi" --smtp-port="$(cat "$work/smtp-port")" --idp-url="$idp_url") || true
  wineserver -k 2>/dev/null || true
  suffix=; [[ $dpi == 96 ]] || suffix="-${dpi}dpi"
  shots=("$work/shots-$dpi"/*.bmp)
  [[ -e ${shots[0]} ]] || { echo "take_screenshots: no screenshots were taken at $dpi DPI" >&2; exit 1; }
  for bmp in "${shots[@]}"; do
    png="$out/$(basename "$bmp" .bmp)$suffix.png"
    /usr/bin/python3 "$here/bmp_to_png.py" "$bmp" "$png"
    echo "$png"
  done
done
