# Sourced by the comparison scripts, from the source folder, before anything else: checks
# that the release build is there (`bin` its program folder, `melo_dsu` the command-line
# tool), makes the scratch folder `work`, removed on exit, and defines
# `compare RUNS NAME COMMAND [NAME COMMAND ...]`, which times whole processes with hyperfine,
# without a shell in between (output goes to /dev/null), and prints each command's median in
# milliseconds.
bin=build/release/bin
melo_dsu=$bin/melo-dsu
[ -x "$melo_dsu" ] || { echo "build the release preset first" >&2; exit 1; }

work=$(mktemp -d /tmp/melo-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

compare() {
  local runs=$1
  shift
  local args=()
  while [ $# -gt 0 ]; do
    args+=(-n "$1" "$2")
    shift 2
  done
  local csv
  csv=$(mktemp /tmp/melo-bench-XXXXXX.csv)
  hyperfine -N --style basic --warmup 3 --runs "$runs" --export-csv "$csv" "${args[@]}" >/dev/null 2>&1
  awk -F, 'NR > 1 { printf "%-10s median %8.2f ms\n", $1, $4 * 1000 }' "$csv"
  rm -f "$csv"
}
