# Sourced by the comparison scripts: `compare RUNS NAME COMMAND [NAME COMMAND ...]` times
# whole processes with hyperfine, without a shell in between (output goes to /dev/null), and
# prints each command's median in milliseconds.
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
