#!/usr/bin/env bash
# Runs a QtTest program under Wine and prints its report. Under Wine QtTest writes
# nothing to a pipe, so the report goes to a file that is printed afterwards. The exit
# status is the program's (the number of failed cases); a run that ends without QtTest's
# totals line (a crash, a hang cut short) fails too.
#
#   run-qtest.sh WINE_RUN PREFIX TEST.exe [ARGUMENT]...
set -u
wine_run=$1 prefix=$2 program=$3
shift 3
report=$(mktemp --suffix=.txt)
trap 'rm -f "$report"' EXIT
"$wine_run" "$prefix" "$program" -o "Z:$report,txt" "$@"
status=$?
cat "$report"
if [ "$status" -eq 0 ] && ! grep -q '^Totals: ' "$report"; then
    echo "run-qtest.sh: $program ended without a report"
    exit 1
fi
exit "$status"
