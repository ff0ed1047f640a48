#!/usr/bin/env bash
# Runs every libFuzzer harness of the readers for SECONDS each (default 600) under the address
# and undefined-behaviour sanitizers, starting from its seed corpus; new inputs go to
# build-fuzz/corpus/<reader>/, findings to build-fuzz/findings/<reader>/.
# Usage: bench/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is needed (apt-get install clang)" >&2; exit 1; }
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DLUMESTA_FUZZ=ON -DLUMESTA_TESTS=OFF -DLUMESTA_DESKTOP=OFF >/dev/null
readers=()
for harness in tests/fuzz/fuzz_*.cpp; do
    reader=$(basename "$harness" .cpp)
    reader=${reader#fuzz_}
    [ "$reader" = support ] || readers+=("$reader")
done
cmake --build build-fuzz -j "$(nproc 2>/dev/null || echo 2)" --target "${readers[@]/#/fuzz_}"
status=0
for reader in "${readers[@]}"; do
    corpus=build-fuzz/corpus/$reader
    findings=build-fuzz/findings/$reader
    mkdir -p "$corpus" "$findings"
    echo "== fuzz_$reader for $seconds s"
    if ! "build-fuzz/fuzz_$reader" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=25 \
         -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "tests/fuzz/$reader" \
         2>"build-fuzz/fuzz_$reader.log"; then
        echo "fuzz_$reader: finding in $findings (log build-fuzz/fuzz_$reader.log)"
        status=1
    fi
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "build-fuzz/fuzz_$reader.log" || true
done
exit $status
