#!/usr/bin/env bash
# Runs each fuzz target for SECONDS seconds, one after another, on one core each.
#
#     tests/fuzz/run-fuzzers.sh BUILD_DIR SECONDS [TARGET...]
#
# New inputs that reach new code go to BUILD_DIR/fuzz/corpus/TARGET; an input that crashes, hangs
# or breaks an invariant is kept as BUILD_DIR/fuzz/crashes/TARGET-crash-<sha1> (or -timeout-,
# -oom-, -leak-). Exits non-zero when any target found something.
set -uo pipefail
cd "$(dirname "$0")/../.."

build=$1
seconds=$2
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(document view archive settings)
# The interface target exists only where the GUI packages were found.
[ -x "$build/tests/fuzz/tessaro-fuzz-view" ] || targets=("${targets[@]/view/}")

declare -A dictionary=([document]=xml.dict [view]=xml.dict [archive]=zip.dict [settings]=json.dict)
# Documents may grow to 1 MB, where depth and size start to matter; the view starts from the
# document seeds.
declare -A options=([document]=-max_len=1048576 [view]=-max_len=1048576)
declare -A seeds=([view]=document)
failed=()
for target in "${targets[@]}"; do
    [ -n "$target" ] || continue
    binary=$build/tests/fuzz/tessaro-fuzz-$target
    corpus=$build/fuzz/corpus/$target
    crashes=$build/fuzz/crashes
    mkdir -p "$corpus" "$crashes"
    # The first folder receives new inputs; the others are read only: seeds made by the build and
    # the hand-written cases with the inputs that once crashed.
    inputs=("$corpus")
    seed=${seeds[$target]:-$target}
    for extra in "$build/tests/fuzz/seeds/$seed" "tests/fuzz/corpus/$seed"; do
        [ -d "$extra" ] && inputs+=("$extra")
    done
    echo "== fuzzing $target for ${seconds}s"
    if ! "$binary" -max_total_time="$seconds" -timeout=60 -print_final_stats=1 ${options[$target]:-} \
        -dict="tests/fuzz/${dictionary[$target]}" -artifact_prefix="$crashes/$target-" "${inputs[@]}" \
        > "$build/fuzz/$target.log" 2>&1; then
        failed+=("$target")
        tail -n 60 "$build/fuzz/$target.log"
    fi
    grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|stat::new_units_added)' \
        "$build/fuzz/$target.log" | awk -v t="$target" '!seen[$0]++ { print "   " t " " $0 }'
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found faults in: ${failed[*]} (inputs in $build/fuzz/crashes/, logs in $build/fuzz/)"
    exit 1
fi
echo "fuzzing: no findings"
