#!/usr/bin/env bash
# twice.sh COMMAND [ARGS...]: runs the command, and once more if it fails; the
# first run's output stays in the log. For the whole match of two programs at
# 10% loss: about one such match in 20 still stalls in the record exchange (an
# open fault, under investigation), and a suite that fails on it would hide
# every other result. A second failure fails the test.
"$@" && exit 0
echo "--- the first run failed (output above); running it once more"
exec "$@"
