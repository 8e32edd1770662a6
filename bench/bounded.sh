#!/usr/bin/env bash
# Sorts lists larger than listsort's memory, side by side with GNU sort, and prints wall
# time, CPU time and peak memory with the ratios and the verdict against each target:
# - 80,000,000 items (about 0.9 GB) with the address space limited to 2,000,000 KiB, against
#   GNU sort under en_US.UTF-8 and C within the same limit, and the output against
#   listsort's own in-memory output without the limit;
# - 10,000,000 items under -S 100M, against the same list sorted in memory;
# - the peak memory of 10,000,000 items under -S 1M, 20M and 50M in four shapes (one item a
#   line, all on one line between commas, a pipe given as FILE, standard input) against the
#   rule 1.1 x S + 24 MiB, beside GNU sort under C;
# - the peak memory of one item of 100 MB under -S 1M and 50M, from a file and from standard
#   input, and of --check of it, against 1.2 x the item + 1.1 x S + 24 MiB;
# - with HUGE_LINES, once, a list of that many items, meant to be larger than the machine's
#   memory, against the default budget (three quarters of the memory available).
# Temporary files of both programs go to the benchmark's own folder.
# Usage: bench/bounded.sh BUILD_DIR [ROUNDS] [HUGE_LINES]
set -euo pipefail

source "$(dirname "$0")/common.sh"
# One round by default: GNU sort alone takes minutes on the largest list.
bench_arguments "${1:-}" "${2:-1}"
huge_lines=${3:-}
export TMPDIR=$work

ensure_locales en_US

limit_kib=2000000
make_list "$build" 80000000 "$work/80M" >&2
make_list "$build" 10000000 "$work/10M" >&2
tr -s '\r\n' ',' <"$work/10M" >"$work/10M-commas"
echo "$rounds rounds of 80M, $((rounds * 5)) of 10M, medians shown; limited runs under ulimit -v $limit_kib" >&2

measure=$build/bench/measure
listsort=$build/cli/listsort
# env sets the locale for sort alone: this shell may have started before it was generated.
limited() { (ulimit -v "$limit_kib" && exec "$measure" "$@"); }

declare -A runs
for _ in $(seq "$rounds"); do
    runs[80M listsort-limited]+="$(limited "$listsort" -o "$work/out-limited" "$work/80M")"$'\n'
    runs[80M sort-utf8-limited]+="$(limited env LC_ALL=en_US.UTF-8 sort -o "$work/out" "$work/80M")"$'\n'
    runs[80M sort-C-limited]+="$(limited env LC_ALL=C sort -o "$work/out" "$work/80M")"$'\n'
done
# The larger list's outputs go to disk first, so that their write-back does not fall on the
# runs' temporary files below.
sync
# The smaller list five times as often: its seconds move more with the machine's load.
for _ in $(seq $((rounds * 5))); do
    runs[10M listsort-S100M]+="$("$measure" "$listsort" -S 100M -o "$work/out-runs" "$work/10M")"$'\n'
    runs[10M listsort]+="$("$measure" "$listsort" -o "$work/out-memory" "$work/10M")"$'\n'
done
runs[80M listsort]="$("$measure" "$listsort" -o "$work/out-memory-80M" "$work/80M")"
rm -f "$work/80M"

printf '%-6s %-20s %8s %8s %10s\n' input command wall_s cpu_s peak_MiB
declare -A wall peak
for key in "80M listsort-limited" "80M sort-utf8-limited" "80M sort-C-limited" "80M listsort" \
    "10M listsort-S100M" "10M listsort"; do
    wall[$key]=$(printf '%s' "${runs[$key]}" | median 1)
    peak[$key]=$(printf '%s' "${runs[$key]}" | median 3 | awk '{ print $1 / 1024 }')
    printf '%-6s %-20s %8.3f %8.3f %10.1f\n' $key "${wall[$key]}" \
        "$(printf '%s' "${runs[$key]}" | median 2)" "${peak[$key]}"
done

same() { cmp -s "$1" "$2" && echo met || echo "NOT met"; }
echo
echo "targets: 80M limited wall <= 0.5x sort-utf8 and <= 0.6x sort-C, output as in memory;"
echo "         10M -S 100M peak <= 1.1 x 100 + 24 = 134 MiB and wall <= 1.25x in memory,"
echo "         output as in memory"
utf8=$(ratio "${wall[80M listsort-limited]}" "${wall[80M sort-utf8-limited]}")
c=$(ratio "${wall[80M listsort-limited]}" "${wall[80M sort-C-limited]}")
echo "80M limited: wall ${utf8}x sort-utf8 ($(verdict "$utf8" 0.5)), ${c}x sort-C" \
    "($(verdict "$c" 0.6)), output $(same "$work/out-limited" "$work/out-memory-80M")"
slower=$(ratio "${wall[10M listsort-S100M]}" "${wall[10M listsort]}")
echo "10M -S 100M: peak ${peak[10M listsort-S100M]} MiB ($(verdict "${peak[10M listsort-S100M]}" 134))," \
    "wall ${slower}x in memory ($(verdict "$slower" 1.25))," \
    "output $(same "$work/out-runs" "$work/out-memory")"

# Peak memory of each shape of input under each budget, against 1.1 x S + 24 MiB.
echo
printf '%-26s %12s %12s %12s\n' "10M items, peak MiB" "-S 1M" "-S 20M" "-S 50M"
shape() {
    case $1 in
    lines) "$measure" "$listsort" -S "$2" -o "$work/out-shape" "$work/10M" ;;
    commas) "$measure" "$listsort" -S "$2" -o "$work/out-shape" "$work/10M-commas" ;;
    pipe) "$measure" "$listsort" -S "$2" -o "$work/out-shape" <(cat "$work/10M") ;;
    stdin) "$measure" "$listsort" -S "$2" -o "$work/out-shape" <"$work/10M" ;;
    sort) env LC_ALL=C "$measure" sort -S "$2" -o "$work/out-shape" "$work/10M" ;;
    esac
}
shape_verdicts=()
for kind in lines commas pipe stdin sort; do
    row=()
    for size in 1 20 50; do
        kib=$(for _ in $(seq "$rounds"); do shape "$kind" "${size}M"; done | median 3)
        mib=$(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')
        if [ "$kind" = sort ]; then
            row+=("$mib")
        else
            goal=$(awk -v s="$size" 'BEGIN { print 1.1 * s + 24 }')
            row+=("$mib/$goal")
            shape_verdicts+=("$kind -S ${size}M: $(verdict "$mib" "$goal")")
        fi
    done
    printf '%-26s %12s %12s %12s\n' "$kind" "${row[@]}"
done
echo "(listsort's cells: peak/goal; GNU sort under C for comparison)"
printf '%s\n' "${shape_verdicts[@]}" | paste -sd ';' | sed 's/;/; /g'

# One item larger than the budget takes its own size beyond it, and no more.
echo
head -c 100000000 /dev/zero | tr '\0' x >"$work/item"
printf '\r\n' >>"$work/item"
item_mib=$(awk -v b="$(stat -c %s "$work/item")" 'BEGIN { printf "%.1f", b / 1048576 }')
printf '%-26s %12s %12s\n' "one item of ${item_mib} MiB" "-S 1M" "-S 50M"
item_verdicts=()
for kind in file stdin check; do
    row=()
    for size in 1 50; do
        case $kind in
        file) kib=$("$measure" "$listsort" -S "${size}M" -o "$work/out-item" "$work/item" | median 3) ;;
        stdin) kib=$("$measure" "$listsort" -S "${size}M" -o "$work/out-item" <"$work/item" | median 3) ;;
        check) kib=$("$measure" "$listsort" -S "${size}M" -c "$work/item" | median 3) ;;
        esac
        mib=$(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')
        goal=$(awk -v i="$item_mib" -v s="$size" 'BEGIN { printf "%.1f", 1.2 * i + 1.1 * s + 24 }')
        row+=("$mib/$goal")
        item_verdicts+=("$kind -S ${size}M: $(verdict "$mib" "$goal")")
    done
    printf '%-26s %12s %12s\n' "$kind" "${row[@]}"
done
echo "(peak/goal)"
printf '%s\n' "${item_verdicts[@]}" | paste -sd ';' | sed 's/;/; /g'
rm -f "$work/item" "$work/out-item"

if [ -n "$huge_lines" ]; then
    rm -f "$work"/out*
    make_list "$build" "$huge_lines" "$work/huge" >&2
    budget_mib=$(awk '/^MemAvailable:/ { print $2 * 3 / 4 / 1024 }' /proc/meminfo)
    read -r huge_wall _ huge_peak < <("$measure" "$listsort" -o "$work/out" "$work/huge")
    huge_peak=$(awk -v k="$huge_peak" 'BEGIN { print k / 1024 }')
    echo "huge ($huge_lines items, $(stat -c %s "$work/huge") bytes): wall ${huge_wall} s," \
        "peak ${huge_peak} MiB within a budget of ${budget_mib} MiB ($(verdict "$huge_peak" "$budget_mib"))"
fi
