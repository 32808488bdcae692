#!/usr/bin/env bash
# The OAuth 2.0 flows of a Windows build under Wine (x64): bin/oauth_windows_tests.exe
# gets tokens through WinHTTP from the loopback identity provider (tests/support), whose
# test CA this script writes into the private prefix's machine root store, the one place
# WinHTTP's certificate check takes roots from. Client credentials, the refresh flow with
# rotation, a service account assertion signed with bcrypt, a name mismatch refused.
#
# Usage: tests/windows/oauth/run_oauth_wine.sh <x64 build dir> [<prefix>]
#   without a prefix the script makes one of its own and removes it afterwards.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../../.." && pwd)
build=$(realpath "${1:?usage: $0 <x64 build dir> [<prefix>]}")
exe="$build/bin/oauth_windows_tests.exe"
[[ -f $exe ]] || { echo "  FAIL  $exe was not built"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/eq-oauth-wine.XXXXXX")
own_prefix=0
if [[ -n "${2:-}" ]]; then
  export WINEPREFIX=$2
else
  export WINEPREFIX="$work/prefix"
  own_prefix=1
fi
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
wine64=""
for w in /usr/lib/wine/wine64 /usr/lib64/wine/wine64; do
  if [[ -x $w ]]; then wine64=$w; break; fi
done
[[ -n $wine64 ]] || { echo "  FAIL  the 64-bit Wine loader is missing (scripts/deps wine)"; exit 1; }
export WINELOADER=$wine64

idp_pid=""
cleanup() {
  [[ -n $idp_pid ]] && kill "$idp_pid" 2>/dev/null || true
  if [[ $own_prefix == 1 ]]; then wineserver -k 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

/usr/bin/python3 "$repo/tests/support/identity_provider.py" --dir "$work/idp" --client app-id:app-secret \
  --refresh-token rt-start:person@example.com --rotate >/dev/null &
idp_pid=$!
for _ in $(seq 300); do [[ -s "$work/idp/port" ]] && break; sleep 0.1; done
[[ -s "$work/idp/port" ]] || { echo "  FAIL  the identity provider did not start"; exit 1; }

# The CA into HKLM\...\Root: the value "Blob" holds the certificate property (id 32,
# flags 1, length) followed by the DER, under the key named by its SHA-1 thumbprint.
der_hex=$(openssl x509 -in "$work/idp/tls/ca.crt" -outform DER | od -An -v -tx1 | tr -d ' \n')
thumb=$(openssl x509 -in "$work/idp/tls/ca.crt" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g' | tr a-f A-F)
le32() { printf '%02x%02x%02x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
blob="$(le32 32)$(le32 1)$(le32 $((${#der_hex} / 2)))$der_hex"
"$wine64" reg add "HKLM\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\$thumb" /v Blob /t REG_BINARY \
  /d "$blob" /f >"$work/reg.log" 2>&1 || { cat "$work/reg.log"; echo "  FAIL  the test CA could not be trusted"; exit 1; }

key_path="Z:${work//\//\\}\\idp\\service-account.json"
status=0
EQ_IDP_URL="https://127.0.0.1:$(cat "$work/idp/port")" EQ_IDP_SERVICE_ACCOUNT_KEY="$key_path" \
  timeout 300 "$wine64" "$exe" >"$work/tests.log" 2>&1 || status=$?
if [[ $status == 0 ]] && grep -q '^\[  PASSED  \]' "$work/tests.log" && ! grep -q 'SKIPPED' "$work/tests.log"; then
  echo "  ok    OAuth flows through WinHTTP and bcrypt ($(grep -c '^\[       OK \]' "$work/tests.log") tests)"
else
  cat "$work/tests.log"
  echo "  FAIL  OAuth flows through WinHTTP and bcrypt (exit status $status)"
  exit 1
fi
