#!/usr/bin/env bash
# Runs the example bot of docs/bots.md, as printed there, against kavarin-replay through a pipe:
# it must play a whole match against the computer and say the score.
# Usage: bot_example_check.sh DOCS/BOTS.MD KAVARIN-REPLAY
set -euo pipefail
doc=$1
tool=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The first python block of the document, exactly as a reader would copy it.
awk '/^```python$/ {on = 1; next} /^```$/ {if (on) exit} on' "$doc" >"$work/bot.py"
[ -s "$work/bot.py" ] || { echo "no python example in $doc"; exit 1; }
out=$(timeout 60 python3 "$work/bot.py" "$tool" 20000)
echo "$out"
[[ $out =~ ^bot\ [0-3]\ :\ [0-3]\ computer$ ]] || { echo "unexpected output"; exit 1; }
# A whole match: one side reached 3.
[[ $out =~ 3 ]] || { echo "the match did not end"; exit 1; }
