#!/usr/bin/env bash
# Builds the coder benchmarks in Release and prints their throughput beside Python's (binascii
# and the email package, measured in the same run on the same 20 MB inputs) and the ratio.
# MB/s counts the input bytes: encoded text for decoding, raw bytes for encoding, the whole
# message for the MIME body decoder. Both sides are timed in CPU time of their own process, so
# that other load on the machine skews neither. Usage: bench/coders.sh [BUILD-FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
folder=${1:-build-release}

cmake -S . -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUIETPANE_WINDOWS=OFF >/dev/null
cmake --build "$folder" --target CodersBench --parallel 2 >/dev/null

data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
QUIETPANE_BENCH_DATA=$data "$folder/bench/CodersBench" --benchmark_format=json >"$data/ours.json"

/usr/bin/python3 - "$data" <<'PY'
import binascii, email, json, os, sys, time

folder = sys.argv[1]
def read(name):
    with open(os.path.join(folder, name), "rb") as f:
        return f.read()

def best(work, runs=3):
    times = []
    for _ in range(runs):
        start = time.process_time()
        work()
        times.append(time.process_time() - start)
    return min(times)

def email_decode(message):
    parsed = email.message_from_bytes(message)
    for part in parsed.walk():
        if not part.is_multipart():
            part.get_payload(decode=True)

inputs = {name: read(name) for name in ("raw", "base64", "text", "qp", "message")}
work = [
    ("base64 decode", "BM_Base64Decode", "base64", "binascii.a2b_base64", lambda d: binascii.a2b_base64(d)),
    ("base64 encode", "BM_Base64Encode", "raw", "binascii.b2a_base64", lambda d: binascii.b2a_base64(d, newline=False)),
    ("quoted-printable decode", "BM_QuotedPrintableDecode", "qp", "binascii.a2b_qp", lambda d: binascii.a2b_qp(d)),
    ("quoted-printable encode", "BM_QuotedPrintableEncode", "text", "binascii.b2a_qp", lambda d: binascii.b2a_qp(d)),
    ("MIME body decoder", "BM_IMFDecode", "message", "email.message_from_bytes + get_payload(decode=True)", email_decode),
]
with open(os.path.join(folder, "ours.json")) as f:
    ours = {b["name"].split("/")[0]: b["bytes_per_second"] / 1e6 for b in json.load(f)["benchmarks"]}

print(f"{'work':<25}{'input MB':>9}{'ours MB/s':>11}{'Python MB/s':>13}{'ratio':>8}  Python")
for title, benchmark, name, python_name, function in work:
    data = inputs[name]
    python = len(data) / 1e6 / best(lambda: function(data), 2 if name == "message" else 3)
    print(f"{title:<25}{len(data) / 1e6:>9.1f}{ours[benchmark]:>11.0f}{python:>13.0f}{ours[benchmark] / python:>7.1f}x  {python_name}")
PY
