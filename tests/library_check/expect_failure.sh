#!/bin/sh
# Runs a check that must fail: it has to exit with a non-zero status and say the expected reason.
# Usage: expect_failure.sh REASON COMMAND [ARGUMENT...]
set -u
reason=$1
shift
output=$("$@" 2>&1)
status=$?
printf '%s\n' "$output"
if [ "$status" -eq 0 ]; then
  echo "expected the check to fail, but it passed"
  exit 1
fi
case $output in
  *"$reason"*) exit 0 ;;
  *) echo "expected the check to fail with: $reason"; exit 1 ;;
esac
