#!/usr/bin/env bash
# Installs the Debian packages the build needs, when they are missing.
set -euo pipefail
# qt6-translations-l10n: Qt's own dialogs in Brazilian Portuguese (qtbase_pt_BR.qm).
# python3-*: the Python package's tests and its offline install; dpkg-dev,
# file and pkg-config: the Debian packages and the examples built against them.
# clang and libclang-rt-14-dev (libFuzzer and the sanitizers' runtimes): the
# fuzz targets (scripts/fuzz.sh).
pacotes=(g++ cmake make libgtest-dev libgmock-dev qt6-base-dev libgl-dev qt6-translations-l10n
  python3 python3-pytest python3-setuptools python3-wheel python3-pip
  dpkg-dev file pkg-config clang libclang-rt-14-dev)
faltam=()
for p in "${pacotes[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || faltam+=("$p")
done
if [ ${#faltam[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${faltam[@]}"
fi
