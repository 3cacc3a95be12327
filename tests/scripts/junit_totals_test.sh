#!/usr/bin/env bash
# scripts/junit-totals against JUnit files written by this machine's ctest, for
# a project with one test of each outcome: the totals must be ctest's own
# console totals (skipped tests passed, disabled ones left out, a test whose
# program is missing failed although JUnit files it as skipped), summed over
# several files, whatever the tests print.
#
# usage: junit_totals_test.sh [path of the junit-totals script to check]
set -uo pipefail

script=${1:-$(cd "$(dirname "$0")/../.." && pwd)/scripts/junit-totals}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cat >"$work/CMakeLists.txt" <<'PROJECT'
cmake_minimum_required(VERSION 3.25)
project(outcomes NONE)
enable_testing()
add_test(NAME passes COMMAND sh -c "echo '<testcase status=\"run\">'")
add_test(NAME fails COMMAND sh -c "echo '<skipped message=\"SKIP_x\"/>'; exit 1")
add_test(NAME skipped_by_output COMMAND echo "[  SKIPPED ]")
set_tests_properties(skipped_by_output PROPERTIES SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
add_test(NAME skipped_by_status COMMAND sh -c "exit 77")
set_tests_properties(skipped_by_status PROPERTIES SKIP_RETURN_CODE 77)
add_test(NAME not_built COMMAND quarn_no_such_program)
add_test(NAME disabled COMMAND true)
set_tests_properties(disabled PROPERTIES DISABLED TRUE)
add_test(NAME times_out COMMAND sleep 10)
set_tests_properties(times_out PROPERTIES TIMEOUT 1)
PROJECT
cmake -S "$work" -B "$work/build" >/dev/null || { echo "FAIL: cannot configure"; exit 1; }
console=$(ctest --test-dir "$work/build" --output-junit one.xml 2>&1)
ctest --test-dir "$work/build" --output-junit two.xml >/dev/null 2>&1

# ctest's console line: "NN% tests passed, F tests failed out of T".
line=$(grep -E 'tests failed out of' <<<"$console")
console_failed=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
console_total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
expected="$((console_total - console_failed)) $console_failed"
[ "$expected" = "3 3" ] || fail "ctest's console counted '$line'; the test expects 3 passed, 3 failed"

got=$("$script" "$work/build/one.xml")
[ "$got" = "$expected" ] || fail "one file: got '$got', expected '$expected'"
got=$("$script" "$work/build/one.xml" "$work/build/two.xml")
[ "$got" = "6 6" ] || fail "two files: got '$got', expected '6 6'"
if "$script" "$work/build/one.xml" "$work/missing.xml" >/dev/null 2>&1; then
  fail "a missing file was not refused"
fi

[ "$failures" -eq 0 ] && echo "junit-totals: all cases passed"
exit $((failures > 0))
