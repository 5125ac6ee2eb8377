#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SEGUNDOS seconds, two at a
# time, from the committed seeds in fuzz/sementes/.
#
#   scripts/fuzz.sh [SEGUNDOS] [TARGET...]     (default: 600 s, every target)
#   scripts/fuzz.sh 3600 fuzz_familia_Daruma
#
# ZUVO_FUZZ_SANITIZERS=undefined builds without AddressSanitizer (in
# build/fuzz-undefined), several times faster for long local runs;
# ZUVO_FUZZ_ENTRADAS=N stops each target after N inputs instead of the time.
#
# What a run learns stays in build/fuzz/corpus/<target> and is used again by
# the next run; the seeds in the checkout are only read. A crash, a
# sanitizer report or an input slower than 10 s fails the run, leaves the
# input in build/fuzz/achados/ and prints the target's log; replay it with
# build/fuzz/<target> build/fuzz/achados/<file>.
set -euo pipefail
cd "$(dirname "$0")/.."
segundos=${1:-600}
shift || true
./scripts/setup.sh
sanitizers=${ZUVO_FUZZ_SANITIZERS:-address,undefined}
build=build/fuzz
[ "$sanitizers" = address,undefined ] || build=build/fuzz-${sanitizers//,/-}
export build entradas=${ZUVO_FUZZ_ENTRADAS:--1}
CXX=clang++ cmake -S fuzz -B "$build" -DZUVO_FUZZ_SANITIZERS="$sanitizers" >/dev/null
cmake --build "$build" -j"$(nproc)"

alvos=("$@")
if [ ${#alvos[@]} -eq 0 ]; then
  for s in fuzz/sementes/*/; do alvos+=("$(basename "$s")"); done
  alvos=("${alvos[@]/#/fuzz_}")
fi
mkdir -p build/fuzz/achados build/fuzz/logs

roda() {
  local alvo=$1 segundos=$2
  local sementes=fuzz/sementes/${alvo#fuzz_} corpus=build/fuzz/corpus/$alvo
  local log=build/fuzz/logs/$alvo.log
  mkdir -p "$corpus"
  if "$build/$alvo" -max_total_time="$segundos" -runs="$entradas" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix=build/fuzz/achados/"$alvo"- \
      "$corpus" "$sementes" >"$log" 2>&1; then
    echo "$alvo: $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') inputs"
  else
    echo "$alvo: FALHOU (log abaixo)"
    tail -n 60 "$log"
    return 1
  fi
}
export -f roda
printf '%s\n' "${alvos[@]}" | xargs -P 2 -I{} bash -c 'roda "$@"' _ {} "$segundos"
