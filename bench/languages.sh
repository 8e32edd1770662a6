#!/usr/bin/env bash
# The order in the user's language, side by side with the root order and with GNU sort:
# sorts 1,000,000 generated items in the letters of each of sv, da, pl, es and cs with
# listsort --locale L, listsort --locale root and GNU sort under L's UTF-8 locale; loads the
# Swedish list into the window (offscreen) under LANG=sv_SE.UTF-8 and LANG=C; times the start
# of listsort, which builds the same table as the window, in each language against root; and
# sorts 26 items of a few letters and 16,000 Tibetan vowel signs each. Prints the figures,
# the ratios and the verdict against each target.
# Usage: bench/languages.sh BUILD_DIR [ROUNDS]
set -euo pipefail

source "$(dirname "$0")/common.sh"
bench_arguments "$@"

declare -A posix=([sv]=sv_SE [da]=da_DK [pl]=pl_PL [es]=es_ES [cs]=cs_CZ)
languages=(sv da pl es cs)
ensure_locales "${posix[@]}"
for language in "${languages[@]}"; do
    make_list "$build" 1000000 "$work/$language" "$language" >&2
done
: >"$work/empty"
echo "$rounds rounds, medians shown" >&2

measure=$build/bench/measure
listsort=$build/cli/listsort
verdicts=()
printf '%-9s %-16s %8s %10s\n' language command wall_s peak_MiB
for language in "${languages[@]}"; do
    own= root= sort= start_own= start_root=
    for _ in $(seq "$rounds"); do
        own+="$("$measure" "$listsort" --locale "$language" -o "$work/out" "$work/$language")"$'\n'
        root+="$("$measure" "$listsort" --locale root -o "$work/out" "$work/$language")"$'\n'
        sort+="$(LC_ALL=${posix[$language]}.UTF-8 "$measure" sort -o "$work/out" "$work/$language")"$'\n'
        start_own+="$("$measure" "$listsort" --locale "$language" "$work/empty")"$'\n'
        start_root+="$("$measure" "$listsort" --locale root "$work/empty")"$'\n'
    done
    own_wall=$(printf '%s' "$own" | median 1)
    root_wall=$(printf '%s' "$root" | median 1)
    sort_wall=$(printf '%s' "$sort" | median 1)
    own_peak=$(printf '%s' "$own" | median 3)
    root_peak=$(printf '%s' "$root" | median 3)
    sort_peak=$(printf '%s' "$sort" | median 3)
    start_ms=$(awk -v a="$(printf '%s' "$start_own" | median 1)" \
        -v b="$(printf '%s' "$start_root" | median 1)" 'BEGIN { printf "%.1f", (a - b) * 1000 }')
    awk -v l="$language" -v ow="$own_wall" -v rw="$root_wall" -v sw="$sort_wall" \
        -v op="$own_peak" -v rp="$root_peak" -v sp="$sort_peak" -v s="${posix[$language]}" 'BEGIN {
        printf "%-9s %-16s %8.3f %10.1f\n", l, "listsort " l, ow, op / 1024
        printf "%-9s %-16s %8.3f %10.1f\n", l, "listsort root", rw, rp / 1024
        printf "%-9s %-16s %8.3f %10.1f\n", l, "sort " s, sw, sp / 1024
    }'
    to_root=$(awk -v a="$own_wall" -v b="$root_wall" 'BEGIN { printf "%.2f", a / b }')
    to_sort=$(awk -v a="$own_wall" -v b="$sort_wall" 'BEGIN { printf "%.2f", a / b }')
    peak=$(awk -v a="$own_peak" -v b="$root_peak" 'BEGIN { printf "%.2f", a / b }')
    verdicts+=("$language: ${to_root}x root ($(verdict "$to_root" 1.3)), ${to_sort}x GNU sort ($(verdict "$to_sort" 0.5)), peak ${peak}x root ($(verdict "$peak" 1.1)), table at start +${start_ms} ms ($(verdict "$start_ms" 20))")
done

window_sv= window_root=
for _ in $(seq "$rounds"); do
    # loadbench prints six figures, the first the load time, and measure three; LC_NUMERIC
    # keeps their decimal points.
    window_sv+="$(env -u LC_ALL -u LC_COLLATE LANG=sv_SE.UTF-8 LC_NUMERIC=C QT_QPA_PLATFORM=offscreen \
        "$measure" "$build/bench/loadbench" "$work/sv" 2>/dev/null | paste -sd ' ')"$'\n'
    window_root+="$(env -u LC_ALL -u LC_COLLATE LANG=C QT_QPA_PLATFORM=offscreen \
        "$measure" "$build/bench/loadbench" "$work/sv" 2>/dev/null | paste -sd ' ')"$'\n'
done
load_sv=$(printf '%s' "$window_sv" | median 1)
load_root=$(printf '%s' "$window_root" | median 1)
printf '%-9s %-16s %8.3f\n' sv "window sv_SE" "$load_sv" sv "window C" "$load_root"
window=$(awk -v a="$load_sv" -v b="$load_root" 'BEGIN { printf "%.2f", a / b }')
verdicts+=("window: LANG=sv_SE.UTF-8 loads in ${window}x the time of LANG=C ($(verdict "$window" 1.3))")

# Items that share a long run of combining marks, which ICU's weights take time in the
# square of the run's length to work out; they differ before and after it, so that their
# order is that of their letters.
mark=$(printf '\u0f71')
run=$(printf "%.0s$mark" $(seq 16000))
for index in $(seq 0 25); do
    printf '%sbc%s%s\n' "$(printf "\\x$(printf %x $((97 + index % 3)))")" "$run" \
        "$(printf "\\x$(printf %x $((97 + index)))")"
done | shuf --random-source=<(yes) >"$work/tibetan"
marks=$("$measure" "$listsort" -o "$work/out" "$work/tibetan")
marks_wall=$(printf '%s\n' "$marks" | median 1)
tr -d '\r' <"$work/out" | cmp -s - <(LC_ALL=C sort "$work/tibetan") && order=right || order=WRONG
printf '%-9s %-16s %8.3f\n' bo "26 marked items" "$marks_wall"
verdicts+=("26 items of 16,000 marks: ${marks_wall} s ($(verdict "$marks_wall" 1)), order $order")

echo
echo "targets: <= 1.3x root, <= 0.5x GNU sort, peak <= 1.1x root, table <= 20 ms at start;"
echo "window <= 1.3x its load in root; 26 marked items <= 1 s in ICU's order"
printf '%s\n' "${verdicts[@]}"
