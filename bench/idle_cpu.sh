#!/usr/bin/env bash
# What rvconf costs while it only watches a unit: the virtual unit on a pseudo-terminal, rvconf attached to
# it offscreen (the monitor page showing after the handshake, the status window open, as at every start),
# its automatic read of the configuration over. Then, over SECONDS, the CPU rvconf used as a share of one
# core, how often its threads were woken (voluntary context switches: each is a sleep that ended), and the
# monitor polls the unit received (their period should stay 270 ms). With --strace, a second window of
# STRACE_SECONDS counts rvconf's system calls (strace -c -f; strace itself slows the program down). With
# --still the unit's values never change, so nothing on the page is drawn again: what is left is the cost of
# watching (the polls, their replies, working out the values), apart from the cost of showing changed ones.
#   bench/idle_cpu.sh RVCONF RVSIM [SECONDS=60] [--still] [--strace [STRACE_SECONDS=10]]
set -euo pipefail
rvconf=$1; rvsim=$2; shift 2
seconds=60
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then seconds=$1; shift; fi
still=
if [ "${1:-}" = --still ]; then still=--still; shift; fi
strace_seconds=0
if [ "${1:-}" = --strace ]; then strace_seconds=${2:-10}; fi

home=$(mktemp -d)
sim_out="$home/rvsim.out"
sim=; app=
cleanup() {
  if [ -n "$app" ]; then kill "$app" 2>/dev/null; wait "$app" 2>/dev/null || true; fi
  if [ -n "$sim" ]; then kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true; fi
  rm -rf "$home"
}
trap cleanup EXIT INT TERM

"$rvsim" --state "$home/unit.fcg" --stats "$home/stats.txt" --lifetime $(( seconds + strace_seconds + 120 )) \
  $still >"$sim_out" 2>/dev/null &
sim=$!
for _ in $(seq 100); do grep -q '^PTY ' "$sim_out" && break; sleep 0.1; done
pty=$(sed -n 's/^PTY //p' "$sim_out")
[ -n "$pty" ] || { echo "idle_cpu: rvsim did not start" >&2; exit 1; }

RVCONF_HOME="$home" QT_QPA_PLATFORM=offscreen "$rvconf" --port "$pty" >/dev/null 2>&1 &
app=$!

count() { sed -n "s/^$1 //p" "$home/stats.txt" 2>/dev/null || true; }
polls() { echo $(( $(count CONFIGD || echo 0) + $(count CONFIGG || echo 0) )); }
# The automatic read ends with "CONFIGS"; a few seconds more and only the polls go on.
for _ in $(seq 300); do [ -n "$(count CONFIGS)" ] && break; sleep 0.1; done
[ -n "$(count CONFIGS)" ] || { echo "idle_cpu: rvconf did not read the unit" >&2; exit 1; }
sleep 3

# CPU time in nanoseconds from the scheduler's own count (schedstat), summed over the threads; the tick counts
# of /proc/PID/stat have a resolution of 10 ms, too coarse for a program that uses a few hundred ms a minute.
cpu_ns() {
  if [ -r "/proc/$app/schedstat" ]; then cat /proc/"$app"/task/*/schedstat | awk '{s += $1} END {printf "%.0f", s}'
  else awk -v hz="$(getconf CLK_TCK)" '{printf "%.0f", ($14 + $15) * 1e9 / hz}' "/proc/$app/stat"; fi
}
switches() { cat /proc/"$app"/task/*/status | awk '/^voluntary_ctxt_switches/ {s += $2} END {print s}'; }
threads() { ls /proc/"$app"/task | wc -l; }

t0=$(cpu_ns); w0=$(switches); p0=$(polls); s0=$(date +%s.%N)
sleep "$seconds"
t1=$(cpu_ns); w1=$(switches); p1=$(polls); s1=$(date +%s.%N)

awk -v t="$(( t1 - t0 ))" -v w="$(( w1 - w0 ))" -v p="$(( p1 - p0 ))" -v s0="$s0" -v s1="$s1" \
    -v n="$(threads)" -v still="${still:+ (standing still)}" 'BEGIN {
  s = s1 - s0
  printf "idle_cpu: %.1f s with the unit connected%s, monitor page and status window showing\n", s, still
  printf "  CPU: %.3f %% of a core (%.3f s)\n", 100 * t / 1e9 / s, t / 1e9
  printf "  wakeups: %.1f a second (voluntary context switches of its %d threads)\n", w / s, n
  if (p > 0) printf "  monitor polls: %d, one every %.1f ms\n", p, 1000 * s / p
}'

if [ "$strace_seconds" -gt 0 ] && command -v strace >/dev/null 2>&1; then
  echo "  system calls in ${strace_seconds} s (strace -c -f):"
  timeout -s INT "$strace_seconds" strace -c -f -p "$app" -o "$home/strace.txt" >/dev/null 2>&1 || true
  awk -v s="$strace_seconds" 'NR > 2 && $NF != "total" && $4 ~ /^[0-9]+$/ {
      printf "    %-16s %7.1f a second\n", $NF, $4 / s }' "$home/strace.txt" | sort -k2 -n -r | head -8
fi
exit 0
