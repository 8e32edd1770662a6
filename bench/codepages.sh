#!/usr/bin/env bash
# Lists from Windows in their code pages, side by side with the same items in UTF-8: sorts
# 1,000,000 generated items in windows-1251 (Russian), windows-1252 (Spanish) and
# windows-932 (Japanese) with listsort in the language's order and locale, next to the UTF-8
# list; the windows-1251 list with GNU sort under ru_RU.CP1251; loads the windows-1251 list
# into the window (offscreen) next to listsort; and reads it again with its code page named
# (--input-encoding), which skips the check for UTF-8 and the detection. Prints the figures,
# the ratios and the verdict against each target.
# Usage: bench/codepages.sh BUILD_DIR [ROUNDS]
set -euo pipefail

source "$(dirname "$0")/common.sh"
bench_arguments "$@"

ensure_locales ru_RU es_ES ja_JP
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.cp1251$'; then
    echo "generating the ru_RU.CP1251 locale" >&2
    grep -q '^ru_RU.CP1251 CP1251' /etc/locale.gen || echo 'ru_RU.CP1251 CP1251' >>/etc/locale.gen
    locale-gen >/dev/null
fi

declare -A codePage=([ru]=CP1251 [es]=CP1252 [ja]=CP932)
declare -A name=([ru]=windows-1251 [es]=windows-1252 [ja]=windows-932)
declare -A posix=([ru]=ru_RU [es]=es_ES [ja]=ja_JP)
languages=(ru es ja)
for language in "${languages[@]}"; do
    make_list "$build" 1000000 "$work/$language-utf8" "$language" >&2
    iconv -f UTF-8 -t "${codePage[$language]}" "$work/$language-utf8" >"$work/$language-cp"
done
echo "$rounds rounds, medians shown" >&2

measure=$build/bench/measure
listsort=$build/cli/listsort
declare -A runs
for _ in $(seq "$rounds"); do
    for language in "${languages[@]}"; do
        for form in utf8 cp; do
            runs[$language $form]+="$(LANG=${posix[$language]}.UTF-8 "$measure" "$listsort" \
                --locale "$language" -o "$work/out-$language-$form" "$work/$language-$form")"$'\n'
        done
    done
    runs[ru named]+="$(LANG=ru_RU.UTF-8 "$measure" "$listsort" --locale ru \
        --input-encoding windows-1251 -o "$work/out-named" "$work/ru-cp")"$'\n'
    runs[ru sort]+="$(LC_ALL=ru_RU.CP1251 "$measure" sort -o "$work/out-sort" "$work/ru-cp")"$'\n'
    # loadbench prints six figures, then measure "wall_s cpu_s peak_kib".
    # LC_NUMERIC=C: the window's library takes the locale's decimal comma for its figures.
    runs[ru window]+="$(LANG=ru_RU.UTF-8 LC_NUMERIC=C QT_QPA_PLATFORM=offscreen "$measure" \
        "$build/bench/loadbench" "$work/ru-cp" 2>/dev/null | paste -sd ' ')"$'\n'
done

declare -A wall peak
printf '%-9s %-26s %8s %10s\n' language command wall_s peak_MiB
for key in "ru utf8" "ru cp" "ru named" "ru sort" "es utf8" "es cp" "ja utf8" "ja cp"; do
    wall[$key]=$(printf '%s' "${runs[$key]}" | median 1)
    peak[$key]=$(printf '%s' "${runs[$key]}" | median 3)
    language=${key% *}
    case ${key#* } in
    utf8) what="listsort, UTF-8" ;;
    cp) what="listsort, ${name[$language]}" ;;
    named) what="listsort --input-encoding" ;;
    sort) what="sort, ru_RU.CP1251" ;;
    esac
    awk -v l="$language" -v c="$what" -v w="${wall[$key]}" -v p="${peak[$key]}" \
        'BEGIN { printf "%-9s %-26s %8.3f %10.1f\n", l, c, w, p / 1024 }'
done
window_load=$(printf '%s' "${runs[ru window]}" | median 1)
printf '%-9s %-26s %8.3f\n' ru "window load, windows-1251" "$window_load"

echo
echo "targets: windows-1251 and windows-1252 <= 1.2x the wall and 1.1x the peak of UTF-8;"
echo "         windows-932 <= 1.2x the wall of UTF-8; windows-1251 <= 0.5x GNU sort;"
echo "         the window's load <= 1.3x listsort's; detection adds nothing measurable"
for language in ru es; do
    time_ratio=$(ratio "${wall[$language cp]}" "${wall[$language utf8]}")
    peak_ratio=$(ratio "${peak[$language cp]}" "${peak[$language utf8]}")
    echo "${name[$language]}: wall ${time_ratio}x UTF-8 ($(verdict "$time_ratio" 1.2))," \
        "peak ${peak_ratio}x UTF-8 ($(verdict "$peak_ratio" 1.1))"
done
time_ratio=$(ratio "${wall[ja cp]}" "${wall[ja utf8]}")
echo "windows-932: wall ${time_ratio}x UTF-8 ($(verdict "$time_ratio" 1.2))"
sort_ratio=$(ratio "${wall[ru cp]}" "${wall[ru sort]}")
echo "windows-1251 against GNU sort: ${sort_ratio}x ($(verdict "$sort_ratio" 0.5))"
window_ratio=$(ratio "$window_load" "${wall[ru cp]}")
echo "window load of windows-1251: ${window_ratio}x listsort ($(verdict "$window_ratio" 1.3))"
detection=$(ratio "${wall[ru cp]}" "${wall[ru named]}")
echo "detected against named: ${detection}x ($(verdict "$detection" 1.05))"
same=$(cmp -s "$work/out-ru-cp" "$work/out-named" && echo same || echo "NOT the same")
echo "output detected and named: $same"
