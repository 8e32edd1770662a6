#!/usr/bin/env bash
# Sorts a generated 1,000,000-line list file with listsort and with GNU sort, side by side,
# and prints wall time, CPU time and peak memory of each with the ratios.
# Usage: bench/listsort-vs-sort.sh BUILD_DIR [LINES] [ROUNDS]
set -euo pipefail

source "$(dirname "$0")/common.sh"
bench_arguments "$@"

if ! locale -a 2>/dev/null | grep -qi '^en_US\.utf-\?8$'; then
    echo "generating the en_US.UTF-8 locale"
    if ! command -v locale-gen >/dev/null; then
        apt-get install -y -q locales >/dev/null
    fi
    sed -i 's/^# *\(en_US.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^en_US.UTF-8 UTF-8' /etc/locale.gen || echo 'en_US.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null
fi

make_list "$build" "$lines" "$work/list.lst"
echo "$rounds rounds, medians shown"

measure=$build/bench/measure
declare -A runs
run() { # name command...
    local name=$1
    shift
    runs[$name]+="$("$measure" "$@")"$'\n'
}
for _ in $(seq "$rounds"); do
    run listsort "$build/cli/listsort" -o "$work/out.listsort" "$work/list.lst"
    run sort-utf8 env LC_ALL=en_US.UTF-8 sort -o "$work/out.utf8" "$work/list.lst"
    run sort-C env LC_ALL=C sort -o "$work/out.c" "$work/list.lst"
done

declare -A wall cpu peak
for name in listsort sort-utf8 sort-C; do
    wall[$name]=$(printf '%s' "${runs[$name]}" | median 1)
    cpu[$name]=$(printf '%s' "${runs[$name]}" | median 2)
    peak[$name]=$(printf '%s' "${runs[$name]}" | median 3)
done

printf '%-10s %8s %8s %10s\n' command wall_s cpu_s peak_MiB
for name in listsort sort-utf8 sort-C; do
    printf '%-10s %8.3f %8.3f %10.1f\n' "$name" "${wall[$name]}" "${cpu[$name]}" \
        "$(awk -v k="${peak[$name]}" 'BEGIN { print k / 1024 }')"
done
for other in sort-utf8 sort-C; do
    awk -v n="$other" -v w="${wall[listsort]}" -v W="${wall[$other]}" \
        -v m="${peak[listsort]}" -v M="${peak[$other]}" \
        'BEGIN { printf "listsort / %-9s wall %.2fx  peak memory %.2fx\n", n, w / W, m / M }'
done
