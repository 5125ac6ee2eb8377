#!/usr/bin/env bash
# Runs a program against a simulated Bematech printer and checks the paper:
#   com_simulador.sh SIMULADOR TEXTO_NO_PAPEL PROGRAMA [ARGS...]
# where an argument @PORTA@ becomes the simulator's port.
set -euo pipefail
sim=$1 texto=$2
shift 2
tmp=$(mktemp -d)
sim_pid=""
para() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$tmp"
}
trap para EXIT
"$sim" Bematech --link "$tmp/ecf" --paper "$tmp/papel.txt" >/dev/null &
sim_pid=$!
for _ in $(seq 1 100); do [ -L "$tmp/ecf" ] && break; sleep 0.05; done
args=()
for a in "$@"; do args+=("${a//@PORTA@/$tmp/ecf}"); done
"${args[@]}"
if ! grep -q "$texto" "$tmp/papel.txt"; then
  echo "\"$texto\" não saiu no papel:" >&2
  cat "$tmp/papel.txt" >&2
  exit 1
fi
