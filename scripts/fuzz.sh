#!/usr/bin/env bash
# Runs every fuzz target of a sanitizer build for a number of seconds, starting from the
# regression inputs in tests/data/fuzz/<target>/. Usage: scripts/fuzz.sh BUILD-FOLDER SECONDS
set -euo pipefail
cd "$(dirname "$0")/.."
folder=$1
seconds=$2

shopt -s nullglob
targets=("$folder"/fuzz/Fuzz*)
passed=0
for target in "${targets[@]}"; do
  [[ -x $target && -f $target ]] || continue
  name=$(basename "$target")
  corpus=$(mktemp -d)
  seeds=tests/data/fuzz/$name
  mkdir -p "$seeds"
  echo "fuzzing $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$seeds/crash-" "$corpus" "$seeds" >"$corpus.log" 2>&1; then
    tail -n 60 "$corpus.log"
    echo "fuzz target $name failed; the input is kept in $seeds"
    rm -rf "$corpus" "$corpus.log"
    exit 1
  fi
  rm -rf "$corpus" "$corpus.log"
  passed=$((passed + 1))
done
echo "fuzz: $passed passed, 0 failed"
