#!/usr/bin/env bash
# Loads generated list files of 1,000,000 and 3,000,000 items (and with "large",
# 10,000,000) into the real window (offscreen) through the Load command, and sorts the same
# files with listsort, side by side. Prints for each the window's load time, its longest
# event-loop gap, the time to its first items and its peak memory next to listsort's, with
# the ratios and the verdict against each target, and the time of an Add click into the
# largest list.
# Usage: bench/window-vs-listsort.sh BUILD_DIR [ROUNDS] [large]
set -euo pipefail

source "$(dirname "$0")/common.sh"
bench_arguments "$@"

sizes=(1000000 3000000)
[ "$large" -eq 1 ] && sizes+=(10000000)
for lines in "${sizes[@]}"; do
    make_list "$build" "$lines" "$work/list-$lines" >&2
done
echo "$rounds rounds: medians, and the worst gap of all rounds" >&2

measure=$build/bench/measure
printf '%-9s %-8s %8s %7s %10s %8s %10s\n' items program time_s ratio max_gap_ms first_ms peak_MiB
verdicts=()
for lines in "${sizes[@]}"; do
    listsort_runs=
    window_runs=
    for _ in $(seq "$rounds"); do
        listsort_runs+="$("$measure" "$build/cli/listsort" -o "$work/out" "$work/list-$lines")"$'\n'
        # loadbench prints "load_s max_gap_ms first_item_ms items add_median_ms add_max_ms",
        # then measure prints "wall_s cpu_s peak_kib".
        window_runs+="$(QT_QPA_PLATFORM=offscreen "$measure" "$build/bench/loadbench" \
            "$work/list-$lines" 2>/dev/null | paste -sd ' ')"$'\n'
    done
    listsort_wall=$(printf '%s' "$listsort_runs" | median 1)
    listsort_peak=$(printf '%s' "$listsort_runs" | median 3)
    load=$(printf '%s' "$window_runs" | median 1)
    gap=$(printf '%s' "$window_runs" | largest 2)
    first=$(printf '%s' "$window_runs" | largest 3)
    items=$(printf '%s' "$window_runs" | median 4)
    add_median=$(printf '%s' "$window_runs" | median 5)
    add_max=$(printf '%s' "$window_runs" | largest 6)
    peak=$(printf '%s' "$window_runs" | median 9)
    [ "$items" -eq "$lines" ] || echo "warning: the window holds $items items" >&2
    time_ratio=$(awk -v a="$load" -v b="$listsort_wall" 'BEGIN { printf "%.2f", a / b }')
    peak_ratio=$(awk -v a="$peak" -v b="$listsort_peak" 'BEGIN { printf "%.2f", a / b }')
    awk -v n="$lines" -v lw="$listsort_wall" -v lp="$listsort_peak" -v wl="$load" -v g="$gap" \
        -v f="$first" -v wp="$peak" -v tr="$time_ratio" -v pr="$peak_ratio" 'BEGIN {
        printf "%-9s %-8s %8.3f %7s %10s %8s %10.1f\n", n, "listsort", lw, "", "-", "-", lp / 1024
        printf "%-9s %-8s %8.3f %6sx %10.1f %8.1f %10.1f (%sx)\n", n, "window", wl, tr, g, f, wp / 1024, pr
    }'
    verdicts+=("$lines items: load $(verdict "$time_ratio" 1.1), gap $(verdict "$gap" 16), first items $(verdict "$first" 100), peak memory $(verdict "$peak_ratio" 1.2)")
    last_add="Add into $items items: median ${add_median} ms, slowest ${add_max} ms ($(verdict "$add_max" 5))"
done
echo
echo "targets: load <= 1.1x listsort, gap <= 16 ms, first items <= 100 ms, peak <= 1.2x listsort, Add <= 5 ms"
printf '%s\n' "${verdicts[@]}" "$last_add"
