"""Loading libzuvoecf and declaring its C functions for ctypes."""

import ctypes
import os
from ctypes import POINTER, c_char, c_char_p, c_double, c_int, c_size_t, c_uint32, c_void_p

SONAME = "libzuvoecf.so.0"

RETENTAR_CB = ctypes.CFUNCTYPE(c_int, c_void_p, c_char_p, c_char_p)
AGUARDE_CB = ctypes.CFUNCTYPE(c_int, c_void_p, c_char_p)
POUCO_PAPEL_CB = ctypes.CFUNCTYPE(None, c_void_p)
MENSAGEM_CB = ctypes.CFUNCTYPE(c_int, c_void_p, c_char_p, c_int, c_int)

_H = c_void_p
_PI = POINTER(c_int)
_PD = POINTER(c_double)
_PS = POINTER(c_char_p)
_PZ = POINTER(c_size_t)

# Settings by type: zuvoecf_get_<nome> and zuvoecf_set_<nome>.
INTEIROS = ("timeout", "intervalo_apos_comando", "tempo_inicio_msg", "msg_pouco_papel",
            "pausa_relatorio", "linhas_entre_cupons", "decimais_preco", "decimais_qtd",
            "baud", "data_bits", "paridade", "stop_bits", "handshake", "tag")
BOOLEANOS = ("retentar", "descricao_grande", "gaveta_sinal_invertido", "exibe_mensagem",
             "arredonda_por_qtd", "bloqueia_mouse_teclado", "ativo")
TEXTOS = ("modelo", "porta", "operador", "msg_aguarde", "msg_relatorio", "msg_pausa_relatorio")
# Read-only state: zuvoecf_get_<nome>.
SO_LEITURA = {"procurando": bool, "procurando_porta": bool, "aguardando_resposta": bool,
              "colunas": int, "mfd": bool, "termica": bool, "mensagem_rodape": str}
# Printer queries without arguments: zuvoecf_<nome>(h, out).
CONSULTAS = {"modelo_str": str, "num_cupom": str, "num_ecf": str, "num_cro": str,
             "num_loja": str, "num_serie": str, "num_versao": str, "pouco_papel": bool,
             "arredonda": bool, "horario_verao": bool, "cheque_pronto": bool,
             "gaveta_aberta": bool, "testa_pode_abrir_cupom": bool, "sub_total": float,
             "total_pago": float}
# Operations with no argument and no result.
SIMPLES = ("ativar", "desativar", "cancela_cupom", "corrige_estado_erro", "leitura_x",
           "abre_relatorio_gerencial", "fecha_relatorio", "abre_gaveta",
           "cancela_impressao_cheque", "muda_horario_verao", "carrega_aliquotas",
           "carrega_formas_pagamento", "carrega_comprovantes_nao_fiscais",
           "carrega_unidades_medida")

_TIPO_C = {int: _PI, bool: _PI, float: _PD, str: _PS}

PROTOTIPOS = {
    "zuvoecf_new": [POINTER(_H)],
    "zuvoecf_erro": [_H],
    "zuvoecf_erro_tipo": [_H],
    "zuvoecf_status_nome": [c_int],
    "zuvoecf_versao": [],
    "zuvoecf_set_retentar_cb": [_H, RETENTAR_CB, c_void_p],
    "zuvoecf_set_aguarde_cb": [_H, AGUARDE_CB, c_void_p],
    "zuvoecf_set_pouco_papel_cb": [_H, POUCO_PAPEL_CB, c_void_p],
    "zuvoecf_set_mensagem_cb": [_H, MENSAGEM_CB, c_void_p],
    "zuvoecf_set_form_msg_color": [_H, c_uint32],
    "zuvoecf_get_form_msg_color": [_H, POINTER(c_uint32)],
    "zuvoecf_get_comando_enviado": [_H, _PS, _PZ],
    "zuvoecf_get_resposta_comando": [_H, _PS, _PZ],
    "zuvoecf_testar": [_H, _PI],
    "zuvoecf_procura_ecf": [_H, c_int, c_int, c_int, _PI],
    "zuvoecf_procura_porta": [_H, c_int, _PI],
    "zuvoecf_data_hora": [_H, _PD],
    "zuvoecf_estado": [_H, _PI],
    "zuvoecf_em_linha": [_H, c_int, _PI],
    "zuvoecf_abre_cupom": [_H, c_char_p],
    "zuvoecf_vende_item": [_H, c_char_p, c_char_p, c_char_p, c_double, c_double, c_double,
                           c_char_p],
    "zuvoecf_cancela_item_vendido": [_H, c_int],
    "zuvoecf_subtotaliza_cupom": [_H, c_double, c_char_p],
    "zuvoecf_efetua_pagamento": [_H, c_char_p, c_double, c_char_p, c_int],
    "zuvoecf_fecha_cupom": [_H, c_char_p],
    "zuvoecf_reducao_z": [_H, c_double],
    "zuvoecf_linha_relatorio_gerencial": [_H, c_char_p],
    "zuvoecf_abre_cupom_vinculado": [_H, c_char_p, c_char_p, c_char_p, c_double],
    "zuvoecf_linha_cupom_vinculado": [_H, c_char_p],
    "zuvoecf_relatorio_gerencial": [_H, POINTER(c_char_p), c_int, c_int],
    "zuvoecf_cupom_vinculado": [_H, c_char_p, c_char_p, c_char_p, c_double, POINTER(c_char_p),
                                c_int, c_int],
    "zuvoecf_pula_linhas": [_H, c_int],
    "zuvoecf_imprime_cheque": [_H, c_char_p, c_double, c_char_p, c_char_p, c_double, c_char_p],
    "zuvoecf_impacto_agulhas": [_H, c_int],
    "zuvoecf_muda_arredondamento": [_H, c_int],
    "zuvoecf_leitura_memoria_fiscal_datas": [_H, c_double, c_double],
    "zuvoecf_leitura_memoria_fiscal_reducoes": [_H, c_int, c_int],
    "zuvoecf_leitura_memoria_fiscal_serial_datas": [_H, c_double, c_double, _PS],
    "zuvoecf_leitura_memoria_fiscal_serial_reducoes": [_H, c_int, c_int, _PS],
    "zuvoecf_envia_comando": [_H, c_char_p, c_size_t, _PS, _PZ],
    "zuvoecf_aliquotas_count": [_H, _PI],
    "zuvoecf_aliquota": [_H, c_int, _PS, _PD, POINTER(c_char)],
    "zuvoecf_acha_icms_aliquota": [_H, c_double, c_char, _PI],
    "zuvoecf_acha_icms_indice": [_H, c_char_p, _PI],
    "zuvoecf_programa_aliquota": [_H, c_double, c_char, c_char_p],
    "zuvoecf_formas_pagamento_count": [_H, _PI],
    "zuvoecf_forma_pagamento": [_H, c_int, _PS, _PS, _PI],
    "zuvoecf_acha_fpg_descricao": [_H, c_char_p, _PI],
    "zuvoecf_acha_fpg_indice": [_H, c_char_p, _PI],
    "zuvoecf_programa_forma_pagamento": [_H, c_char_p, c_int, c_char_p, _PS],
    "zuvoecf_comprovantes_nao_fiscais_count": [_H, _PI],
    "zuvoecf_comprovante_nao_fiscal": [_H, c_int, _PS, _PS, _PI, _PS],
    "zuvoecf_acha_cnf_descricao": [_H, c_char_p, _PI],
    "zuvoecf_acha_cnf_indice": [_H, c_char_p, _PI],
    "zuvoecf_programa_comprovante_nao_fiscal": [_H, c_char_p, c_char_p, c_char_p, _PS],
    "zuvoecf_unidades_medida_count": [_H, _PI],
    "zuvoecf_unidade_medida": [_H, c_int, _PS, _PS],
    "zuvoecf_programa_unidade_medida": [_H, c_char_p],
}
for _n in INTEIROS:
    PROTOTIPOS["zuvoecf_get_" + _n] = [_H, _PI]
    PROTOTIPOS["zuvoecf_set_" + _n] = [_H, c_int]
for _n in BOOLEANOS:
    PROTOTIPOS["zuvoecf_get_" + _n] = [_H, _PI]
    PROTOTIPOS["zuvoecf_set_" + _n] = [_H, c_int]
for _n in TEXTOS:
    PROTOTIPOS["zuvoecf_get_" + _n] = [_H, _PS]
    PROTOTIPOS["zuvoecf_set_" + _n] = [_H, c_char_p]
for _n, _t in SO_LEITURA.items():
    PROTOTIPOS["zuvoecf_get_" + _n] = [_H, _TIPO_C[_t]]
for _n, _t in CONSULTAS.items():
    PROTOTIPOS["zuvoecf_" + _n] = [_H, _TIPO_C[_t]]
for _n in SIMPLES:
    PROTOTIPOS["zuvoecf_" + _n] = [_H]

_RESTYPES = {"zuvoecf_erro": c_char_p, "zuvoecf_status_nome": c_char_p,
             "zuvoecf_versao": c_char_p}


def _candidatos():
    caminho = os.environ.get("ZUVOECF_LIB")
    if caminho:
        yield caminho
    aqui = os.path.dirname(os.path.abspath(__file__))
    for nome in sorted(os.listdir(aqui)):
        if nome.startswith("libzuvoecf.so"):
            yield os.path.join(aqui, nome)
    yield SONAME


def carrega():
    """The library, from $ZUVOECF_LIB, beside the package, or the system."""
    erros = []
    for caminho in _candidatos():
        try:
            lib = ctypes.CDLL(caminho)
        except OSError as e:
            erros.append(str(e))
            continue
        for nome, args in PROTOTIPOS.items():
            f = getattr(lib, nome)
            f.argtypes = args
            f.restype = _RESTYPES.get(nome, c_int)
        lib.zuvoecf_free.argtypes = [_H]
        lib.zuvoecf_free.restype = None
        return lib
    raise OSError("libzuvoecf não encontrada (defina ZUVOECF_LIB ou instale libzuvoecf0): "
                  + "; ".join(erros))
