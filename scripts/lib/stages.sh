# Sourced by the set-up scripts. A stage prints one line: what it does and, once it ends,
# how long it took. Its own output (package manager, compilers, test runners) goes to a
# log under build/logs; when a stage fails, the log's name and its last 30 lines follow.
#
#   stage NAME "what it does" "how long it takes, or empty" command [argument...]
#         (a command that ends with status 77 skipped what it does: its last line says
#         why, and the skip is counted and judged as a test's is)
#   test_stage NAME "what it tests" ctest --preset PRESET    (adds the counts to the line)
#   test_totals                                              (the closing count line)

stage_logs=$PWD/build/logs
mkdir -p "$stage_logs"
stage_totals=$stage_logs/.totals-$$  # made by the first test stage

stage_seconds() {
  local seconds=$(($SECONDS - $1))
  if [ $seconds -ge 60 ]; then
    printf '%d min %02d s' $((seconds / 60)) $((seconds % 60))
  else
    printf '%d s' $seconds
  fi
}

show_log() {
  echo "  log: $1; its last 30 lines:"
  tail -n 30 "$1" | sed 's/^/  | /'
}

stage_failed() {
  local log=$1 status=$2 start=$3
  printf 'FAILED (status %s, %s)\n' "$status" "$(stage_seconds "$start")"
  show_log "$log"
  exit 1
}

stage() {
  local name=$1 what=$2 estimate=$3 start=$SECONDS status=0
  shift 3
  local log=$stage_logs/$name.log
  printf '%s%s ... ' "$what" "${estimate:+ ($estimate)}"
  "$@" </dev/null >"$log" 2>&1 || status=$?
  if [ $status -eq 77 ]; then
    judge_skip "$name" "$(tail -n 1 "$log")" "$log" $start
    return
  fi
  [ $status -eq 0 ] || stage_failed "$log" $status $start
  printf 'done, %s\n' "$(stage_seconds $start)"
}

# A stage that skipped itself, by the rule that judges the tests' skips.
judge_skip() {
  local name=$1 reason=$2 log=$3 start=$4 summary counted=0
  summary=$(python3 "$(dirname "${BASH_SOURCE[0]}")/ctest_summary.py" --skip "$name" "$reason" \
    "$stage_totals") || counted=$?
  end_counted_stage "$summary" $counted "$log" $start
}

# Ends a stage's line with its counts; when STATUS is not 0, the run's totals and the log
# follow, and the run ends.
end_counted_stage() {
  local summary=$1 status=$2 log=$3 start=$4
  if [ $status -eq 0 ]; then
    printf '%s, %s\n' "$(head -n 1 <<<"$summary")" "$(stage_seconds $start)"
    tail -n +2 <<<"$summary"
    return
  fi
  printf 'FAILED: %s, %s\n' "$(head -n 1 <<<"$summary")" "$(stage_seconds $start)"
  tail -n +2 <<<"$summary"
  test_totals
  show_log "$log"
  exit 1
}

# Runs ctest with a JUnit report beside the log, and adds its counts to the line and to
# the run's totals; each failed and skipped test follows on a line of its own, a skip
# with its reason. When tests fail (under CI, also when one skips for no known limit of
# the machine), the run's totals and the log follow, and the run ends.
test_stage() {
  local name=$1 what=$2 start=$SECONDS status=0 counted=0 summary
  shift 2
  local log=$stage_logs/$name.log report=$stage_logs/$name.xml
  printf '%s ... ' "$what"
  rm -f "$report"
  "$@" --output-junit "$report" </dev/null >"$log" 2>&1 || status=$?
  [ -s "$report" ] || stage_failed "$log" $status $start  # ctest ran no test
  summary=$(python3 "$(dirname "${BASH_SOURCE[0]}")/ctest_summary.py" "$report" "$stage_totals") ||
    counted=$?
  [ $counted -eq 0 ] || status=$counted
  end_counted_stage "$summary" $status "$log" $start
}

test_totals() {
  touch "$stage_totals"
  python3 "$(dirname "${BASH_SOURCE[0]}")/ctest_summary.py" --totals "$stage_totals"
  rm -f "$stage_totals"
}
