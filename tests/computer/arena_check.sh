#!/usr/bin/env bash
# The order of the levels over whole arenas of 20 matches with the fixed seed 1, as the README
# gives them: each level beats the one below in at least two thirds of the decided matches, on
# either side, and level 1 beats the random player in at least 18 of 20. It takes a few minutes
# of CPU, so it is not part of the test suite; run it after changing the computer:
#   tests/computer/arena_check.sh build/tools/kavarin-replay
set -euo pipefail
tool=$1
status=0
# arena STRONG WEAK LEAST_OF_20: the stronger on the left, then on the right.
check() {
  local strong=$1 weak=$2 least=$3 line wins losses
  for sides in "$strong $weak" "$weak $strong"; do
    # shellcheck disable=SC2086
    line=$("$tool" --arena $sides --matches 20 --seed 1)
    echo "$line"
    if [ "${sides%% *}" = "$strong" ]; then
      wins=$(sed 's/.* left_wins=\([0-9]*\).*/\1/' <<<"$line")
      losses=$(sed 's/.* right_wins=\([0-9]*\).*/\1/' <<<"$line")
    else
      wins=$(sed 's/.* right_wins=\([0-9]*\).*/\1/' <<<"$line")
      losses=$(sed 's/.* left_wins=\([0-9]*\).*/\1/' <<<"$line")
    fi
    if [ "$least" -gt 0 ]; then
      [ "$wins" -ge "$least" ] || { echo "FAIL: $strong won only $wins"; status=1; }
    elif [ $((3 * wins)) -lt $((2 * (wins + losses))) ]; then
      echo "FAIL: $strong won $wins of $((wins + losses)) decided matches"
      status=1
    fi
  done
}
check 1 random 18
check 2 1 0
check 3 2 0
exit $status
