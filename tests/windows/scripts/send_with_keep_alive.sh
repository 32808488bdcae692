# Checks what send_with_keep_alive.vbs reported and what the server recorded; sourced by
# run_wine_tests.sh inside run_build with the result file as $1 (fail, merge_report,
# $python and $mail come from there).
report=$("$python" "$here/scripts/send_with_keep_alive_check.py" "$1" "$mail" 2>&1) ||
  fail "send_with_keep_alive_check.py exited with an error"
merge_report "$report"
