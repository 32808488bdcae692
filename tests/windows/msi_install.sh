# The Windows Installer packages under Wine, as an administrator deploys them: an older
# package installed, then replaced by one that differs from the build's only in the fourth
# part of the version, then by the build's own (one installation left each time; an older
# one refused afterwards); the class registration the package wrote compared with what
# DllRegisterServer writes for the installed DLL; a VBScript host sending through the
# installed DLL; the installed eqhost.exe's dry run; the uninstall leaving neither files
# nor keys. Sourced by run_wine_tests.sh, which calls run_msi <build dir> <bits> inside
# run_build once regsvr32 /u has removed the build's own registration (pass, fail, check,
# merge_report, expect_six_entries, expect_no_entries, reg_value, run_vbs, start_servers,
# stop_servers, winpath, $loader, $view, $regsvr32, $clsid, $python, $here, $repo and
# $work come from there).

# The six values of the class registration, one per line, as `reg query` reads them.
registration_values() {
  local c="HKLM\\Software\\Classes\\CLSID\\$clsid" p='HKLM\Software\Classes\VxEq.vlmCommon'
  printf '%s\n' "$(reg_value "$c" "")" "$(reg_value "$c\\InprocServer32" "")" \
    "$(reg_value "$c\\InprocServer32" ThreadingModel)" "$(reg_value "$p" "")" "$(reg_value "$p\\Clsid" "")" \
    "$(reg_value "$c\\ProgID" "")"
}

# DisplayVersion of every installed product named "vlm_dodezoz41 (<arch>)", one per line.
installed_versions() {  # installed_versions <arch>
  "$loader" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s $view 2>/dev/null | tr -d '\r' |
    awk -v name="vlm_dodezoz41 ($1)" '
      /^HKEY/ { if (found) print version; found = 0; version = "" }
      $1 == "DisplayName" { sub(/^[^R]*REG_SZ[ \t]*/, ""); found = ($0 == name) }
      $1 == "DisplayVersion" { version = $3 }
      END { if (found) print version }'
}

# Whether a Windows Installer process of this run's prefix is still running (a nested
# msiexec of an upgrade included), told from the processes' own environment.
msiexec_running() {
  local pid
  for pid in $(pgrep -f 'msiexec' || true); do
    { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}

# Runs msiexec with a verbose log of its own (msiexec-<n>.log in the run's folder), then
# waits until no installer process of the prefix is left: the next call would otherwise
# meet the last one's execution lock and be refused. Waiting for the whole prefix to
# fall idle (wineserver -w) is not enough, since any process that lingers from an earlier
# step keeps the server up. On a failure it prints the exit status and the end of the log,
# where Windows Installer says why.
msiexec_calls=0
msiexec_wait() {  # msiexec_wait <args...>
  local status=0 log i
  msiexec_calls=$((msiexec_calls + 1))
  log="$work/msiexec-$msiexec_calls.log"
  timeout 300 "$loader" msiexec "$@" /l*v "$(winpath "$log")" >"$work/msiexec.out" 2>&1 || status=$?
  for ((i = 0; i < 1500; i++)); do
    msiexec_running || break
    sleep 0.2
  done
  msiexec_running && echo "  (an installer process of the prefix still runs 300 s after msiexec $1 returned)"
  timeout 120 wineserver -w || echo "  (wineserver still had processes 120 s after msiexec $1 returned)"
  [[ $status == 0 || -n ${msiexec_quiet:-} ]] && return "$status"
  echo "  msiexec $* exited with $status; the end of its log:"
  tr -d '\r\000' <"$log" 2>/dev/null | grep -v '^Property(' | tail -n 25 | sed 's/^/    | /'
  return 1
}

run_msi() {  # run_msi <build dir> <bits>
  local build=$1 bits=$2 arch=x64 folder='Program Files'
  [[ $bits == 32 ]] && { arch=x86; folder='Program Files (x86)'; }
  local version; version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

  echo "== $bits-bit: MSI package"
  # Windows Installer compares three parts of a version; the project counts builds in the fourth.
  local msi old same3 three_parts; three_parts=$(cut -d. -f1-3 <<<"$version")
  if ! msi=$("$repo/scripts/package" "$build") ||
    ! old=$("$repo/scripts/package" --version 0.9.0 --out "$work/older" "$build") ||
    ! same3=$("$repo/scripts/package" --version "$three_parts" --out "$work/older" "$build"); then
    fail "scripts/package could not build the $arch packages"
    return
  fi
  check "package named $(basename "$msi")" test "$(basename "$msi")" = "vlm_dodezoz41-$version-$arch.msi"
  local installed="$WINEPREFIX/drive_c/$folder/Korventa/vlm_dodezoz41"
  local dll_win="C:\\$folder\\Korventa\\vlm_dodezoz41\\vlm_dodezoz41.dll"

  local versions v
  for v in "$old" "$same3" "$msi"; do
    check "msiexec /i $(basename "$v") answers success" msiexec_wait /i "$(winpath "$v")" /qn
    versions=$(installed_versions "$arch" | tr '\n' ' ')
    v=$(basename "$v" "-$arch.msi")
    check "one installation is left, version ${v#vlm_dodezoz41-} (installed: $versions)" test "$versions" = "${v#vlm_dodezoz41-} "
  done
  msiexec_quiet=1 msiexec_wait /i "$(winpath "$old")" /qn || true  # refused
  versions=$(installed_versions "$arch" | tr '\n' ' ')
  check "an older package does not replace version $version (installed: $versions)" test "$versions" = "$version "
  local f
  for f in vlm_dodezoz41.dll help.chm eqhost.exe README.md; do
    check "$f is in $folder\\Korventa\\vlm_dodezoz41" test -f "$installed/$f"
  done
  check "the installed DLL is the build's" cmp -s "$installed/vlm_dodezoz41.dll" "$build/bin/vlm_dodezoz41.dll"

  # What the package wrote, then what DllRegisterServer of the installed DLL writes over it.
  local by_package by_dll
  by_package=$(registration_values)
  expect_six_entries HKLM\\Software\\Classes "$(sed -n 2p <<<"$by_package")"
  check "regsvr32 of the installed DLL answers success" "$loader" "$regsvr32" /s "$dll_win"
  by_dll=$(registration_values)
  if [[ "$by_package" == "$by_dll" ]]; then
    pass "the package writes what DllRegisterServer writes (module path $(sed -n 2p <<<"$by_dll"))"
  else
    fail "the package's registration differs from DllRegisterServer's:"$'\n'"$(diff <(echo "$by_package") <(echo "$by_dll"))"
  fi

  echo "== $bits-bit: VBScript host through the installed DLL"
  if start_servers "$bits-msi"; then
    if run_vbs "$here/scripts/send_mail.vbs" "$work/send_mail-msi.result" "$smtp_port" "$tls10_port"; then
      # shellcheck source=/dev/null
      source "$here/scripts/send_mail.sh" "$work/send_mail-msi.result"
    else
      fail "send_mail.vbs wrote no result"
    fi
  else
    fail "the loopback SMTP servers did not start"
  fi
  stop_servers

  # The installed eqhost.exe composes with a driver of its own, pointed at a closed port.
  echo "== $bits-bit: the installed eqhost.exe send --dry-run"
  local dry="$work/dry-$bits" status=0
  rm -rf "$dry"; mkdir -p "$dry/home"
  printf '{"SmtpServerName": "127.0.0.1", "SmtpServerPort": "1", "SmtpServerUser": "u", "SmtpServerPassword": "p",
    "UserEmail": "Робот <robot@example.test>"}' >"$dry/settings.json"
  env EQHOST_HOME="$(winpath "$dry/home")" LC_ALL=C.UTF-8 timeout 60 "$loader" "$installed/eqhost.exe" send \
    --settings "$(winpath "$dry/settings.json")" --to first@example.test --bcc hidden@example.test \
    --subject 'Счёт № 7' --body '<p>Готово</p>' --dry-run "$(winpath "$dry/письмо.eml")" \
    >"$dry/envelope.json" 2>"$dry/err" || status=$?
  check "eqhost.exe send --dry-run exits 0 (exit $status: $(tr -d '\r' <"$dry/err"))" test "$status" = 0
  local report
  report=$("$python" - "$dry/письмо.eml" "$dry/envelope.json" 2>&1 <<'PY'
import email, email.policy, json, sys
with open(sys.argv[1], "rb") as f:
    m = email.message_from_binary_file(f, policy=email.policy.default)
with open(sys.argv[2], encoding="utf-8") as f:
    envelope = json.load(f)
for what, got, want in [
        ("subject", str(m["Subject"]), "Счёт № 7"),
        ("html", m.get_body(("html",)).get_content().strip(), "<p>Готово</p>"),
        ("no Bcc header", m["Bcc"], None),
        ("no defects", [str(d) for p in m.walk() for d in p.defects], []),
        ("envelope", envelope, {"sender": "robot@example.test",
                                "recipients": ["first@example.test", "hidden@example.test"]})]:
    print("  %s  eqhost.exe --dry-run: %s = %r" % ("ok  " if got == want else "FAIL", what, got))
PY
) || fail "the dry run's message or envelope could not be read: $report"
  merge_report "$report"

  echo "== $bits-bit: msiexec /x"
  check "msiexec /x answers success" msiexec_wait /x "$(winpath "$msi")" /qn
  expect_no_entries HKLM\\Software\\Classes
  check "$folder\\Korventa is gone" test ! -e "$WINEPREFIX/drive_c/$folder/Korventa"
  versions=$(installed_versions "$arch" | tr '\n' ' ')
  check "no installation is left (installed: $versions)" test -z "$versions"
}
