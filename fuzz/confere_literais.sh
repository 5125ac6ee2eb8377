#!/usr/bin/env bash
# Proves that the fuzz build's escaped copies keep every text's bytes: each
# source with non-ASCII characters is compiled by g++ twice, as the library
# is built (-fexec-charset=CP1252) and from its copy in build/fuzz/fontes
# with the default (UTF-8) execution character set; the two objects must be
# identical byte for byte. Run after building the fuzz targets:
#
#   fuzz/confere_literais.sh            (takes a few minutes)
set -euo pipefail
cd "$(dirname "$0")/.."
raiz=$PWD
copia=$raiz/build/fuzz/fontes
objetos=$(mktemp -d)
trap 'rm -rf "$objetos"' EXIT
defs=(-DZUVO_VERSAO='"fuzz"')
for f in tests/support/Familia?*.cpp; do
  f=${f#tests/support/Familia}
  defs+=("-DZUVO_COM_$(echo "${f%.cpp}" | tr a-z A-Z)")
done
diferentes=0
mapfile -t fontes < <(grep -lP '[^\x00-\x7f]' core/*.cpp device/*.cpp ecf/*.cpp drivers/*.cpp \
  checks/*.cpp component/*.cpp sim/*.cpp tests/support/Familia*.cpp)
for f in "${fontes[@]}"; do
  o=$(echo "$f" | tr / _).o
  (cd "$raiz" && g++ -std=c++20 -O0 -g0 "${defs[@]}" -I. -Itests \
    -finput-charset=UTF-8 -fexec-charset=CP1252 -c "$f" -o "$objetos/a_$o")
  (cd "$copia" && g++ -std=c++20 -O0 -g0 "${defs[@]}" -I. -Itests -c "$f" -o "$objetos/b_$o")
  if ! cmp -s "$objetos/a_$o" "$objetos/b_$o"; then
    echo "difere: $f"
    diferentes=$((diferentes + 1))
  fi
done
echo "${#fontes[@]} fontes, $diferentes com bytes diferentes"
[ "$diferentes" -eq 0 ]
