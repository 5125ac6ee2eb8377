"""The Python package against the simulated Bematech printer."""

import datetime
import os
import pty

import pytest

import zuvoecf


def abre(sim, **ajustes):
    return zuvoecf.ECF("bematech", sim.porta, timeout=2, intervalo_apos_comando=0,
                       pausa_relatorio=1, **ajustes)


def test_whole_receipt_with_tables_and_report(sim):
    with abre(sim) as ecf:
        assert ecf.ativo and ecf.modelo == "ecfBematech"
        assert ecf.modelo_str().startswith("Bematech")
        assert isinstance(ecf.data_hora(), datetime.datetime)

        aliquotas = ecf.aliquotas
        assert aliquotas and all(isinstance(a, zuvoecf.Aliquota) for a in aliquotas)
        dezoito = ecf.acha_icms_aliquota(18)
        assert dezoito in aliquotas and dezoito.tipo == "T"
        assert ecf.acha_icms_aliquota(99.5) is None
        dinheiro = ecf.acha_fpg_indice("01")
        assert dinheiro in ecf.formas_pagamento and dinheiro.descricao
        # The printer keeps 16 characters: the text it kept finds the method.
        gravada = ecf.programa_forma_pagamento("Cartão Crédito Visa")
        assert gravada == "Cartão Crédito V"
        assert ecf.acha_fpg_descricao(gravada).descricao == gravada

        ecf.abre_cupom()
        assert ecf.estado() == zuvoecf.Estado.VENDA
        ecf.vende_item("7891000100103", "CAFE TORRADO", "18", 2, 8.50)
        ecf.vende_item("7891000200206", "ARROZ TIPO 1", "7", 1, 21.90, desconto_porc=10)
        assert ecf.sub_total() == pytest.approx(36.71, abs=0.01)
        ecf.subtotaliza_cupom(1.00, "Obrigado|Volte sempre")
        ecf.efetua_pagamento("01", 30.00)
        ecf.efetua_pagamento("02", 7.71, "Cheque 000123")
        assert ecf.total_pago() == pytest.approx(37.71, abs=0.01)
        ecf.fecha_cupom()
        assert ecf.estado() == zuvoecf.Estado.LIVRE

        ecf.relatorio_gerencial(["FECHAMENTO DO CAIXA", "Operador: Maria"], vias=2)
        # A raw command is bytes in and out: the status query answers with
        # no data, and the frame sent holds the command byte.
        assert ecf.envia_comando(b"\x13") == b""
        assert b"\x1b\x13" in ecf.comando_enviado
    assert "Volte sempre" in sim.papel()
    assert sim.papel().count("FECHAMENTO DO CAIXA") == 2


def test_refused_commands_raise_their_class_with_the_message(sim):
    with abre(sim) as ecf:
        ecf.abre_cupom()
        with pytest.raises(zuvoecf.SemResposta) as e:
            ecf.abre_cupom()
        assert str(e.value).startswith("Erro retornado pela Impressora: Bematech")
        with pytest.raises(zuvoecf.ComandoInvalido, match="Quantidade deve ser superior a 0."):
            ecf.vende_item("1", "X", "18", 0, 1)
        with pytest.raises(zuvoecf.ErroGeral, match="Não é possível mudar o Modelo"):
            ecf.modelo = "daruma"
        ecf.cancela_cupom()
    with pytest.raises(zuvoecf.ErroGeral, match="Valor de DecimaisQtd deve estar entre 0-4"):
        zuvoecf.ECF(decimais_qtd=7)
    with pytest.raises(zuvoecf.ArgumentoInvalido, match="Modelo desconhecido"):
        zuvoecf.ECF("impressora")
    ecf = zuvoecf.ECF("bematech", sim.porta)
    with pytest.raises(zuvoecf.NaoAtivo):
        ecf.leitura_x()
    ecf.close()
    with pytest.raises(zuvoecf.NaoAtivo):
        ecf.leitura_x()


def test_silent_printer_asks_the_callback_and_ends_in_no_answer():
    mestre, escravo = pty.openpty()  # a port nobody answers on
    try:
        perguntas = []

        def retentar(mensagem, situacao):
            perguntas.append((mensagem, situacao))
            return False

        ecf = zuvoecf.ECF("bematech", os.ttyname(escravo), timeout=1)
        ecf.on_retentar = retentar
        with pytest.raises(zuvoecf.SemResposta, match="Bematech"):
            ecf.ativar()
        assert perguntas and perguntas[0][0]
        assert not ecf.ativo
        ecf.close()
    finally:
        os.close(escravo)
        os.close(mestre)


def test_callback_errors_come_back_from_the_call():
    mestre, escravo = pty.openpty()
    try:
        ecf = zuvoecf.ECF("bematech", os.ttyname(escravo), timeout=1)

        def quebra(mensagem, situacao):
            raise KeyError("da janela")

        ecf.on_retentar = quebra
        with pytest.raises(KeyError, match="da janela"):
            ecf.ativar()
        ecf.on_retentar = None
        assert ecf.on_retentar is None
        ecf.close()
    finally:
        os.close(escravo)
        os.close(mestre)


def test_accented_texts_round_trip_and_reach_the_paper(sim):
    nome = "João Conceição – 5€ “ok”"
    with abre(sim, operador=nome) as ecf:
        assert ecf.operador == nome
        ecf.msg_aguarde = "Aguarde a impressão: %d s"
        assert ecf.msg_aguarde == "Aguarde a impressão: %d s"
        ecf.relatorio_gerencial(["Operadora: Conceição", "Preço: R$ 5,00"])
        with pytest.raises(zuvoecf.ArgumentoInvalido, match=r"U\+03A9"):
            ecf.relatorio_gerencial(["Ωmega"])
        with pytest.raises(zuvoecf.ArgumentoInvalido):
            ecf.operador = "nulo\0no meio"
        assert ecf.operador == nome
    papel = sim.papel()
    assert "Conceição" in papel or "Conceicao" in papel
    assert "Ωmega" not in papel and "?mega" not in papel
