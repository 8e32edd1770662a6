#!/usr/bin/env bash
# Sorts generated list files with listsort and with GNU sort under en_US.UTF-8 and C,
# side by side, and prints wall time, CPU time and peak memory with the ratios and the
# verdict against each target. Inputs: 1,000,000 short items, 1,000,000 long items (12 to
# 22 words), and with "large", 10,000,000 short items.
# Usage: bench/listsort-vs-sort.sh BUILD_DIR [ROUNDS] [large]
set -euo pipefail

source "$(dirname "$0")/common.sh"
bench_arguments "$@"

ensure_locales en_US

inputs=(short-1M long-1M)
make_list "$build" 1000000 "$work/short-1M" >&2
make_list "$build" 1000000 "$work/long-1M" long >&2
if [ "$large" -eq 1 ]; then
    inputs+=(short-10M)
    make_list "$build" 10000000 "$work/short-10M" >&2
fi
echo "$rounds rounds, medians shown" >&2

measure=$build/bench/measure
commands=(listsort sort-utf8 sort-C)
declare -A runs
for input in "${inputs[@]}"; do
    for _ in $(seq "$rounds"); do
        runs[$input listsort]+="$("$measure" "$build/cli/listsort" -o "$work/out" "$work/$input")"$'\n'
        runs[$input sort-utf8]+="$(LC_ALL=en_US.UTF-8 "$measure" sort -o "$work/out" "$work/$input")"$'\n'
        runs[$input sort-C]+="$(LC_ALL=C "$measure" sort -o "$work/out" "$work/$input")"$'\n'
    done
done

printf '%-10s %-10s %8s %8s %10s\n' input command wall_s cpu_s peak_MiB
declare -A wall cpu peak
for input in "${inputs[@]}"; do
    for command in "${commands[@]}"; do
        key="$input $command"
        wall[$key]=$(printf '%s' "${runs[$key]}" | median 1)
        cpu[$key]=$(printf '%s' "${runs[$key]}" | median 2)
        peak[$key]=$(printf '%s' "${runs[$key]}" | median 3)
        printf '%-10s %-10s %8.3f %8.3f %10.1f\n' "$input" "$command" "${wall[$key]}" \
            "${cpu[$key]}" "$(awk -v k="${peak[$key]}" 'BEGIN { print k / 1024 }')"
    done
done

# Targets by the shape of the items: short items against both sorts, long items against the
# collating sort.
declare -A target=([short sort-C]=0.5 [short sort-utf8]=0.2 [long sort-utf8]=0.25)
echo
echo "targets: short items <= 0.5x sort-C and <= 0.2x sort-utf8, long items <= 0.25x sort-utf8;"
echo "         peak <= 1.0x sort-utf8"
for input in "${inputs[@]}"; do
    line="$input:"
    for reference in sort-C sort-utf8; do
        r=$(ratio "${wall[$input listsort]}" "${wall[$input $reference]}")
        limit=${target[${input%%-*} $reference]:-}
        line+=" wall ${r}x $reference"
        [ -n "$limit" ] && line+=" (target ${limit}x, $(verdict "$r" "$limit"))"
        line+=","
    done
    memory=$(ratio "${peak[$input listsort]}" "${peak[$input sort-utf8]}")
    echo "$line peak ${memory}x sort-utf8 ($(verdict "$memory" 1.0))"
done
