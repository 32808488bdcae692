# Sourced by the Wine scripts: the loopback identity provider (tests/support) started in
# a folder of the caller's, with its test CA written into the Wine prefix's machine root
# store, the one place WinHTTP's certificate check takes roots from.
#
# start_trusted_idp <folder> <wine loader> [identity_provider.py options...]
#   sets idp_pid and idp_url (https://127.0.0.1:PORT); returns 1 when it cannot.
start_trusted_idp() {
  local dir=$1 loader=$2 repo
  shift 2
  repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
  /usr/bin/python3 "$repo/tests/support/identity_provider.py" --dir "$dir" "$@" >/dev/null &
  idp_pid=$!
  for _ in $(seq 300); do [[ -s "$dir/port" ]] && break; sleep 0.1; done
  [[ -s "$dir/port" ]] || { echo "  FAIL  the identity provider did not start"; return 1; }
  idp_url="https://127.0.0.1:$(cat "$dir/port")"
  # HKLM\...\Root: the value "Blob" holds the certificate property (id 32, flags 1,
  # length) followed by the DER, under the key named by its SHA-1 thumbprint.
  local der_hex thumb blob
  der_hex=$(openssl x509 -in "$dir/tls/ca.crt" -outform DER | od -An -v -tx1 | tr -d ' \n')
  thumb=$(openssl x509 -in "$dir/tls/ca.crt" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g' | tr a-f A-F)
  le32() { printf '%02x%02x%02x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
  blob="$(le32 32)$(le32 1)$(le32 $((${#der_hex} / 2)))$der_hex"
  "$loader" reg add "HKLM\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\$thumb" /v Blob \
    /t REG_BINARY /d "$blob" /f >"$dir.reg.log" 2>&1 ||
    { cat "$dir.reg.log"; echo "  FAIL  the test CA could not be trusted"; return 1; }
}
