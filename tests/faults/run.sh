#!/usr/bin/env bash
# Measures what the suite catches: plants one fault of tests/faults/faults.txt at
# a time in the source tree, builds incrementally and runs the ordinary suite
# (no sanitized build) through CTest in a private network namespace, as
# scripts/test does, stopping at the first failed test. The fault is taken out
# again before the next one and on any exit (an error, Ctrl-C, a kill), so the
# tree is left as it was; files with uncommitted edits are refused.
#
#   tests/faults/run.sh [-o RESULTS] [ID...]   every fault, or those named
#   FAULT_RESULTS=RESULTS                      the same as -o RESULTS
#   FAULT_BUILD_DIR=DIR                        the build folder (build-faults/)
#
# Prints one line a fault, also appended to RESULTS: "ID caught by TEST",
# "ID missed" or "ID does not build"; the time each took goes to stderr, the
# build's and the suite's output to DIR/fault-logs/. Stop it with Ctrl-C or by
# killing its process group (kill -- -PGID), so that the running tests end too.
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib.sh"
results="${FAULT_RESULTS:-}"
if [ "${1:-}" = -o ]; then
    results="$(realpath -m "$2")"
    shift 2
fi
build_dir="${FAULT_BUILD_DIR:-$ROOT/build-faults}"
logs="$build_dir/fault-logs"
staged="$build_dir/tests/screens/chicken.dat"

# The fast suites first, so that a caught fault costs little, then the middling
# ones, then every other test (the longest: hostile peers, soak, fuzzing...).
FAST=(test_chickenfile test_wire test_announcement test_address test_rules test_match
    test_winsock test_acksender test_hatchery test_lobby test_helpers test_title
    test_badfiles test_assets test_coop test_again hardening)
MEDIUM=(test_join test_portmapper test_fight own_chicken practice
    two_programs lossy_two_programs internet_match test_host internet_topology
    bench_smoke package test_lan lossy_sparring internet_strangers)
any() { (IFS='|' && echo "^($*)\$"); }
TIERS=("-R $(any "${FAST[@]}")" "-R $(any "${MEDIUM[@]}")" "-E $(any "${FAST[@]}" "${MEDIUM[@]}")")

# Fields are tab-separated and never empty: id, file, text to find, replacement, what.
declare -A FILE FROM TO
ids=()
while IFS=$'\t' read -r id file from to _; do
    [[ -z "$id" || "$id" == \#* ]] && continue
    ids+=("$id") && FILE[$id]=$file && FROM[$id]=$from && TO[$id]=$to
done <"$ROOT/tests/faults/faults.txt"
[ $# -gt 0 ] && ids=("$@")
files=()
for id in "${ids[@]}"; do
    [ -n "${FILE[$id]:-}" ] || { echo "No fault $id in tests/faults/faults.txt" >&2 && exit 2; }
    files+=("${FILE[$id]}")
done
git -C "$ROOT" diff --quiet HEAD -- "${files[@]}" ||
    { echo "Uncommitted edits in the files the faults change: commit or stash them first." >&2 && exit 2; }

saved="$(mktemp)"
planted=""
restore() {
    [ -z "$planted" ] || cp "$saved" "$ROOT/$planted"
    planted=""
}
trap 'restore; rm -f "$saved"' EXIT
trap 'exit 130' INT TERM HUP

# plant ID: replaces the fault's text, which must occur exactly once in its file.
plant() {
    local path="$ROOT/${FILE[$1]}" from="${FROM[$1]}" text rest
    text="$(<"$path")"
    rest="${text//"$from"/}"
    if [ $((${#text} - ${#rest})) -ne ${#from} ]; then
        echo "$1: the text to find is not in ${FILE[$1]} exactly once" >&2
        return 1
    fi
    cp "$path" "$saved"
    planted="${FILE[$1]}"
    printf '%s\n' "${text/"$from"/"${TO[$1]}"}" >"$path"
}

configure "$build_dir"
mkdir -p "$logs"
for id in "${ids[@]}"; do
    start=$SECONDS
    plant "$id"
    line="$id missed"
    if ! cmake --build "$build_dir" -j2 >"$logs/$id.build" 2>&1; then
        line="$id does not build"
    else
        built=$SECONDS
        : >"$logs/$id.log"
        for tier in "${TIERS[@]}"; do
            # The screen suites read the chicken staged beside them by the build, which
            # the title and bad-file suites remove as they end: put back before each run.
            [ -e "$staged" ] || cp "$ROOT/assets/chickens/rosie.dat" "$staged"
            failed="$build_dir/Testing/Temporary/LastTestsFailed.log"
            rm -f "$failed"
            # shellcheck disable=SC2086 # a tier is an option and its pattern
            in_private_network ctest --test-dir "$build_dir" --output-on-failure --timeout 900 \
                --stop-on-failure --no-tests=ignore $tier >>"$logs/$id.log" 2>&1 && continue
            [ -s "$failed" ] || { echo "$id: ctest failed with no failed test, see $logs/$id.log" >&2 && exit 1; }
            line="$id caught by $(sed -n '1s/^[0-9]*://p' "$failed")"
            break
        done
    fi
    restore
    echo "$line"
    [ -z "$results" ] || echo "$line" >>"$results"
    echo "$id: $((SECONDS - start)) s in all, the build $((${built:-$SECONDS} - start)) s" >&2
    unset built
done
