#!/usr/bin/env bash
# The mail window's receive page, offscreen, against Dovecot: Check Mail listing 500 messages beside
# Python's poplib issuing the same commands (STAT, LIST, then TOP n 0 and LIST n per message) in the
# same run, and the time from a click on a row to the message shown when it carries a 20 MB
# attachment, beside Python's poplib + email fetching and decoding the same message.
# Usage: bench/mail_window.sh [build folder]   (default build; it needs the Qt windows)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIETPANE_WINDOWS=ON >/dev/null
cmake --build "$build" -j2 --target MailWindowTiming >/dev/null
results=$(mktemp)
trap 'rm -f "$results"' EXIT
QT_QPA_PLATFORM=offscreen "$build/bench/MailWindowTiming" --benchmark_out="$results" \
  --benchmark_out_format=json >/dev/null
/usr/bin/python3 - "$results" <<'PY'
import json
import sys

runs = {run["run_name"].split("/iterations")[0]: run for run in json.load(open(sys.argv[1]))["benchmarks"]}

def ms(name):
    return runs[name]["real_time"]

rows = [
    ("Check Mail, 500 messages listed", "BM_CheckMail500", "BM_PythonCheckMail500"),
    ("Click on a row to message shown, 20 MB", "BM_ClickToShown20MB", "BM_PythonFetch20MB"),
]
print(f"{'':42} {'ours ms':>9} {'Python ms':>10} {'speed-up':>9}")
for title, ours, python in rows:
    print(f"{title:42} {ms(ours):9.0f} {ms(python):10.0f} {ms(python) / ms(ours):8.1f}x")
print("Python: poplib with the same commands, headers read by email.parser; the 20 MB row fetches")
print("the message and decodes its attachment to a file (email package).")
PY
