#!/usr/bin/env bash
# Sends signed in with OAuth 2.0 from the DLL under Wine (x64): eqhost.exe drives the
# class registered by regsvr32 and sends through Dovecot's submission service, which asks
# the loopback identity provider about every token (tests/support). The provider's test CA
# is in the prefix's machine root store, where WinHTTP takes its roots from. One send per
# flow that needs no person: client credentials, a service account's key (a path to it),
# a refresh token and a host's ready token; each must arrive at Dovecot's relay, and the
# call trace of its send must show the XOAUTH2 login and none of the flow's secrets.
#
# Usage: tests/windows/oauth/run_oauth_send_wine.sh <x64 build dir> [<prefix>]
#   without a prefix the script makes one of its own and removes it afterwards; with one,
#   the build's DLL is registered there (again) and stays registered.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../../.." && pwd)
build=$(realpath "${1:?usage: $0 <x64 build dir> [<prefix>]}")
python=/usr/bin/python3
exe="$build/bin/eqhost.exe" dll="$build/bin/vlm_dodezoz41.dll"
[[ -f $exe && -f $dll ]] || { echo "  FAIL  eqhost.exe or the DLL was not built in $build"; exit 1; }
PATH=$PATH:/usr/sbin  # where Debian puts dovecot
if ! command -v dovecot >/dev/null; then
  echo "  skip  OAuth 2.0 sends through the DLL: Dovecot is not installed (scripts/deps mail)"
  exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/eq-oauth-send-wine.XXXXXX")
# Run as root, Dovecot's processes are "nobody": they pass through this folder (not list
# it) to their own and to the provider's CA.
chmod 711 "$work"
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

idp_pid="" dovecot_pid=""
cleanup() {
  local pid
  for pid in $dovecot_pid $idp_pid; do kill "$pid" 2>/dev/null || true; done
  for pid in $dovecot_pid $idp_pid; do wait "$pid" 2>/dev/null || true; done
  if [[ $own_prefix == 1 ]]; then wineserver -k 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
winpath() { printf 'Z:%s' "${1//\//\\}"; }

if [[ $own_prefix == 1 ]]; then
  "$wine64" wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; echo "  FAIL  no Wine prefix"; exit 1; }
fi
"$wine64" regsvr32 /s "$(winpath "$dll")" || { echo "  FAIL  regsvr32 of $dll"; exit 1; }

source "$here/trusted_idp.sh"
start_trusted_idp "$work/idp" "$wine64" --client app-id:app-secret --refresh-token rt-robot:robot@example.com ||
  exit 1
"$python" "$repo/tests/support/dovecot_submission.py" --dir "$work/dovecot" --idp-port "${idp_url##*:}" \
  --idp-ca "$work/idp/tls/ca.crt" >/dev/null 2>"$work/dovecot.err" &
dovecot_pid=$!
for _ in $(seq 600); do
  [[ -s $work/dovecot/port ]] && break
  kill -0 "$dovecot_pid" 2>/dev/null || break
  sleep 0.1
done
[[ -s $work/dovecot/port ]] || { cat "$work/dovecot.err"; echo "  FAIL  Dovecot's submission service did not start"; exit 1; }
smtp_port=$(cat "$work/dovecot/port")

# The host's ready token for the last flow: one the provider gave by client credentials.
access_token=$("$python" - "$idp_url" "$work/idp/tls/ca.crt" <<'EOF'
import json, ssl, sys, urllib.parse, urllib.request
form = urllib.parse.urlencode({"grant_type": "client_credentials", "client_id": "app-id",
                               "client_secret": "app-secret",
                               "scope": "https://outlook.office365.com/.default"}).encode()
with urllib.request.urlopen(sys.argv[1] + "/token", form, timeout=30,
                            context=ssl.create_default_context(cafile=sys.argv[2])) as answer:
    print(json.load(answer)["access_token"])
EOF
) || { echo "  FAIL  the provider gave no token for the access-token flow"; exit 1; }

# send_with <flow> <secret that must not be logged> <setting=value>...: eqhost.exe sends
# one message with the call trace on; it must arrive and the trace must show the login.
delivered=0
send_with() {
  local flow=$1 secret=$2 dir="$work/$1" status=0
  shift 2
  mkdir -p "$dir/home" "$dir/data"
  "$python" - "$dir/settings.json" "$smtp_port" "OAuthFlow=$flow" "$@" <<'EOF'
import json, sys
settings = {"SmtpServerName": "127.0.0.1", "SmtpServerPort": sys.argv[2],
            "UserEmail": "Робот <robot@example.com>", "SmtpAuthMethod": "OAuth 2.0",
            "DebugLogEnabled": True}
settings.update(a.split("=", 1) for a in sys.argv[3:])
with open(sys.argv[1], "w", encoding="utf-8") as f:
    json.dump(settings, f, ensure_ascii=False)
EOF
  env EQHOST_HOME="$(winpath "$dir/home")" VLM_DODEZOZ41_DATA_DIR="$(winpath "$dir/data")" LC_ALL=C.UTF-8 \
    timeout 120 "$wine64" "$exe" send --settings "$(winpath "$dir/settings.json")" --to buyer@example.test \
    --subject "Заказ готов ($flow)" --body '<p>Готово</p>' >"$dir/send.out" 2>"$dir/send.err" </dev/null || status=$?
  local why=""
  [[ $status == 0 ]] || why="exit $status: $(tr -d '\r' <"$dir/send.err")"
  if [[ -z $why ]]; then
    delivered=$((delivered + 1))
    if [[ ! -s $work/dovecot/mail/$delivered.json ]]; then
      why="no message $delivered at Dovecot's relay"
    elif ! "$python" -c 'import email, email.policy, sys
m = email.message_from_binary_file(open(sys.argv[1], "rb"), policy=email.policy.default)
sys.exit(m["Subject"] != sys.argv[2])' "$work/dovecot/mail/$delivered.eml" "Заказ готов ($flow)"; then
      why="message $delivered at the relay is not this flow's"
    elif ! grep -rqa 'AUTH XOAUTH2' "$dir/data"; then
      why="the call trace shows no XOAUTH2 login"
    elif grep -rqaF -e "$secret" -e "$access_token" "$dir/data" || grep -rqaE '[ar]t-[0-9a-f]{32}' "$dir/data"; then
      why="a secret or a token is in the call trace"
    fi
  fi
  if [[ -z $why ]]; then
    echo "  ok    OAuth 2.0 send through the DLL and Dovecot: $flow"
  else
    echo "  FAIL  OAuth 2.0 send through the DLL and Dovecot: $flow ($why)"
    failed=1
  fi
}

failed=0
token_url="$idp_url/token"
send_with ms365-app app-secret OAuthTenant=contoso OAuthClientId=app-id OAuthClientSecret=app-secret \
  "OAuthTokenUrl=$idp_url/contoso/oauth2/v2.0/token"
send_with google-service-account "$(sed -n '2p' <("$python" -c 'import json,sys; print(json.load(open(sys.argv[1]))["private_key"])' "$work/idp/service-account.json"))" \
  "OAuthServiceAccountKey=$(winpath "$work/idp/service-account.json")" "OAuthTokenUrl=$token_url"
send_with refresh-token rt-robot OAuthClientId=app-id OAuthClientSecret=app-secret OAuthRefreshToken=rt-robot \
  "OAuthTokenUrl=$token_url"
send_with access-token "$access_token" "OAuthAccessToken=$access_token"
exit $failed
