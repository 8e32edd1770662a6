# Shared by the benchmark scripts: their arguments, the test input and the statistics.
# shellcheck shell=bash

# bench_arguments "$@": sets build, lines and rounds from BUILD_DIR [LINES] [ROUNDS], and
# work to a temporary folder removed on exit.
bench_arguments() {
    build=${1:?usage: $(basename "$0") BUILD_DIR [LINES] [ROUNDS]}
    lines=${2:-1000000}
    rounds=${3:-5}
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
}

# make_list BUILD_DIR LINES OUTPUT: writes the generated list file and says what it is.
make_list() {
    "$1/bench/makelist" "$2" "$3"
    echo "input: $2 lines, $(stat -c %s "$3") bytes"
}

# median COLUMN: the median of one whitespace-separated column of standard input.
median() {
    awk -v c="$1" '{ print $c }' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# largest COLUMN: the largest value of one column of standard input.
largest() {
    awk -v c="$1" 'NR == 1 || $c > m { m = $c } END { print m }'
}
