#!/usr/bin/env bash
# Scaling of `pulsebench simulate` over MPI processes: the default grid (pulse
# counts 6..30, 29 noise levels, 100 repeats: 72 500 trials of joint detection
# and identification) in one plain process and under mpirun on 1..N processes,
# one detector thread per process, wall times and speed-ups, and a check that
# every run wrote the plain run's tables.
#   bench/mpi_scaling.sh [PROGRAM] [MAX_PROCESSES]    (default build/release/app/pulsebench, 2)
#   REPEATS=20 bench/mpi_scaling.sh ...               (a fifth of the grid, for a quick look)
set -euo pipefail
program=${1:-build/release/app/pulsebench}
most=${2:-2}
repeats=${REPEATS:-100}
flags=(--allow-run-as-root --oversubscribe --bind-to none --mca btl self,vader
       --mca btl_vader_single_copy_mechanism none --mca plm_rsh_agent false)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

seconds() { # command...: runs it, prints its wall time in seconds
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>"$out/stderr" || { cat "$out/stderr" >&2; exit 1; }
  end=$(date +%s.%N)
  calc "$end - $start"
}
calc() { awk "BEGIN { print $1 }"; }

echo "grid: default, $repeats repeats, $(nproc) cores"
plain=$(seconds "$program" simulate --repeats "$repeats" --threads 1 --quiet --out "$out/plain")
trials=$(( 25 * 29 * repeats ))
printf "%-28s %8.1f s  %6.3f ms/trial\n" "plain, 1 thread" "$plain" "$(calc "1000 * $plain / $trials")"
for n in $(seq 1 "$most"); do
  t=$(seconds mpirun "${flags[@]}" -n "$n" "$program" simulate --repeats "$repeats" --threads 1 --quiet \
        --out "$out/n$n")
  cmp -s "$out/plain/simulation.csv" "$out/n$n/simulation.csv" || { echo "n=$n: tables differ" >&2; exit 1; }
  printf "%-28s %8.1f s  speed-up %5.2f   %s\n" "mpirun -n $n, 1 thread each" "$t" "$(calc "$plain / $t")" \
    "$(grep -o 'trials on .*' "$out/stderr" || true)"
done
t=$(seconds "$program" simulate --repeats "$repeats" --threads "$most" --quiet --out "$out/threads")
printf "%-28s %8.1f s  speed-up %5.2f\n" "plain, $most threads" "$t" "$(calc "$plain / $t")"
