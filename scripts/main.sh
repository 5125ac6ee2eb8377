#!/usr/bin/env bash
# The main job: builds the library, the examples and the printer simulator,
# starts a simulated Bematech printer on a pseudo-terminal, and then
#  - with a display: opens the test application ready to use against it;
#  - without one: runs a day at the till against it (examples/venda.cpp);
# and prints the simulated paper roll. The simulator is always stopped, also
# when something fails.
set -euo pipefail
cd "$(dirname "$0")/.."
# Only what the job runs: the Bematech family, the application only when
# there is a display to show it on, no benchmarks.
dir=build/main
janela=0
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then janela=1; fi
alvos=(zuvoecf-sim venda)
app=OFF
if [ "$janela" = 1 ]; then alvos+=(ecfteste); app=ON; fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUVO_DRIVERS=Bematech \
  -DZUVO_BUILD_APP=$app -DZUVO_BUILD_BENCH=OFF -DZUVO_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j"$(nproc)" --target "${alvos[@]}"

tmp=$(mktemp -d)
porta="$tmp/ecf"
papel="$tmp/papel.txt"
sim_pid=""
para() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$tmp"
}
trap para EXIT
trap 'exit 130' INT TERM

"$dir/zuvoecf-sim" Bematech --link "$porta" --paper "$papel" >"$tmp/sim.out" 2>&1 &
sim_pid=$!
# The simulator makes the link once its pseudo-terminal is ready.
for _ in $(seq 1 50); do
  [ -L "$porta" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$tmp/sim.out" >&2; exit 1; }
  sleep 0.1
done
[ -L "$porta" ] || { echo "o simulador não criou $porta" >&2; exit 1; }

echo "== Impressora Bematech simulada em $porta"
status=0
if [ "$janela" = 1 ] && [ -x "$dir/app/ecfteste" ]; then
  echo "== Abrindo o aplicativo de teste (feche a janela para terminar)"
  "$dir/app/ecfteste" --modelo Bematech --porta "$porta" || status=$?
else
  echo "== Sem tela (DISPLAY não definido): venda de exemplo sem janelas"
  timeout 120 "$dir/examples/venda" "$porta" || status=$?
fi

echo
echo "== Bobina de papel da impressora simulada"
if [ -f "$papel" ]; then
  # The printer prints Windows-1252; the terminal most likely speaks UTF-8.
  iconv -f CP1252 -t UTF-8 "$papel" 2>/dev/null || cat "$papel"
fi
exit "$status"
