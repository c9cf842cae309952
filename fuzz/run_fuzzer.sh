#!/bin/sh
# Runs one fuzz target for a while from its seeds: run_fuzzer.sh BINARY SECONDS SEEDS WORKDIR
# New inputs and any crashing input stay under WORKDIR. Exit 77 (skipped) when the target was
# not built, non-zero when the target found a fault.
set -eu
binary=$1 seconds=$2 seeds=$3 work=$4
[ -x "$binary" ] || { echo "fuzz target $binary not built"; exit 77; }
name=$(basename "$binary")
mkdir -p "$work/corpus/$name" "$work/artifacts"
# A finding exits 1: libFuzzer's own code for it, 77, is the one the suite takes for "skipped".
exec "$binary" -max_total_time="$seconds" -timeout=10 -error_exitcode=1 -rss_limit_mb=1024 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/$name-" "$work/corpus/$name" "$seeds"
