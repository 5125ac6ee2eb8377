#!/usr/bin/env python3
"""Copies C++ sources, writing every non-ASCII character inside a narrow
string or character literal as its Windows-1252 octal escape.

The library's sources are UTF-8 and g++ turns their narrow literals into
Windows-1252 bytes (-fexec-charset=CP1252). clang only knows UTF-8 as the
execution character set, so the fuzz build compiles these copies instead: the
bytes of every text stay the ones the g++ build has. Comments and wide, u8,
u and U literals are left alone (they are not Windows-1252 in any build).

  literais_cp1252.py RAIZ DESTINO ARQUIVO...

Each ARQUIVO (relative to RAIZ) is written under DESTINO with the same
relative path; a copy whose content did not change is not touched, so the
build does not recompile it.
"""
import os
import sys


class ErroFonte(Exception):
    pass


def escapa(texto, inicio, fim, nome, narrow):
    """The literal texto[inicio:fim] (quotes included), escaped."""
    corpo = texto[inicio:fim]
    if not narrow:
        return corpo
    saida = []
    for c in corpo:
        if ord(c) < 0x80:
            saida.append(c)
            continue
        try:
            b = c.encode("cp1252")
        except UnicodeEncodeError:
            linha = texto.count("\n", 0, inicio) + 1
            raise ErroFonte(f"{nome}:{linha}: {c!r} has no Windows-1252 byte")
        # Always three digits: a digit after the escape is not taken into it.
        saida.extend(f"\\{x:03o}" for x in b)
    return "".join(saida)


def converte(texto, nome="<fonte>"):
    saida = []
    i = 0
    n = len(texto)
    while i < n:
        c = texto[i]
        if texto.startswith("//", i):
            j = texto.find("\n", i)
            j = n if j < 0 else j
            saida.append(texto[i:j])
            i = j
        elif texto.startswith("/*", i):
            j = texto.find("*/", i + 2)
            j = n if j < 0 else j + 2
            saida.append(texto[i:j])
            i = j
        elif c.isalnum() or c == "_":
            # An identifier or a number; a quote right after it is a prefix
            # (u8"", L'', R"()") or a digit separator (1'000).
            j = i
            while j < n and (texto[j].isalnum() or texto[j] in "_."):
                j += 1
            palavra = texto[i:j]
            if j < n and texto[j] in "\"'":
                if palavra[0].isdigit() or palavra[0] == ".":
                    saida.append(palavra + texto[j])  # digit separator
                    i = j + 1
                    continue
                if palavra.endswith("R") and texto[j] == '"':
                    k = texto.index("(", j)
                    delim = ")" + texto[j + 1:k] + '"'
                    fim = texto.index(delim, k) + len(delim)
                    corpo = texto[j:fim]
                    if palavra in ("R",) and any(ord(x) >= 0x80 for x in corpo):
                        linha = texto.count("\n", 0, j) + 1
                        raise ErroFonte(f"{nome}:{linha}: non-ASCII raw string")
                    saida.append(palavra + corpo)
                    i = fim
                    continue
                fim = fim_literal(texto, j, nome)
                saida.append(palavra + escapa(texto, j, fim, nome, False))
                i = fim
                continue
            saida.append(palavra)
            i = j
        elif c in "\"'":
            fim = fim_literal(texto, i, nome)
            saida.append(escapa(texto, i, fim, nome, True))
            i = fim
        else:
            saida.append(c)
            i += 1
    return "".join(saida)


def fim_literal(texto, inicio, nome):
    aspa = texto[inicio]
    i = inicio + 1
    while i < len(texto):
        c = texto[i]
        if c == "\\":
            i += 2
            continue
        if c == aspa:
            return i + 1
        if c == "\n":
            break
        i += 1
    linha = texto.count("\n", 0, inicio) + 1
    raise ErroFonte(f"{nome}:{linha}: unterminated literal")


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    raiz, destino = argv[1], argv[2]
    for relativo in argv[3:]:
        with open(os.path.join(raiz, relativo), encoding="utf-8") as f:
            texto = f.read()
        try:
            novo = converte(texto, relativo)
        except ErroFonte as e:
            sys.stderr.write(f"{e}\n")
            return 1
        alvo = os.path.join(destino, relativo)
        try:
            with open(alvo, encoding="utf-8") as f:
                if f.read() == novo:
                    continue
        except OSError:
            pass
        os.makedirs(os.path.dirname(alvo), exist_ok=True)
        with open(alvo, "w", encoding="utf-8") as f:
            f.write(novo)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
