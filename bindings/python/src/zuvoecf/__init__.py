"""Fiscal printers (ECF) from Python, over the C interface of ZuvoECF.

    import zuvoecf
    with zuvoecf.ECF("bematech", "/dev/ttyUSB0") as ecf:
        ecf.abre_cupom()
        ecf.vende_item("123", "CAFÉ", "18", 1, 9.90)
        ...

One ECF object is one printer on one port, used by one thread at a time;
separate objects on separate ports may run in separate threads. Texts are
str and reach the printer in its code page (Windows-1252): a character it
lacks raises ArgumentoInvalido before anything is sent.
"""

import ctypes
import datetime
import enum
from ctypes import byref, c_char, c_char_p, c_double, c_int, c_size_t, c_uint32, c_void_p
from dataclasses import dataclass
from typing import Callable, List, Optional, Sequence

from . import _lib

__all__ = ["ECF", "Estado", "Aliquota", "FormaPagamento", "ComprovanteNaoFiscal",
           "UnidadeMedida", "ErroECF", "ComandoInvalido", "SemResposta", "NaoAtivo",
           "ArgumentoInvalido", "ErroSerial", "ErroGeral", "ErroInterno", "versao"]

_c = _lib.carrega()

# ---------------------------------------------------------------------------
# Errors


class ErroECF(Exception):
    """An error of the library: str(e) is the Portuguese message to show."""

    status = -1

    def __init__(self, mensagem: str):
        super().__init__(mensagem)
        self.mensagem = mensagem


class ComandoInvalido(ErroECF):
    """The command was refused: not offered by the model, or an argument refused."""
    status = 1


class SemResposta(ErroECF):
    """The printer did not answer, answered with an error, or is off line."""
    status = 2


class NaoAtivo(ErroECF):
    """The printer is not active."""
    status = 3


class ArgumentoInvalido(ErroECF, ValueError):
    """Text with no Windows-1252 form, an unknown model, an index out of range."""
    status = 4


class ErroSerial(ErroECF):
    """The serial port failed."""
    status = 5


class ErroGeral(ErroECF):
    """Any other error (model not set, a setting out of range, ...)."""
    status = 6


class ErroInterno(ErroECF):
    """Out of memory or an unexpected failure inside the library."""
    status = 7


_CLASSES = {c.status: c for c in (ComandoInvalido, SemResposta, NaoAtivo, ArgumentoInvalido,
                                  ErroSerial, ErroGeral, ErroInterno)}


class Estado(enum.IntEnum):
    NAO_INICIALIZADA = 0
    DESCONHECIDO = 1
    LIVRE = 2
    VENDA = 3
    PAGAMENTO = 4
    RELATORIO = 5
    BLOQUEADA = 6
    REQUER_Z = 7
    REQUER_X = 8


@dataclass(frozen=True)
class Aliquota:
    indice: str
    aliquota: float
    tipo: str  # "T" ICMS (goods), "S" ISS (services)


@dataclass(frozen=True)
class FormaPagamento:
    indice: str
    descricao: str
    permite_vinculado: bool


@dataclass(frozen=True)
class ComprovanteNaoFiscal:
    indice: str
    descricao: str
    permite_vinculado: bool
    forma_pagamento: str


@dataclass(frozen=True)
class UnidadeMedida:
    indice: str
    descricao: str


_DIA_ZERO = datetime.datetime(1899, 12, 30)


def _data_para_dias(d) -> float:
    if d is None or d == 0:
        return 0.0
    if isinstance(d, (int, float)):
        return float(d)
    if not isinstance(d, datetime.datetime):
        d = datetime.datetime(d.year, d.month, d.day)
    return (d - _DIA_ZERO) / datetime.timedelta(days=1)


def _dias_para_data(dias: float) -> datetime.datetime:
    return _DIA_ZERO + datetime.timedelta(days=dias)


def _b(texto: str) -> bytes:
    if not isinstance(texto, str):
        raise TypeError("texto esperado, veio %s" % type(texto).__name__)
    if "\0" in texto:
        raise ArgumentoInvalido("Texto com caractere nulo")
    try:
        return texto.encode("utf-8")
    except UnicodeEncodeError as e:
        raise ArgumentoInvalido("Texto não é UTF-8 válido: %s" % e) from None


def _s(dados: Optional[bytes]) -> str:
    return dados.decode("utf-8") if dados else ""


def versao() -> str:
    """'ZuvoECF <version>' of the loaded library."""
    return _s(_c.zuvoecf_versao())


# ---------------------------------------------------------------------------
# The printer


def _propriedade(nome, tipo, escreve=True):
    ler = getattr(_c, "zuvoecf_get_" + nome)
    escrever = getattr(_c, "zuvoecf_set_" + nome, None) if escreve else None

    def get(self):
        if tipo is str:
            v = c_char_p()
            self._chama(ler, byref(v))
            return _s(v.value)
        v = c_int()
        self._chama(ler, byref(v))
        return bool(v.value) if tipo is bool else v.value

    def set(self, valor):
        self._chama(escrever, _b(valor) if tipo is str else int(valor))

    return property(get, set if escrever else None)


def _consulta(nome, tipo):
    f = getattr(_c, "zuvoecf_" + nome)

    def consulta(self):
        v = c_char_p() if tipo is str else c_double() if tipo is float else c_int()
        self._chama(f, byref(v))
        return _s(v.value) if tipo is str else tipo(v.value)

    consulta.__name__ = nome
    return consulta


def _simples(nome):
    f = getattr(_c, "zuvoecf_" + nome)

    def operacao(self):
        self._chama(f)

    operacao.__name__ = nome
    return operacao


def _linhas(linhas: Sequence[str]):
    dados = [_b(l) for l in linhas]
    return (c_char_p * max(len(dados), 1))(*dados), len(dados)


class ECF:
    """One fiscal printer.

    ECF("bematech", "/dev/ttyUSB0", timeout=2) sets the model, the port and
    any other setting by name; "with" activates it and deactivates it (and
    frees the handle) at the end. Every setting of the component is a
    property (timeout, retentar, operador, decimais_preco, baud, ...).
    """

    def __init__(self, modelo: Optional[str] = None, porta: Optional[str] = None, **ajustes):
        h = c_void_p()
        status = _c.zuvoecf_new(byref(h))
        if status:
            raise _CLASSES.get(status, ErroECF)(_s(_c.zuvoecf_erro(None)))
        self._h = h
        self._callbacks = {}
        self._erro_callback = None
        if modelo is not None:
            self.modelo = modelo
        if porta is not None:
            self.porta = porta
        for nome, valor in ajustes.items():
            if not hasattr(type(self), nome):
                self.close()
                raise AttributeError("ajuste desconhecido: %s" % nome)
            setattr(self, nome, valor)

    # ----- lifetime -----

    def close(self) -> None:
        """Deactivates the printer and frees the handle (idempotent)."""
        h, self._h = getattr(self, "_h", None), None
        if h:
            _c.zuvoecf_free(h)

    def __del__(self):
        self.close()

    def __enter__(self) -> "ECF":
        try:
            self.ativar()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def _chama(self, funcao, *args):
        if not self._h:
            raise NaoAtivo("ECF já fechado")
        status = funcao(self._h, *args)
        erro, self._erro_callback = self._erro_callback, None
        if erro is not None:
            raise erro
        if status:
            raise _CLASSES.get(status, ErroECF)(_s(_c.zuvoecf_erro(self._h)))

    # ----- settings (the plain ones are added below the class) -----

    @property
    def form_msg_color(self) -> int:
        v = c_uint32()
        self._chama(_c.zuvoecf_get_form_msg_color, byref(v))
        return v.value

    @form_msg_color.setter
    def form_msg_color(self, cor: int) -> None:
        self._chama(_c.zuvoecf_set_form_msg_color, cor)

    def _bytes(self, funcao) -> bytes:
        dados, tam = c_char_p(), c_size_t()
        self._chama(funcao, byref(dados), byref(tam))
        return ctypes.string_at(dados, tam.value) if tam.value else b""

    @property
    def comando_enviado(self) -> bytes:
        """The last frame sent, as bytes."""
        return self._bytes(_c.zuvoecf_get_comando_enviado)

    @property
    def resposta_comando(self) -> bytes:
        """The last answer received, as bytes."""
        return self._bytes(_c.zuvoecf_get_resposta_comando)

    # ----- callbacks: the program's own windows -----

    def _guarda(self, chave, tipo_cb, setter, funcao, adapta, padrao):
        if funcao is None:
            self._chama(setter, tipo_cb(), None)
            self._callbacks.pop(chave, None)
            return

        def ponte(_usuario, *args):
            try:
                return adapta(funcao, *args)
            except BaseException as e:  # raised again when the call returns
                if self._erro_callback is None:
                    self._erro_callback = e
                return padrao

        cb = tipo_cb(ponte)
        self._chama(setter, cb, None)
        self._callbacks[chave] = (funcao, cb)

    def _callback(self, chave):
        return self._callbacks.get(chave, (None,))[0]

    @property
    def on_retentar(self) -> Optional[Callable[[str, str], bool]]:
        """f(mensagem, situacao) -> bool: try again after a failure?"""
        return self._callback("retentar")

    @on_retentar.setter
    def on_retentar(self, f) -> None:
        self._guarda("retentar", _lib.RETENTAR_CB, _c.zuvoecf_set_retentar_cb, f,
                     lambda f, m, s: 1 if f(_s(m), _s(s)) else 0, 0)

    @property
    def on_aguarde(self) -> Optional[Callable[[str], object]]:
        """f(texto): the wait text with its countdown ("" ends the wait). It may
        return a key: "C" cancels a port search, "\\r" ends a report pause."""
        return self._callback("aguarde")

    @on_aguarde.setter
    def on_aguarde(self, f) -> None:
        def adapta(f, texto):
            tecla = f(_s(texto))
            if isinstance(tecla, str):
                return ord(tecla[0]) if tecla else 0
            return int(tecla or 0)

        self._guarda("aguarde", _lib.AGUARDE_CB, _c.zuvoecf_set_aguarde_cb, f, adapta, 0)

    @property
    def on_pouco_papel(self) -> Optional[Callable[[], None]]:
        """f(): the printer reports low paper."""
        return self._callback("pouco_papel")

    @on_pouco_papel.setter
    def on_pouco_papel(self, f) -> None:
        self._guarda("pouco_papel", _lib.POUCO_PAPEL_CB, _c.zuvoecf_set_pouco_papel_cb, f,
                     lambda f: f(), None)

    @property
    def on_mensagem(self) -> Optional[Callable[[str, int, int], int]]:
        """f(texto, tipo, botoes) -> resposta: any other message box (tipo 0
        information, 1 warning, 2 error, 3 question; botoes 0 OK, 1 yes/no,
        2 yes/no/cancel; answer 0 OK, 1 yes, 2 no, 3 cancel)."""
        return self._callback("mensagem")

    @on_mensagem.setter
    def on_mensagem(self, f) -> None:
        self._guarda("mensagem", _lib.MENSAGEM_CB, _c.zuvoecf_set_mensagem_cb, f,
                     lambda f, t, tipo, botoes: int(f(_s(t), tipo, botoes)), 0)

    # ----- activation and search -----

    def testar(self) -> bool:
        v = c_int()
        self._chama(_c.zuvoecf_testar, byref(v))
        return bool(v.value)

    def procura_ecf(self, procurar_modelo=True, procurar_porta=True, timeout=3) -> bool:
        v = c_int()
        self._chama(_c.zuvoecf_procura_ecf, int(procurar_modelo), int(procurar_porta),
                    timeout, byref(v))
        return bool(v.value)

    def procura_porta(self, timeout=3) -> bool:
        v = c_int()
        self._chama(_c.zuvoecf_procura_porta, timeout, byref(v))
        return bool(v.value)

    # ----- queries -----

    def data_hora(self) -> datetime.datetime:
        v = c_double()
        self._chama(_c.zuvoecf_data_hora, byref(v))
        return _dias_para_data(v.value)

    def estado(self) -> Estado:
        v = c_int()
        self._chama(_c.zuvoecf_estado, byref(v))
        return Estado(v.value)

    def em_linha(self, timeout=1) -> bool:
        v = c_int()
        self._chama(_c.zuvoecf_em_linha, timeout, byref(v))
        return bool(v.value)

    # ----- the receipt -----

    def abre_cupom(self, cpf_cnpj: str = "") -> None:
        self._chama(_c.zuvoecf_abre_cupom, _b(cpf_cnpj))

    def vende_item(self, codigo: str, descricao: str, aliquota: str, qtd: float,
                   valor_unitario: float, desconto_porc: float = 0, unidade: str = "") -> None:
        self._chama(_c.zuvoecf_vende_item, _b(codigo), _b(descricao), _b(aliquota), qtd,
                    valor_unitario, desconto_porc, _b(unidade))

    def cancela_item_vendido(self, num_item: int) -> None:
        self._chama(_c.zuvoecf_cancela_item_vendido, num_item)

    def subtotaliza_cupom(self, desconto_acrescimo: float = 0, mensagem_rodape: str = "") -> None:
        self._chama(_c.zuvoecf_subtotaliza_cupom, desconto_acrescimo, _b(mensagem_rodape))

    def efetua_pagamento(self, cod_forma_pagto: str, valor: float, observacao: str = "",
                         imprime_vinculado: bool = False) -> None:
        self._chama(_c.zuvoecf_efetua_pagamento, _b(cod_forma_pagto), valor, _b(observacao),
                    int(imprime_vinculado))

    def fecha_cupom(self, observacao: str = "") -> None:
        self._chama(_c.zuvoecf_fecha_cupom, _b(observacao))

    # ----- reports and other printing -----

    def reducao_z(self, data_hora=None) -> None:
        self._chama(_c.zuvoecf_reducao_z, _data_para_dias(data_hora))

    def linha_relatorio_gerencial(self, linha: str) -> None:
        self._chama(_c.zuvoecf_linha_relatorio_gerencial, _b(linha))

    def abre_cupom_vinculado(self, coo: str, cod_forma_pagto: str, valor: float,
                             cod_comprovante_nao_fiscal: str = "") -> None:
        self._chama(_c.zuvoecf_abre_cupom_vinculado, _b(coo), _b(cod_forma_pagto),
                    _b(cod_comprovante_nao_fiscal), valor)

    def linha_cupom_vinculado(self, linha: str) -> None:
        self._chama(_c.zuvoecf_linha_cupom_vinculado, _b(linha))

    def relatorio_gerencial(self, linhas: Sequence[str], vias: int = 1) -> None:
        arr, n = _linhas(linhas)
        self._chama(_c.zuvoecf_relatorio_gerencial, arr, n, vias)

    def cupom_vinculado(self, coo: str, cod_forma_pagto: str, cod_comprovante_nao_fiscal: str,
                        valor: float, linhas: Sequence[str], vias: int = 1) -> None:
        arr, n = _linhas(linhas)
        self._chama(_c.zuvoecf_cupom_vinculado, _b(coo), _b(cod_forma_pagto),
                    _b(cod_comprovante_nao_fiscal), valor, arr, n, vias)

    def pula_linhas(self, num_linhas: int = 0) -> None:
        self._chama(_c.zuvoecf_pula_linhas, num_linhas)

    def imprime_cheque(self, banco: str, valor: float, favorecido: str, cidade: str, data,
                       observacao: str = "") -> None:
        self._chama(_c.zuvoecf_imprime_cheque, _b(banco), valor, _b(favorecido), _b(cidade),
                    _data_para_dias(data), _b(observacao))

    def impacto_agulhas(self, nivel_forca: int = 2) -> None:
        self._chama(_c.zuvoecf_impacto_agulhas, nivel_forca)

    def muda_arredondamento(self, arredondar: bool) -> None:
        self._chama(_c.zuvoecf_muda_arredondamento, int(arredondar))

    def leitura_memoria_fiscal(self, inicial, final) -> None:
        """By Z numbers (int) or by dates (datetime/date)."""
        if isinstance(inicial, int) and isinstance(final, int):
            self._chama(_c.zuvoecf_leitura_memoria_fiscal_reducoes, inicial, final)
        else:
            self._chama(_c.zuvoecf_leitura_memoria_fiscal_datas, _data_para_dias(inicial),
                        _data_para_dias(final))

    def leitura_memoria_fiscal_serial(self, inicial, final) -> List[str]:
        """The fiscal memory captured, as lines."""
        v = c_char_p()
        if isinstance(inicial, int) and isinstance(final, int):
            self._chama(_c.zuvoecf_leitura_memoria_fiscal_serial_reducoes, inicial, final,
                        byref(v))
        else:
            self._chama(_c.zuvoecf_leitura_memoria_fiscal_serial_datas,
                        _data_para_dias(inicial), _data_para_dias(final), byref(v))
        return _s(v.value).splitlines()

    def envia_comando(self, comando: bytes) -> bytes:
        """A raw command in the model's own bytes; the answer's data bytes."""
        resposta, tam = c_char_p(), c_size_t()
        self._chama(_c.zuvoecf_envia_comando, bytes(comando), len(comando), byref(resposta),
                    byref(tam))
        return ctypes.string_at(resposta, tam.value) if tam.value else b""

    # ----- tables -----

    def _tabela(self, contar, ler):
        n = c_int()
        self._chama(contar, byref(n))
        return [ler(i) for i in range(n.value)]

    def _aliquota(self, i):
        indice, valor, tipo = c_char_p(), c_double(), c_char()
        self._chama(_c.zuvoecf_aliquota, i, byref(indice), byref(valor), byref(tipo))
        return Aliquota(_s(indice.value), valor.value, tipo.value.decode("latin-1"))

    def _forma(self, i):
        indice, descricao, vinc = c_char_p(), c_char_p(), c_int()
        self._chama(_c.zuvoecf_forma_pagamento, i, byref(indice), byref(descricao), byref(vinc))
        return FormaPagamento(_s(indice.value), _s(descricao.value), bool(vinc.value))

    def _comprovante(self, i):
        indice, descricao, vinc, forma = c_char_p(), c_char_p(), c_int(), c_char_p()
        self._chama(_c.zuvoecf_comprovante_nao_fiscal, i, byref(indice), byref(descricao),
                    byref(vinc), byref(forma))
        return ComprovanteNaoFiscal(_s(indice.value), _s(descricao.value), bool(vinc.value),
                                    _s(forma.value))

    def _unidade(self, i):
        indice, descricao = c_char_p(), c_char_p()
        self._chama(_c.zuvoecf_unidade_medida, i, byref(indice), byref(descricao))
        return UnidadeMedida(_s(indice.value), _s(descricao.value))

    @property
    def aliquotas(self) -> List[Aliquota]:
        return self._tabela(_c.zuvoecf_aliquotas_count, self._aliquota)

    @property
    def formas_pagamento(self) -> List[FormaPagamento]:
        return self._tabela(_c.zuvoecf_formas_pagamento_count, self._forma)

    @property
    def comprovantes_nao_fiscais(self) -> List[ComprovanteNaoFiscal]:
        return self._tabela(_c.zuvoecf_comprovantes_nao_fiscais_count, self._comprovante)

    @property
    def unidades_medida(self) -> List[UnidadeMedida]:
        return self._tabela(_c.zuvoecf_unidades_medida_count, self._unidade)

    def _acha(self, funcao, ler, *args):
        i = c_int()
        self._chama(funcao, *args, byref(i))
        return ler(i.value) if i.value >= 0 else None

    def acha_icms_aliquota(self, aliquota: float, tipo: str = " ") -> Optional[Aliquota]:
        return self._acha(_c.zuvoecf_acha_icms_aliquota, self._aliquota, aliquota,
                          tipo.encode("latin-1"))

    def acha_icms_indice(self, indice: str) -> Optional[Aliquota]:
        return self._acha(_c.zuvoecf_acha_icms_indice, self._aliquota, _b(indice))

    def acha_fpg_descricao(self, descricao: str) -> Optional[FormaPagamento]:
        return self._acha(_c.zuvoecf_acha_fpg_descricao, self._forma, _b(descricao))

    def acha_fpg_indice(self, indice: str) -> Optional[FormaPagamento]:
        return self._acha(_c.zuvoecf_acha_fpg_indice, self._forma, _b(indice))

    def acha_cnf_descricao(self, descricao: str) -> Optional[ComprovanteNaoFiscal]:
        return self._acha(_c.zuvoecf_acha_cnf_descricao, self._comprovante, _b(descricao))

    def acha_cnf_indice(self, indice: str) -> Optional[ComprovanteNaoFiscal]:
        return self._acha(_c.zuvoecf_acha_cnf_indice, self._comprovante, _b(indice))

    def programa_aliquota(self, aliquota: float, tipo: str = "T", posicao: str = "") -> None:
        self._chama(_c.zuvoecf_programa_aliquota, aliquota, tipo.encode("latin-1"), _b(posicao))

    def programa_forma_pagamento(self, descricao: str, permite_vinculado: bool = True,
                                 posicao: str = "") -> str:
        """Programs the method; returns the description as the printer recorded it."""
        gravada = c_char_p()
        self._chama(_c.zuvoecf_programa_forma_pagamento, _b(descricao), int(permite_vinculado),
                    _b(posicao), byref(gravada))
        return _s(gravada.value)

    def programa_comprovante_nao_fiscal(self, descricao: str, tipo: str = "",
                                        posicao: str = "") -> str:
        """Programs the type; returns the description as the printer recorded it."""
        gravada = c_char_p()
        self._chama(_c.zuvoecf_programa_comprovante_nao_fiscal, _b(descricao), _b(tipo),
                    _b(posicao), byref(gravada))
        return _s(gravada.value)

    def programa_unidade_medida(self, descricao: str) -> None:
        self._chama(_c.zuvoecf_programa_unidade_medida, _b(descricao))


def _acrescenta_ajustes():
    for nome in _lib.INTEIROS:
        setattr(ECF, nome, _propriedade(nome, int))
    for nome in _lib.BOOLEANOS:
        setattr(ECF, nome, _propriedade(nome, bool))
    for nome in _lib.TEXTOS:
        setattr(ECF, nome, _propriedade(nome, str))
    for nome, tipo in _lib.SO_LEITURA.items():
        setattr(ECF, nome, _propriedade(nome, tipo, escreve=False))
    for nome, tipo in _lib.CONSULTAS.items():
        setattr(ECF, nome, _consulta(nome, tipo))
    for nome in _lib.SIMPLES:
        setattr(ECF, nome, _simples(nome))


_acrescenta_ajustes()
