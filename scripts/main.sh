#!/usr/bin/env bash
# The main job: builds the library and its examples and shows them at work.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build/release
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j"$(nproc)"
"$dir/examples/identifica"
