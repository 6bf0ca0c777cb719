#!/usr/bin/env bash
# Line reading and dot-terminated block capture over loopback, beside plain recv of the same
# bytes measured in the same run. Prints MB/s and the ratio to the raw rate.
# Usage: bench/net.sh [build folder]   (default build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIETPANE_WINDOWS=OFF >/dev/null
cmake --build "$build" -j2 --target NetBench >/dev/null
results=$(mktemp)
trap 'rm -f "$results"' EXIT
"$build/bench/NetBench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_out="$results" --benchmark_out_format=json >/dev/null
/usr/bin/python3 - "$results" <<'PY'
import json
import sys

rates = {}
for run in json.load(open(sys.argv[1]))["benchmarks"]:
    if run.get("aggregate_name") == "median":
        rates[run["run_name"]] = run["bytes_per_second"] / 1e6

rows = [
    ("ReadLine, 76-char lines, 32 KiB receives", "BM_ReadLine/32768/real_time", "BM_RawRecvLines/32768/real_time"),
    ("ReadLine, 76-char lines, 1 KiB receives", "BM_ReadLine/1024/real_time", "BM_RawRecvLines/1024/real_time"),
    ("CaptureLines 20 MB block to byte stream", "BM_CaptureLinesToByteStream/32768/real_time",
     "BM_RawRecvBlock/32768/real_time"),
    ("CaptureLines 20 MB block to string list", "BM_CaptureLinesToStringList/32768/real_time",
     "BM_RawRecvBlock/32768/real_time"),
]
print(f"{'':44} {'ours MB/s':>10} {'raw recv MB/s':>14} {'ratio':>6}")
for title, ours, raw in rows:
    print(f"{title:44} {rates[ours]:10.0f} {rates[raw]:14.0f} {rates[ours] / rates[raw]:6.2f}")
print("Target: CaptureLines at least 0.50 of the raw rate.")
PY
