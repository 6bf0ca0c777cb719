#!/usr/bin/env bash
# Fetching a 20 MB message (one base64 attachment) from Dovecot, also over TLS, and sending it to
# aiosmtpd, beside Python's poplib/POP3_SSL/smtplib + email doing the same work in the same run,
# the client's peak memory growth while it fetches a 100 MB attachment, and Check Mail's listing
# of 500 headers through a relay adding 20 ms to each direction: pipelined, one command at a
# time, and poplib. Prints the figures and the ratios. Given a commit, the same benchmark built
# from that commit runs in the same go, and its figures stand beside ours as "before".
# Usage: bench/mail.sh [build folder] [commit for "before"]   (default build-bench, none)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
before=${2:-}
configure_and_build() { # source folder, build folder
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIETPANE_WINDOWS=OFF >/dev/null
  cmake --build "$2" -j2 --target MailBench >/dev/null
}
run_benchmarks() { # MailBench binary, output prefix[, what the timed names start with]
  "$1" --benchmark_filter="${3:-}(Fetch(Message|Mail)|Send)" --benchmark_out="$2-results.json" \
    --benchmark_out_format=json >/dev/null
  # In a process of its own, so that the earlier runs do not set its baseline.
  "$1" --benchmark_filter=PeakMemory --benchmark_out="$2-memory.json" --benchmark_out_format=json >/dev/null
  "$1" --benchmark_filter=ListHeaders --benchmark_out="$2-listing.json" --benchmark_out_format=json >/dev/null
}
source bench/commit-source.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
configure_and_build . "$build"
if [ -n "$before" ]; then
  # The commit's own sources, kept with its build folder for the next run.
  source="$build-before-source"
  unpack_commit "$before" "$source" "$build-before"
  configure_and_build "$source" "$build-before"
  # Python's figures are read from this run's own build only.
  run_benchmarks "$build-before/bench/MailBench" "$work/before" '^BM_'
fi
run_benchmarks "$build/bench/MailBench" "$work/after"
/usr/bin/python3 - "$work" <<'PY'
import json
import os
import sys

work = sys.argv[1]


def load(prefix):
    runs = {}
    for part in ("results", "memory", "listing"):
        path = os.path.join(work, f"{prefix}-{part}.json")
        if os.path.exists(path):
            for run in json.load(open(path))["benchmarks"]:
                runs[run["run_name"].split("/iterations")[0]] = run
    return runs


runs = load("after")
before = load("before")


def ms(name, table=runs):
    return table[name]["real_time"]


def mbps(name):
    return runs[name]["bytes_per_second"] / 1e6


def then(name):
    return f"{ms(name, before):9.0f}" if name in before else f"{'':9}"


rows = [
    ("Fetch + decode 20 MB, 32 KiB receives", "BM_FetchMessage/32768", "BM_PythonFetchMessage"),
    ("Fetch + decode 20 MB, 1 KiB receives", "BM_FetchMessage/1024", "BM_PythonFetchMessage"),
    ("Fetch + decode 20 MB over TLS", "BM_FetchMessageTLS", "BM_PythonFetchMessageTLS"),
    ("Encode + send 20 MB", "BM_SendMail", "BM_PythonSendMail"),
]
print(f"{'':40} {'before ms':>9} {'ours ms':>9} {'MB/s':>7} {'Python ms':>10} {'MB/s':>7} {'speed-up':>9}")
for title, ours, python in rows:
    print(f"{title:40} {then(ours)} {ms(ours):9.0f} {mbps(ours):7.0f} {ms(python):10.0f} "
          f"{mbps(python):7.0f} {ms(python) / ms(ours):8.1f}x")
growth = runs["BM_PeakMemoryFetch100MB"]["peak_growth_MiB"]
if before:
    print(f"Peak memory growth while fetching a 100 MB attachment: {growth:.1f} MiB "
          f"(before: {before['BM_PeakMemoryFetch100MB']['peak_growth_MiB']:.1f} MiB)")
else:
    print(f"Peak memory growth while fetching a 100 MB attachment: {growth:.1f} MiB")
print()
print(f"{'Listing 500 headers, 20 ms each way':40} {'before ms':>9} {'ms':>9}")
for title, name in [("pipelined (ours)", "BM_ListHeadersPipelined"),
                    ("one command at a time (ours)", "BM_ListHeadersOneAtATime"),
                    ("Python poplib", "BM_PythonListHeaders")]:
    print(f"{title:40} {then(name)} {ms(name):9.0f}")
print("Targets: fetch at least 3x faster than Python, also over TLS; peak memory growth under 32 MiB;")
print("listing 500 headers pipelined under 2 s.")
PY
