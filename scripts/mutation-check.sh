#!/usr/bin/env bash
# Mutation check: do the fast tests notice when a rule users depend on is broken?
#
#   scripts/mutation-check.sh [LIST]           (LIST defaults to scripts/mutations.txt)
#   scripts/mutation-check.sh --check [LIST]   only checks that every entry applies (fast)
#
# Copies the working tree (tracked and new files) to a scratch folder, builds it and runs the
# fast tests (all but the end-to-end and packaging labels) as a baseline. Then, for each entry of LIST,
# applies that one deliberate fault to the scratch copy, rebuilds, runs the fast tests and
# restores the file. Reports each fault as caught, MISSED (every test passed) or "did not build",
# and ends with the score. Exit status: 0 when every fault was applied and caught, 1 otherwise.
# Before anything is built, every entry is checked against the sources: one whose file is gone or
# whose text is not in it exactly once (the code changed) is named and the run ends with status 2.
#
# LIST format: blank lines and lines starting with "#" are ignored. An entry is
#   @ FILE | what the fault breaks
#   - exact text to replace (must occur exactly once in FILE)
#   + its replacement
# with one or more "-"/"+" pairs; "\n" in either text stands for a line break.
#
# A developer tool, not part of CI. The scratch folder (MUTATION_DIR, default build-mutation/ in
# the repository) is kept between runs, so only the first run builds everything; later runs
# rebuild what changed. A test that hangs under a fault ends after TESSARO_TEST_TIME_LIMIT
# seconds (60 here), which counts as caught. BASELINE=0 skips the baseline test run (after a run
# whose baseline passed on the same sources).
set -uo pipefail
shopt -u patsub_replacement 2>/dev/null || true

# The repository holding this script (MUTATION_ROOT when the script runs from a copy, which is
# safe to do while the script itself is being edited).
root=${MUTATION_ROOT:-$(cd "$(dirname "$0")/.." && pwd)}
check_only=0
if [ "${1:-}" = --check ]; then
    check_only=1
    shift
fi
list=$(realpath "${1:-$root/scripts/mutations.txt}")
jobs=${JOBS:-2}
export TESSARO_TEST_TIME_LIMIT=${TESSARO_TEST_TIME_LIMIT:-60}

say() { printf '%s\n' "$*"; }

# Entries: parallel arrays of file, description and the pairs (unit separator between texts).
files=() descriptions=() pairs=()
current=-1
while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in
        '' | '#'*) ;;
        '@ '*)
            current=$((current + 1))
            entry=${line#@ }
            files[current]=${entry%% | *}
            descriptions[current]=${entry#* | }
            pairs[current]=""
            ;;
        '-' | '+' | '- '* | '+ '*)
            [ "$current" -ge 0 ] || { say "$list: text before the first entry: $line"; exit 1; }
            text=${line:2}
            pairs[current]+="${text//\\n/$'\n'}"$'\x1f'
            ;;
        *) say "$list: not understood: $line"; exit 1 ;;
    esac
done <"$list"

# Applies the pairs of entry $1 to the text $2: sets `mutated`, or `problem` when a text is not there
# exactly once or the pairs are incomplete.
mutate() {
    local -a texts
    IFS=$'\x1f' read -r -d '' -a texts <<<"${pairs[$1]}"
    unset 'texts[${#texts[@]}-1]' # the newline that <<< adds
    mutated=$2
    problem=""
    if [ $((${#texts[@]} % 2)) -ne 0 ] || [ ${#texts[@]} -eq 0 ]; then
        problem="unpaired texts"
        return
    fi
    local t old new rest
    for ((t = 0; t < ${#texts[@]}; t += 2)); do
        old=${texts[t]} new=${texts[t + 1]}
        rest=${mutated#*"$old"}
        if [ "$rest" = "$mutated" ]; then
            problem="text not found: ${old%%$'\n'*}"
        elif [ "${rest#*"$old"}" != "$rest" ]; then
            problem="text found more than once: ${old%%$'\n'*}"
        fi
        [ -n "$problem" ] && return
        mutated=${mutated/"$old"/"$new"}
    done
}

# Sets `content` to the whole of file $1, trailing line breaks included.
read_content() {
    content=$(cat "$1"; printf x)
    content=${content%x}
}

unapplied=0
for i in "${!files[@]}"; do
    label="${files[i]}: ${descriptions[i]}"
    if [ ! -f "$root/${files[i]}" ]; then
        say "NOT APPLIED   $label (no such file)"
        unapplied=$((unapplied + 1))
        continue
    fi
    read_content "$root/${files[i]}"
    mutate "$i" "$content"
    if [ -n "$problem" ]; then
        say "NOT APPLIED   $label ($problem)"
        unapplied=$((unapplied + 1))
    fi
done
if [ "$unapplied" -gt 0 ]; then
    say "$unapplied of ${#files[@]} entries of $list do not apply to the sources: rewrite them against the code"
    exit 2
fi
if [ "$check_only" = 1 ]; then
    say "all ${#files[@]} entries of $list apply"
    exit 0
fi

scratch=${MUTATION_DIR:-$root/build-mutation}
mkdir -p "$scratch" && scratch=$(cd "$scratch" && pwd)

# Scratch copy of the sources as they stand, with the fetched fonts (never committed). Files keep
# their times, so an unchanged file is not rebuilt; files gone from the tree go from the copy.
src=$scratch/src
rm -rf "$src.new" && mkdir "$src.new"
(cd "$root" && git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf -) |
    tar -xf - -C "$src.new" || exit 1
[ -d "$root/resources/fetched" ] && cp -rp "$root/resources/fetched" "$src.new/resources/"
if [ -d "$src" ]; then
    # Replace changed files only, keeping the old copies' times where the content is equal. A
    # replaced file gets the present time: it may be older than objects built from a fault.
    (cd "$src.new" && find . -type f) | while IFS= read -r f; do
        cmp -s "$src.new/$f" "$src/$f" || { mkdir -p "$(dirname "$src/$f")" && cp "$src.new/$f" "$src/$f"; }
    done
    (cd "$src" && find . -type f) | while IFS= read -r f; do [ -e "$src.new/$f" ] || rm -f "$src/$f"; done
    rm -rf "$src.new"
else
    mv "$src.new" "$src"
fi
build=$scratch/build

# Only what the fast tests run: the viewer itself is needed by the end-to-end tests alone.
targets=(tessaro-core-tests tessaro-platform-helper tessaro-ui-tests tessaro-cli-tests tessaro-query
    tessaro-bench-tests tessaro-bench)
build_all() { nice -n 10 cmake --build "$build" -j "$jobs" --target "${targets[@]}" >"$scratch/build.log" 2>&1; }
fast_tests() {
    (cd "$build" && nice -n 10 ctest -LE '^(e2e|packaging)$' -j "$jobs" --stop-on-failure >"$scratch/test.log" 2>&1)
}

say "scratch copy: $src"
# Warnings stay warnings: a fault often leaves a variable or parameter unused.
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld -DTESSARO_WERROR=OFF >"$scratch/configure.log" 2>&1 ||
    { cat "$scratch/configure.log"; exit 1; }
build_all || { tail -30 "$scratch/build.log"; say "the unchanged sources do not build"; exit 1; }
if [ "${BASELINE:-1}" = 1 ]; then
    fast_tests || { tail -30 "$scratch/test.log"; say "the fast tests fail without any fault"; exit 1; }
    say "baseline: fast tests pass"
fi

caught=0 missed=() unbuilt=()
for i in "${!files[@]}"; do
    file=$src/${files[i]}
    label="${files[i]}: ${descriptions[i]}"
    read_content "$file"
    original=$content
    mutate "$i" "$original"
    printf '%s' "$mutated" >"$file"
    if ! build_all; then
        say "did not build $label"
        unbuilt+=("$label")
    elif fast_tests; then
        say "MISSED        $label"
        missed+=("$label")
    else
        failed=$(grep -m1 -oE '[0-9]+ - [^ ]+ \((Failed|Timeout|Subprocess aborted|SEGFAULT|Exception)\)' "$scratch/test.log")
        say "caught        $label  [${failed:-see test log}]"
        caught=$((caught + 1))
    fi
    printf '%s' "$original" >"$file"
done
build_all # leave the scratch build matching its sources

applied=$((caught + ${#missed[@]}))
say ""
say "score: $caught of $applied applied faults caught (${#missed[@]} missed, ${#unbuilt[@]} did not build)"
for label in "${missed[@]}"; do say "  missed: $label"; done
for label in "${unbuilt[@]}"; do say "  did not build: $label"; done
[ ${#missed[@]} -eq 0 ] && [ ${#unbuilt[@]} -eq 0 ]
