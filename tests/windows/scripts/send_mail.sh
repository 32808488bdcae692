# Checks what send_mail.vbs reported and what the servers received; sourced by
# run_wine_tests.sh inside run_build with the result file as $1 (fail, merge_report,
# $python, $mail and $work come from there).
report=$("$python" "$here/scripts/send_mail_check.py" "$1" "$mail" "$work" 2>&1) || fail "send_mail_check.py exited with an error"
merge_report "$report"
