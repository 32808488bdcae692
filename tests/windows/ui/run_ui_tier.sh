#!/usr/bin/env bash
# The settings windows under Wine with a display, run by run_wine_tests.sh inside its
# private prefix once the DLL is registered and the loopback SMTP server is up:
#   1. settings_ui_wine.exe drives the real window of the DLL beside it with window
#      messages and real keystrokes (typing, tabs, Tab order, access keys, Ctrl+Tab, the
#      menu, the device test against the loopback server and against a silent one with
#      "Отмена", the settings list, help, OK, Cancel, the close box, the host's windows
#      blocked, a DPI change, the OAuth rows of "Безопасность" and "Войти…" signing in at
#      the loopback identity provider, whose CA the prefix trusts);
#   2. a VBScript host (cscript) sees IsSettingsDlgExist true and gets [201, ...] when the
#      window it opened is closed with "Отмена" (pressed by settings_ui_wine.exe
#      --press-cancel from a second process).
# Prints "  ok ..." and "  FAIL ..." lines.
#
# Usage: run_ui_tier.sh <build dir> <wine loader> <cscript> <SMTP port> <work dir>
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$1 loader=$2 cscript=$3 smtp_port=$4 work=$5
winpath() { printf 'Z:%s' "${1//\//\\}"; }
ok() { printf '  ok    %s\n' "$*"; }
fail() { printf '  FAIL  %s\n' "$*"; }

exe="$build/bin/settings_ui_wine.exe"
if [[ ! -f $exe ]]; then
  fail "settings_ui_wine.exe was not built"
  exit 0
fi
idp_pid="" idp_url=""
trap '[[ -n $idp_pid ]] && kill "$idp_pid" 2>/dev/null' EXIT
source "$here/../oauth/trusted_idp.sh"
start_trusted_idp "$work/ui-idp" "$loader" --client app-id:app-secret || fail "no identity provider for \"Войти…\""
log="$work/settings-ui.log"
if (cd "$build/bin" && timeout 300 "$loader" ./settings_ui_wine.exe --gtest_brief=1 --smtp-port="$smtp_port" \
      --idp-url="$idp_url" >"$log" 2>&1); then
  ok "settings window driven by window messages ($(grep -o '[0-9]* tests\? from [0-9]* test suites\? ran' "$log" | head -1))"
else
  cat "$log"
  fail "settings_ui_wine.exe"
fi

result="$work/settings-dialog.result"
rm -f "$result"
(cd "$build/bin" && timeout 120 "$loader" ./settings_ui_wine.exe --press-cancel >"$work/press-cancel.log" 2>&1) &
presser=$!
timeout 120 "$loader" "$cscript" //nologo "$(winpath "$here/settings_dialog.vbs")" "$(winpath "$result")" \
  >"$work/settings-dialog.log" 2>&1
wait "$presser"
pressed=$?
lines=$( [[ -s $result ]] && iconv -f UTF-16 -t UTF-8 "$result" | tr -d '\r')
expected=$'IsSettingsDlgExist=True\nresult=False\ncode=201\ndescription=Операция отменена пользователем'
if [[ $pressed -eq 0 && "$lines" == "$expected" ]]; then
  ok "VBScript host: IsSettingsDlgExist true, Cancel gives [201, Операция отменена пользователем]"
else
  cat "$work/settings-dialog.log" "$work/press-cancel.log" 2>/dev/null
  fail "VBScript host and the settings window (pressed: $pressed; got: ${lines//$'\n'/; })"
fi
