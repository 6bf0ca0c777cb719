#!/usr/bin/env bash
# Fetching a 20 MB message (one base64 attachment) from Dovecot, also over TLS, and sending it to
# aiosmtpd, beside Python's poplib/POP3_SSL/smtplib + email doing the same work in the same run,
# the client's peak memory growth while it fetches a 100 MB attachment, and Check Mail's listing
# of 500 headers through a relay adding 20 ms to each direction: pipelined, one command at a
# time, and poplib. Prints the figures and the ratios.
# Usage: bench/mail.sh [build folder]   (default build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIETPANE_WINDOWS=OFF >/dev/null
cmake --build "$build" -j2 --target MailBench >/dev/null
results=$(mktemp)
memory=$(mktemp)
listing=$(mktemp)
trap 'rm -f "$results" "$memory" "$listing"' EXIT
"$build/bench/MailBench" --benchmark_filter='Fetch(Message|Mail)|Send' \
  --benchmark_out="$results" --benchmark_out_format=json >/dev/null
# In a process of its own, so that the earlier runs do not set its baseline.
"$build/bench/MailBench" --benchmark_filter=PeakMemory --benchmark_out="$memory" --benchmark_out_format=json >/dev/null
"$build/bench/MailBench" --benchmark_filter=ListHeaders --benchmark_out="$listing" --benchmark_out_format=json >/dev/null
/usr/bin/python3 - "$results" "$memory" "$listing" <<'PY'
import json
import sys

runs = {}
for path in sys.argv[1:]:
    for run in json.load(open(path))["benchmarks"]:
        runs[run["run_name"].split("/iterations")[0]] = run

def ms(name):
    return runs[name]["real_time"]

def mbps(name):
    return runs[name]["bytes_per_second"] / 1e6

rows = [
    ("Fetch + decode 20 MB, 32 KiB receives", "BM_FetchMessage/32768", "BM_PythonFetchMessage"),
    ("Fetch + decode 20 MB, 1 KiB receives", "BM_FetchMessage/1024", "BM_PythonFetchMessage"),
    ("Fetch + decode 20 MB over TLS", "BM_FetchMessageTLS", "BM_PythonFetchMessageTLS"),
    ("Encode + send 20 MB", "BM_SendMail", "BM_PythonSendMail"),
]
print(f"{'':40} {'ours ms':>9} {'MB/s':>7} {'Python ms':>10} {'MB/s':>7} {'speed-up':>9}")
for title, ours, python in rows:
    print(f"{title:40} {ms(ours):9.0f} {mbps(ours):7.0f} {ms(python):10.0f} {mbps(python):7.0f} "
          f"{ms(python) / ms(ours):8.1f}x")
growth = runs["BM_PeakMemoryFetch100MB"]["peak_growth_MiB"]
print(f"Peak memory growth while fetching a 100 MB attachment: {growth:.1f} MiB")
print()
print(f"{'Listing 500 headers, 20 ms each way':40} {'ms':>9}")
for title, name in [("pipelined (ours)", "BM_ListHeadersPipelined"),
                    ("one command at a time (ours)", "BM_ListHeadersOneAtATime"),
                    ("Python poplib", "BM_PythonListHeaders")]:
    print(f"{title:40} {ms(name):9.0f}")
print("Targets: fetch at least 3x faster than Python, also over TLS; peak memory growth under 32 MiB;")
print("listing 500 headers pipelined under 2 s.")
PY
