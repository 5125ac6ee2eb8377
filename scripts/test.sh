#!/usr/bin/env bash
# Builds everything and runs the whole test suite (ZUVO_SANITIZE=1: with
# AddressSanitizer and UndefinedBehaviorSanitizer, in its own build folder).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
if [ "${ZUVO_SANITIZE:-0}" = 1 ]; then
  dir=build/asan
  opts=(-DZUVO_SANITIZE=ON -DZUVO_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
else
  dir=build/release
  opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
fi
cmake -S . -B "$dir" "${opts[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
# Most tests wait on simulated printers, not on the CPU: one job more than
# the cores keeps both busy.
ctest --test-dir "$dir" --output-on-failure -j"$(( $(nproc) + 1 ))" --timeout 600
