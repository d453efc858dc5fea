#!/bin/sh
# Builds the libFuzzer targets of fuzz/ with clang and runs each in turn,
# starting from its seeds in fuzz/corpus (never written to; what a run
# finds goes to build/fuzz/corpus). Stops at the first finding.
#   scripts/fuzz.sh                       every target for 20 s (CI)
#   scripts/fuzz.sh --seconds S [TARGET...]
#   scripts/fuzz.sh --runs N [TARGET...]  N executions each
# FUZZ_BUILD names another build directory (default build/fuzz).
# fuzz/TARGET.options holds further libFuzzer flags for a target: an input
# longer than a few reports only makes each run slower.
# Each run ends with a line "== TARGET: E executions, cov C, ft F, S s".
set -eu
cd "$(dirname "$0")/.."
limit=-max_total_time=20
case ${1:-} in
    --seconds) limit=-max_total_time=$2; shift 2 ;;
    --runs) limit=-runs=$2; shift 2 ;;
esac
if [ "$(id -u)" = 0 ]; then scripts/install-deps.sh clang-14 libclang-rt-14-dev; fi
build=${FUZZ_BUILD:-build/fuzz}
cmake -S . -B "$build" -DTSD_FUZZ=ON -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTSD_WERROR=ON -DTSD_BUILD_TESTS=OFF \
      -DTSD_BUILD_TOOLS=OFF -DTSD_WITH_EMULATOR=OFF >/dev/null
cmake --build "$build" --target fuzzers -j"$(nproc)"
targets=${*:-$(for source in fuzz/fuzz_*.cpp; do basename "$source" .cpp; done)}
for target in $targets; do
    corpus=$build/corpus/$target
    mkdir -p "$corpus" "$build/findings"
    log=$build/$target.log
    options=$(cat "fuzz/$target.options" 2>/dev/null || true)
    start=$(date +%s)
    # shellcheck disable=SC2086
    if ! "$build/fuzz/$target" "$limit" $options -print_final_stats=1 -artifact_prefix="$build/findings/" \
            "$corpus" "fuzz/corpus/$target" >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "== $target: FAILED (input kept in $build/findings)"
        exit 1
    fi
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -E '^#[0-9]+.*DONE' "$log" | sed -n 's/.* cov: \([0-9]*\) ft: \([0-9]*\).*/cov \1, ft \2/p')
    echo "== $target: $execs executions, $cov, $(($(date +%s) - start)) s"
done
