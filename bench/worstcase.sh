#!/usr/bin/env bash
# Lists made for the worst case of a collating sort, side by side with GNU sort: every shape
# that bench/makeworstcase writes (long runs of combining marks in each place of an item,
# every vowel sign of Tibetan and the Indic scripts that decomposes, long digit runs of every
# script, one item of megabytes), sorted by listsort --locale en_US and by GNU sort under
# en_US.UTF-8, with the verdict against the target: at most max(1 s, 2 x GNU sort's time).
# Then the lists of the first shapes are loaded into the window (offscreen), with its
# longest event-loop gap against 16 ms and its load time against listsort's.
# Usage: bench/worstcase.sh BUILD_DIR [ROUNDS] [SHAPE...]
set -euo pipefail

source "$(dirname "$0")/common.sh"
bench_arguments "${1:-}" "${2:-3}"
shift $(($# < 2 ? $# : 2))
ensure_locales en_US

measure=$build/bench/measure
listsort=$build/cli/listsort
make=$build/bench/makeworstcase
# A run that takes this long is stopped, counts as this long, and is not run again.
limit=60
mapfile -t shapes < <("$make" --list | cut -f1)
[ $# -gt 0 ] && shapes=("$@")
echo "$rounds rounds, medians shown; a run is stopped after $limit s" >&2

# wall_of RUNS: the median wall time of measure's lines.
wall_of() {
    printf '%s' "$1" | median 1
}

# timed RUNS COMMAND...: measure's line for COMMAND, stopped after $limit seconds, unless
# RUNS already holds a stopped run; then that line again.
timed() {
    local runs=$1
    shift
    if [ -n "$runs" ] && awk -v w="$(printf '%s' "$runs" | head -1 | cut -d' ' -f1)" \
        -v l="$limit" 'BEGIN { exit !(w >= l) }'; then
        printf '%s\n' "$runs" | head -1
    else
        "$measure" timeout "$limit" "$@" || true
    fi
}

printf '%-30s %8s %10s %8s %8s  %s\n' shape KiB listsort_s sort_s target_s verdict
missed=()
for shape in "${shapes[@]}"; do
    "$make" "$shape" "$work/list"
    own= sort=
    for _ in $(seq "$rounds"); do
        own+="$(timed "$own" "$listsort" --locale en_US -o "$work/out" "$work/list")"$'\n'
        sort+="$(timed "$sort" env LC_ALL=en_US.UTF-8 sort -o "$work/out" "$work/list")"$'\n'
    done
    own_wall=$(wall_of "$own")
    sort_wall=$(wall_of "$sort")
    target=$(awk -v s="$sort_wall" 'BEGIN { t = 2 * s; printf "%.3f", (t > 1 ? t : 1) }')
    result=$(verdict "$own_wall" "$target")
    awk -v w="$sort_wall" -v l="$limit" 'BEGIN { exit !(w >= l) }' &&
        result+=" (GNU sort stopped)"
    [[ "$result" == met* ]] || missed+=("$shape")
    printf '%-30s %8d %10.3f %8.3f %8.3f  %s\n' "$shape" "$(($(stat -c %s "$work/list") / 1024))" \
        "$own_wall" "$sort_wall" "$target" "$result"
done

echo
echo "the window, loading the lists of the shapes of the table that started this benchmark:"
printf '%-30s %10s %8s %10s %8s  %s\n' shape listsort_s load_s max_gap_ms target_s verdict
window_shapes=(after-u0f72 after-a after-primes long-after-u0f72 u0f73 one-huge-item digit-runs)
for shape in "${window_shapes[@]}"; do
    [[ " ${shapes[*]} " == *" $shape "* ]] || continue
    "$make" "$shape" "$work/list"
    own= window=
    for _ in $(seq "$rounds"); do
        own+="$("$measure" "$listsort" --locale en_US -o "$work/out" "$work/list")"$'\n'
        # loadbench prints "load_s max_gap_ms first_item_ms items add_median_ms add_max_ms";
        # LC_NUMERIC keeps its decimal point.
        window+="$(env -u LC_ALL -u LC_COLLATE LANG=en_US.UTF-8 LC_NUMERIC=C QT_QPA_PLATFORM=offscreen \
            timeout "$limit" "$build/bench/loadbench" "$work/list" 2>/dev/null || echo "$limit $((limit * 1000))")"$'\n'
    done
    own_wall=$(wall_of "$own")
    load=$(printf '%s' "$window" | median 1)
    gap=$(printf '%s' "$window" | largest 2)
    # The load ends in about listsort's time: a third more, or a second.
    target=$(awk -v s="$own_wall" 'BEGIN { t = 1.3 * s; printf "%.3f", (t > 1 ? t : 1) }')
    result="load $(verdict "$load" "$target"), gap $(verdict "$gap" 16)"
    [[ "$result" == *"NOT met"* ]] && missed+=("window: $shape")
    printf '%-30s %10.3f %8.3f %10.1f %8.3f  %s\n' "$shape" "$own_wall" "$load" "$gap" \
        "$target" "$result"
done

echo
echo "targets: listsort <= max(1 s, 2 x GNU sort) on every shape; the window's load <= max(1 s,"
echo "1.3 x listsort) with no event-loop gap over 16 ms"
if [ ${#missed[@]} -eq 0 ]; then
    echo "all met"
else
    printf 'NOT met: %s\n' "${missed[@]}"
fi
