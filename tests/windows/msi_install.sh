# The Windows Installer packages under Wine, as an administrator deploys them: an older
# package installed, then replaced by the build's own (one installation left), the class
# registration the package wrote compared with what DllRegisterServer writes for the
# installed DLL, a VBScript host sending through the installed DLL, and the uninstall
# leaving neither files nor keys. Sourced by run_wine_tests.sh, which calls
# run_msi <build dir> <bits> inside run_build once regsvr32 /u has removed the build's
# own registration (pass, fail, check, expect_six_entries, expect_no_entries, reg_value,
# run_vbs, start_servers, stop_servers, winpath, $loader, $view, $regsvr32, $work and
# $repo come from there).

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

msiexec_wait() {  # msiexec_wait <args...>: msiexec may return before it has finished
  timeout 300 "$loader" msiexec "$@" >"$work/msiexec.log" 2>&1 || { cat "$work/msiexec.log"; return 1; }
  timeout 120 wineserver -w
}

run_msi() {  # run_msi <build dir> <bits>
  local build=$1 bits=$2 arch=x64 folder='Program Files'
  [[ $bits == 32 ]] && { arch=x86; folder='Program Files (x86)'; }
  local version; version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

  echo "== $bits-bit: MSI package"
  local msi old
  if ! msi=$("$repo/scripts/package" "$build") || ! old=$("$repo/scripts/package" --version 0.9.0 --out "$work/older" "$build"); then
    fail "scripts/package could not build the $arch packages"
    return
  fi
  check "package named $(basename "$msi")" test "$(basename "$msi")" = "vlm_dodezoz41-$version-$arch.msi"
  local installed="$WINEPREFIX/drive_c/$folder/Korventa/vlm_dodezoz41"
  local dll_win="C:\\$folder\\Korventa\\vlm_dodezoz41\\vlm_dodezoz41.dll"

  check "msiexec /i of version 0.9.0 answers success" msiexec_wait /i "$(winpath "$old")" /qn
  check "msiexec /i of version $version (an upgrade) answers success" msiexec_wait /i "$(winpath "$msi")" /qn
  local versions; versions=$(installed_versions "$arch" | tr '\n' ' ')
  check "one installation is left, version $version (installed: $versions)" test "$versions" = "$version "
  local f
  for f in vlm_dodezoz41.dll eqhost.exe README.md; do
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

  echo "== $bits-bit: msiexec /x"
  check "msiexec /x answers success" msiexec_wait /x "$(winpath "$msi")" /qn
  expect_no_entries HKLM\\Software\\Classes
  check "$folder\\Korventa is gone" test ! -e "$WINEPREFIX/drive_c/$folder/Korventa"
  versions=$(installed_versions "$arch" | tr '\n' ' ')
  check "no installation is left (installed: $versions)" test -z "$versions"
}
