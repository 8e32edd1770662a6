#!/usr/bin/env bash
# Loads a generated 1,000,000-line list file into the real window (offscreen) through the
# Load command, and sorts the same file with listsort, side by side. Prints the window's
# load time, its longest event-loop gap and peak memory next to listsort's, with the ratios.
# Usage: bench/window-vs-listsort.sh BUILD_DIR [ROUNDS]
set -euo pipefail

source "$(dirname "$0")/common.sh"
bench_arguments "$@"
lines=1000000

make_list "$build" "$lines" "$work/list.lst"
echo "$rounds rounds: medians, and the worst gap of all rounds"

measure=$build/bench/measure
listsort_runs=
window_runs=
for _ in $(seq "$rounds"); do
    listsort_runs+="$("$measure" "$build/cli/listsort" -o "$work/out.lst" "$work/list.lst")"$'\n'
    # loadbench prints "load_s max_gap_ms items", then measure prints "wall_s cpu_s peak_kib".
    window_runs+="$(QT_QPA_PLATFORM=offscreen "$measure" "$build/bench/loadbench" "$work/list.lst" \
        2>/dev/null | paste -sd ' ')"$'\n'
done

listsort_wall=$(printf '%s' "$listsort_runs" | median 1)
listsort_peak=$(printf '%s' "$listsort_runs" | median 3)
window_load=$(printf '%s' "$window_runs" | median 1)
window_gap=$(printf '%s' "$window_runs" | largest 2)
window_items=$(printf '%s' "$window_runs" | median 3)
window_peak=$(printf '%s' "$window_runs" | median 6)

[ "$window_items" -eq "$lines" ] || echo "warning: the window holds $window_items items"
awk -v lw="$listsort_wall" -v lp="$listsort_peak" -v wl="$window_load" -v wg="$window_gap" \
    -v wp="$window_peak" 'BEGIN {
    printf "%-9s %8s %12s %10s\n", "", "time_s", "max_gap_ms", "peak_MiB"
    printf "%-9s %8.3f %12s %10.1f\n", "listsort", lw, "-", lp / 1024
    printf "%-9s %8.3f %12.1f %10.1f\n", "window", wl, wg, wp / 1024
    printf "window / listsort: load %.2fx (target 2x, %s), peak memory %.2fx (target 2x, %s)\n",
        wl / lw, wl <= 2 * lw ? "met" : "NOT met", wp / lp, wp <= 2 * lp ? "met" : "NOT met"
    printf "longest event-loop gap %.1f ms (target 50 ms, %s)\n", wg, wg <= 50 ? "met" : "NOT met"
}'
