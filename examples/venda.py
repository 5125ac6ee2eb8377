#!/usr/bin/env python3
"""A day at the till on a Bematech printer, in Python: the same receipt, X
reading and managerial report as venda.cpp.

    venda.py PORTA

PORTA is the printer's serial port: /dev/ttyUSB0, COM1, or the port the
simulator prints (zuvoecf-sim Bematech --link /tmp/ecf).
"""

import sys

import zuvoecf


def passo(texto):
    print("-", texto, flush=True)


def main(porta):
    with zuvoecf.ECF("bematech", porta, timeout=2, pausa_relatorio=1) as ecf:
        passo("Impressora %s, série %s, versão %s, ECF %s, %d colunas"
              % (ecf.modelo_str(), ecf.num_serie().strip(), ecf.num_versao(), ecf.num_ecf(),
                 ecf.colunas))
        passo("Data e hora da impressora: %s" % ecf.data_hora().strftime("%d/%m/%Y %H:%M:%S"))

        ecf.abre_cupom()
        passo("Cupom aberto, COO %s" % ecf.num_cupom())
        ecf.vende_item("7891000100103", "CAFE TORRADO 500G", "18", 2, 8.50)
        ecf.vende_item("7891000200206", "ARROZ TIPO 1 5KG", "7", 1, 21.90, desconto_porc=10)
        ecf.vende_item("7891000300309", "DETERGENTE NEUTRO", "12", 3, 2.35)
        passo("Subtotal: %.2f" % ecf.sub_total())
        ecf.subtotaliza_cupom(1.00)  # surcharge
        ecf.efetua_pagamento("01", 30.00)                   # Dinheiro
        ecf.efetua_pagamento("02", 14.76, "Cheque 000123")  # the rest
        passo("Total pago: %.2f" % ecf.total_pago())
        ecf.fecha_cupom("Obrigado pela preferência!|Volte sempre")
        passo("Cupom fechado")

        ecf.leitura_x()
        passo("Leitura X impressa")

        ecf.relatorio_gerencial(["FECHAMENTO DO CAIXA 01", "Operador: Maria", "Vendas: 1 cupom"],
                                vias=2)
        passo("Relatório gerencial impresso em 2 vias; estado %s" % ecf.estado().name)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit("uso: venda.py PORTA")
    try:
        main(sys.argv[1])
    except zuvoecf.ErroECF as e:
        sys.exit("Erro: %s" % e)
