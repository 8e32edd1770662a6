# Shared by the benchmark scripts: their arguments, the test inputs and the statistics.
# shellcheck shell=bash

# bench_arguments "$@": sets build and rounds from BUILD_DIR [ROUNDS] [large], large to 1
# when the largest input is asked for, and work to a temporary folder removed on exit.
bench_arguments() {
    build=${1:?usage: $(basename "$0") BUILD_DIR [ROUNDS] [large]}
    rounds=${2:-5}
    large=0
    [ "${3:-}" = large ] && large=1
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
}

# ensure_locales NAME...: generates the UTF-8 locales NAME.UTF-8 (en_US, sv_SE, ...) that
# GNU sort is run under, when they are missing.
ensure_locales() {
    local name
    for name in "$@"; do
        locale -a 2>/dev/null | grep -qi "^$name\.utf-\?8\$" && continue
        echo "generating the $name.UTF-8 locale" >&2
        if ! command -v locale-gen >/dev/null; then
            apt-get install -y -q locales >/dev/null
        fi
        sed -i "s/^# *\($name.UTF-8 UTF-8\)/\1/" /etc/locale.gen
        grep -q "^$name.UTF-8 UTF-8" /etc/locale.gen || echo "$name.UTF-8 UTF-8" >>/etc/locale.gen
        locale-gen >/dev/null
    done
}

# make_list BUILD_DIR LINES OUTPUT [long | LANGUAGE]: writes a generated list file and says
# what it is.
make_list() {
    "$1/bench/makelist" "$2" "$3" ${4:+"$4"}
    echo "input $(basename "$3"): $2 lines${4:+ ($4)}, $(stat -c %s "$3") bytes"
}

# median COLUMN: the median of one whitespace-separated column of standard input.
median() {
    awk -v c="$1" '{ print $c }' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# largest COLUMN: the largest value of one column of standard input.
largest() {
    awk -v c="$1" 'NR == 1 || $c > m { m = $c } END { print m }'
}

# ratio A B: A / B, to two decimals.
ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'
}

# verdict VALUE LIMIT: "met" when VALUE is at most LIMIT, else "NOT met".
verdict() {
    awk -v v="$1" -v l="$2" 'BEGIN { print (v <= l ? "met" : "NOT met") }'
}
