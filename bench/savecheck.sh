#!/usr/bin/env bash
# What telling a change on disk costs a save of about 1 GB (8,000,000 long items), as the
# window's Save makes it: the digest taken of the bytes as they are written, and the look at
# the file that the next Save takes (its status, and the digest of its bytes since its size
# and time agree). Prints the medians and their share of the save against the target.
# Usage: bench/savecheck.sh BUILD_DIR [ROUNDS]
set -euo pipefail

source "$(dirname "$0")/common.sh"
bench_arguments "$@"

make_list "$build" 8000000 "$work/long-8M" long >&2
echo "$rounds rounds, medians shown" >&2
runs=""
for _ in $(seq "$rounds"); do
    runs+="$("$build/bench/savebench" "$work/long-8M" "$work/out")"$'\n'
done

save=$(printf '%s' "$runs" | median 1)
check=$(printf '%s' "$runs" | median 2)
digest=$(printf '%s' "$runs" | median 3)
printf '%-8s %-8s %-8s\n' save_s check_s digest_s
printf '%-8s %-8s %-8s\n' "$save" "$check" "$digest"
share=$(awk -v c="$check" -v d="$digest" -v s="$save" 'BEGIN { printf "%.3f", (c + d) / s }')
echo "target: the check and the digest take at most 5% of the save"
echo "change check: ${share} of the save ($(verdict "$share" 0.05))"
