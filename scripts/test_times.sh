# Sourced by test.sh and tests/run_wine_tests.sh: a line per group of tests
# (its name, how many test cases ran, seconds, verdict) in the file named by
# GLIMMER_TEST_TIMES, and the table of them at the end.
#
#   cases_ran BUILD_DIR|-   test cases of the last ctest run in BUILD_DIR:
#                           each GoogleTest executable's cases, and 1 for
#                           every other test
#   record_group NAME CASES SECONDS VERDICT
#   print_group_times       the table, with the total

cases_ran() {
  [ "$1" != - ] || { echo 0; return; }  # a step that runs no tests
  local log=$1/Testing/Temporary/LastTest.log
  [ -f "$log" ] || { echo 0; return; }
  # A GoogleTest executable ends with "[==========] N tests from M test
  # suites ran."; a death test's child never gets there, so each such line
  # is one ctest entry's cases.
  awk '/^[0-9]+\/[0-9]+ Test: / { entries++ }
       /^\[==========\] [0-9]+ tests? from [0-9]+ test suites? ran\./ { cases += $2; gtests++ }
       END { print entries - gtests + cases }' "$log"
}

record_group() {
  [ -n "${GLIMMER_TEST_TIMES:-}" ] || return 0
  printf '%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" >>"$GLIMMER_TEST_TIMES"
}

print_group_times() {
  [ -s "${GLIMMER_TEST_TIMES:-}" ] || return 0
  awk -F'\t' '
    BEGIN { printf "   %-34s %6s %8s  %s\n", "group", "tests", "seconds", "verdict" }
    { printf "   %-34s %6s %8s  %s\n", $1, $2, $3, $4; tests += $2; seconds += $3 }
    END { printf "   %-34s %6s %8s\n", "total", tests, seconds }' "$GLIMMER_TEST_TIMES"
}
