# Checks the result file of calling_convention.vbs; sourced by run_wine_tests.sh with
# the file as $1 (pass, fail and check come from there).
expect_line() {  # expect_line <name> <value>
  local got
  got=$(result_lines "$1" | sed -n "s/^$2=//p")
  if [[ "$got" == "$3" ]]; then pass "VBScript: $2 = $3"; else fail "VBScript: $2 = '$got', wanted '$3'"; fi
}
expect_line "$1" created "Object"
expect_line "$1" echo.result "True"
expect_line "$1" echo.text "Ошибка входных параметров команды 𝄞"
expect_line "$1" echo.bounds "0..2"
expect_line "$1" grid.bounds "6x9"
expect_line "$1" grid.3_8 "3,8"
expect_line "$1" fail.result "False"
expect_line "$1" fail.code "1001"
expect_line "$1" fail.text "Сбой отправки"
expect_line "$1" timeout.double "5"    # E_INVALIDARG: "Invalid procedure call or argument"
expect_line "$1" unknown.name "1BD"    # E_NOTIMPL from GetIDsOfNames: "Object doesn't support this action"
expect_line "$1" callback.result "привет, abc!"
expect_line "$1" callback.byref "abc! 42"
