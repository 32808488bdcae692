# The log folders of the DLL under Wine, as another user of the machine would attack
# them: a link planted in the shared data folder in place of the trace folder (from the
# Unix side: Wine makes neither junctions nor symbolic links of its own, but shows a Unix
# link to a folder as a reparse point) and folders in place of the day's files, then
# eqhost.exe driving the registered class with the call trace on. Sourced by
# run_wine_tests.sh, which calls run_log_folders <build dir> <bits> while the build's DLL
# is registered (pass, fail, check, winpath, $loader and $work come from there).

run_log_folders() {  # run_log_folders <build dir> <bits>
  local exe="$1/bin/eqhost.exe" dir="$work/log-folders-$2" status
  [[ -f $exe ]] || return 0
  rm -rf "$dir"; mkdir -p "$dir/data" "$dir/secret"
  printf '{"SmtpServerName": "127.0.0.1", "SmtpServerPort": "1", "SmtpServerUser": "u", "SmtpServerPassword": "p",
    "UserEmail": "r@example.test", "DebugLogEnabled": true}' >"$dir/traced.json"
  local vars=(EQHOST_HOME="$(winpath "$dir/home")" VLM_DODEZOZ41_DATA_DIR="$(winpath "$dir/data")" LC_ALL=C.UTF-8)
  traced_check() {  # runs eqhost.exe check with the trace on; its standard error in $dir/check.err
    status=0
    env "${vars[@]}" timeout 60 "$loader" "$exe" check --settings "$(winpath "$dir/traced.json")" \
      >/dev/null 2>"$dir/check.err" || status=$?
  }

  # A link in place of the trace folder: refused, and nothing written behind it.
  ln -s "$dir/secret" "$dir/data/vlm_dodezoz41"
  traced_check
  grep -qF 'Не удалось открыть папку журнала' "$dir/check.err" || status="$status, other text"
  check "trace folder that is a link: Enable fails with 1001 and says why (exit $status: $(tr -d '\r' <"$dir/check.err"))" \
    test "$status" = 1
  check "trace folder that is a link: nothing written behind it" test -z "$(ls -A "$dir/secret")"

  # Folders in place of the day's trace file (today's and tomorrow's): the call goes on,
  # the lines go to the user's own file, and the event log says so. (Wine shows a Unix
  # link to a file as the file itself, so a link there cannot be planted this way.)
  rm "$dir/data/vlm_dodezoz41"
  local day
  for day in "$(date +%Y.%m.%d)" "$(date -d tomorrow +%Y.%m.%d)"; do
    mkdir -p "$dir/data/vlm_dodezoz41/Debug_$day.log"
  done
  traced_check
  check "trace file that is a folder: check exits 0 (exit $status: $(tr -d '\r' <"$dir/check.err"))" test "$status" = 0
  check "trace file that is a folder: the lines are in the user's own file" \
    grep -qa 'CheckHealth' "$dir/data/vlm_dodezoz41"/Debug_*."$(id -un)".log
  check "trace file that is a folder: the event log says where the lines went" \
    grep -qa $'\tINFO\tWriteDebugLog: ' "$dir/data/Korventa/vlm_dodezoz41"/*.log
}
