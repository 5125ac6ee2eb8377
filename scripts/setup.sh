#!/usr/bin/env bash
# Installs the Debian packages the build needs, when they are missing.
set -euo pipefail
# qt6-translations-l10n: Qt's own dialogs in Brazilian Portuguese (qtbase_pt_BR.qm).
pacotes=(g++ cmake make libgtest-dev libgmock-dev qt6-base-dev libgl-dev qt6-translations-l10n)
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
