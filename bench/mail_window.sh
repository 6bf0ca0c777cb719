#!/usr/bin/env bash
# The mail window's receive page, offscreen, against Dovecot: Check Mail listing 500 messages beside
# Python's poplib issuing the same commands (STAT, LIST, then TOP n 0 and LIST n per message) in the
# same run, and the time from a click on a row to the message shown when it carries a 20 MB
# attachment, beside Python's poplib + email fetching and decoding the same message. The same
# benchmark built from an earlier commit runs in the same run, for a before/after comparison.
# Usage: bench/mail_window.sh [build folder] [earlier commit]   (defaults: build, d4ade90)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
before=${2:-d4ade90}
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

# Builds the benchmark in the folder from the source tree and runs those named by the filter
# (all by default) into a JSON file.
measure() {
  local source=$1 folder=$2 output=$3
  cmake -S "$source" -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIETPANE_WINDOWS=ON >/dev/null
  cmake --build "$folder" -j2 --target MailWindowTiming >/dev/null
  QT_QPA_PLATFORM=offscreen "$folder/bench/MailWindowTiming" --benchmark_filter="${4:-.}" \
    --benchmark_out="$output" --benchmark_out_format=json >/dev/null
}

source bench/commit-source.sh
earlier="$build-before"
unpack_commit "$before" "$earlier/source" "$earlier/build"
# Python's figures are read from this run's own build only.
measure "$earlier/source" "$earlier/build" "$results/before.json" '^BM_(CheckMail500|ClickToShown20MB)$'
measure . "$build" "$results/after.json"

/usr/bin/python3 - "$results/before.json" "$results/after.json" "$before" <<'PY'
import json
import sys

def runs(path):
    return {run["run_name"].split("/iterations")[0]: run["real_time"] for run in json.load(open(path))["benchmarks"]}

before, after = runs(sys.argv[1]), runs(sys.argv[2])
rows = [
    ("Check Mail, 500 messages listed", "BM_CheckMail500", "BM_PythonCheckMail500"),
    ("Click on a row to message shown, 20 MB", "BM_ClickToShown20MB", "BM_PythonFetch20MB"),
]
print(f"{'':42} {'before ms':>10} {'after ms':>9} {'after/before':>13} {'Python ms':>10} {'speed-up':>9}")
for title, ours, python in rows:
    print(f"{title:42} {before[ours]:10.0f} {after[ours]:9.0f} {after[ours] / before[ours]:13.2f}"
          f" {after[python]:10.0f} {after[python] / after[ours]:8.1f}x")
print(f"before: commit {sys.argv[3]}; after: this tree. Python: poplib with the same commands, headers")
print("read by email.parser; the 20 MB row fetches the message and decodes its attachment to a file")
print("(email package). The speed-up is Python's time over ours (after).")
PY
