# Sourced by the comparison scripts, from the source folder, before anything else: checks
# that the release build is there (`bin` its program folder, `melo_dsu` the command-line
# tool), makes the scratch folder `work`, removed on exit, and defines
# `compare RUNS NAME COMMAND [NAME COMMAND ...]`, which times whole processes with hyperfine,
# without a shell in between (output goes to /dev/null), and prints each command's median in
# milliseconds, and `paired` (below), which compares two commands run in turns.
bin=build/release/bin
melo_dsu=${MELO_DSU:-$bin/melo-dsu} # MELO_DSU: another build to measure
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

# `paired RUNS NAME_A COMMAND_A NAME_B COMMAND_B` runs the two commands in turns (A then B,
# B then A, ...) after two warm-up pairs and prints the medians of the per-pair ratios A/B of
# the wall time and of the processor time (user + system), then each command's medians in
# milliseconds. Two runs taken side by side see the same load from other processes, so their
# ratio holds up on a shared machine where single times do not.
paired() {
  local runs=$1 name_a=$2 cmd_a=$3 name_b=$4 cmd_b=$5 i
  local rows
  rows=$(mktemp /tmp/melo-bench-XXXXXX.txt)
  for ((i = -2; i < runs; i++)); do
    if ((i % 2 == 0)); then
      time_one "$cmd_a" a
      time_one "$cmd_b" b
    else
      time_one "$cmd_b" b
      time_one "$cmd_a" a
    fi
    ((i < 0)) || echo "$wall_a $cpu_a $wall_b $cpu_b" >>"$rows"
  done
  awk -v a="$name_a" -v b="$name_b" '
    function median(v, n,   i, j, t) {
      for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
      return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    { n++; rw[n] = $1 / $3; rc[n] = $2 / $4; wa[n] = $1; ca[n] = $2; wb[n] = $3; cb[n] = $4 }
    END {
      printf "%s / %s: wall %.2f, cpu %.2f (median of %d paired ratios)\n", a, b, median(rw, n), median(rc, n), n
      printf "%-10s median wall %8.2f ms, cpu %8.2f ms\n", a, median(wa, n) * 1000, median(ca, n) * 1000
      printf "%-10s median wall %8.2f ms, cpu %8.2f ms\n", b, median(wb, n) * 1000, median(cb, n) * 1000
    }' "$rows"
  rm -f "$rows"
}

# Runs COMMAND (split into words, no shell, output discarded) and sets wall_SUFFIX and
# cpu_SUFFIX to its wall and processor (user + system) seconds. The processor time comes from
# the builtin `times` (what this shell's finished children used), called in this shell itself:
# in a command substitution it would count the subshell's children only.
time_one() {
  local start end
  times >"$work/times-before"
  start=$EPOCHREALTIME
  $1 >/dev/null 2>&1
  end=$EPOCHREALTIME
  times >"$work/times-after"
  printf -v "wall_$2" '%s' "$(awk -v s="$start" -v e="$end" 'BEGIN { print e - s }')"
  printf -v "cpu_$2" '%s' "$(awk 'FNR == 2 { split($1, u, /[ms]/); split($2, y, /[ms]/)
      t = u[1] * 60 + u[2] + y[1] * 60 + y[2]; if (FILENAME ~ /after/) d += t; else d -= t }
    END { print d }' "$work/times-before" "$work/times-after")"
}
