#!/usr/bin/env bash
# Builds the Debian packages from a build folder, installs them, and builds
# and runs the examples against what was installed: the C++ and C programs
# with the installed CMake package, the Python script with the package
# installed by pip (offline) and the system's libzuvoecf.so.0, all against
# the installed zuvoecf-sim.
#
#   scripts/pacotes.sh [BUILD_DIR]         (default build/release)
#
# As root the packages are installed with dpkg -i (CI: a fresh machine).
# Otherwise, or with ZUVO_PREFIXO=DIR, they are unpacked into DIR instead.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build/release}" && pwd)
trabalho=$(mktemp -d)
trap 'rm -rf "$trabalho"' EXIT

echo "== Pacotes Debian"
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/*.deb
for d in "$build"/*.deb; do dpkg-deb -f "$d" Package Depends | paste -sd' '; done

prefixo="${ZUVO_PREFIXO:-}"
if [ -z "$prefixo" ] && [ "$(id -u)" -eq 0 ]; then
  dpkg -i "$build"/*.deb >/dev/null
  usr=/usr
else
  prefixo=${prefixo:-$trabalho/raiz}
  for d in "$build"/*.deb; do dpkg-deb -x "$d" "$prefixo"; done
  usr=$prefixo/usr
  export LD_LIBRARY_PATH="$usr/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
fi
echo "== Instalados em $usr"

echo "== Exemplos compilados contra a instalação"
cmake -S examples -B "$trabalho/exemplos" -DCMAKE_PREFIX_PATH="$usr" >/dev/null
cmake --build "$trabalho/exemplos" -j"$(nproc)" >/dev/null
# The C example also builds with plain cc and pkg-config's flags.
if command -v pkg-config >/dev/null; then
  PKG_CONFIG_PATH="$usr/lib/pkgconfig" cc -Wall -Wextra -o "$trabalho/venda_pc" examples/venda_c.c \
    $(PKG_CONFIG_PATH="$usr/lib/pkgconfig" pkg-config --cflags --libs zuvoecf)
fi

# Debian's interpreter, where python3-setuptools and python3-pip are.
py=python3
[ -x /usr/bin/python3 ] && py=/usr/bin/python3
echo "== Pacote Python (pip, sem índice)"
"$py" -m pip install -q --root-user-action=ignore --no-build-isolation --no-index --target "$trabalho/py" ./bindings/python
rm -rf bindings/python/build bindings/python/src/*.egg-info

# Each program sells a receipt on its own simulated printer.
roda=tests/capi/com_simulador.sh
for programa in "$trabalho/exemplos/venda" "$trabalho/exemplos/venda_c"; do
  echo "== $(basename "$programa")"
  "$roda" "$usr/bin/zuvoecf-sim" "Volte sempre" "$programa" @PORTA@
done
echo "== venda.py"
env -u ZUVOECF_LIB PYTHONPATH="$trabalho/py" \
  "$roda" "$usr/bin/zuvoecf-sim" "Volte sempre" "$py" examples/venda.py @PORTA@
echo "== Pacotes instalados e exemplos rodando"
