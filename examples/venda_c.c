/* A day at the till on a Bematech printer, in C through the library's C
   interface: the same receipt, X reading and managerial report as
   venda.cpp.

     venda_c PORTA

   PORTA is the printer's serial port: /dev/ttyUSB0, COM1, or the port the
   simulator prints (zuvoecf-sim Bematech --link /tmp/ecf).
   Build: cc venda_c.c $(pkg-config --cflags --libs zuvoecf) */
#include <stdio.h>

#include <zuvoecf/zuvoecf.h>

/* Each step stops the program at the first error, with the printer's (or the
   library's) message as the operator should read it. */
#define PASSO(chamada)                                        \
  do {                                                        \
    if ((chamada) != ZUVOECF_OK) {                            \
      fprintf(stderr, "Erro: %s\n", zuvoecf_erro(ecf));       \
      zuvoecf_free(ecf);                                      \
      return 1;                                               \
    }                                                         \
  } while (0)

/* The operator's answer to "try again?": here, always no. */
static int retentar(void* usuario, const char* mensagem, const char* situacao) {
  (void)usuario;
  (void)situacao;
  fprintf(stderr, "%s\n(não tentar novamente)\n", mensagem);
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "uso: venda_c PORTA\n");
    return 2;
  }
  zuvoecf_t* ecf = NULL;
  if (zuvoecf_new(&ecf) != ZUVOECF_OK) {
    fprintf(stderr, "Erro: %s\n", zuvoecf_erro(NULL));
    return 1;
  }
  const char *modelo, *serie, *versao, *num_ecf, *coo;
  int colunas, estado;
  double subtotal, pago;

  PASSO(zuvoecf_set_retentar_cb(ecf, retentar, NULL));
  PASSO(zuvoecf_set_modelo(ecf, "bematech"));
  PASSO(zuvoecf_set_porta(ecf, argv[1]));
  PASSO(zuvoecf_set_timeout(ecf, 2));
  PASSO(zuvoecf_set_pausa_relatorio(ecf, 1)); /* the pause to tear off each copy */
  PASSO(zuvoecf_ativar(ecf));

  /* Strings returned by the library live until the next call: print each
     one before asking for the next. */
  PASSO(zuvoecf_modelo_str(ecf, &modelo));
  printf("- Impressora %s", modelo);
  PASSO(zuvoecf_num_serie(ecf, &serie));
  printf(", série %s", serie);
  PASSO(zuvoecf_num_versao(ecf, &versao));
  printf(", versão %s", versao);
  PASSO(zuvoecf_num_ecf(ecf, &num_ecf));
  printf(", ECF %s", num_ecf);
  PASSO(zuvoecf_get_colunas(ecf, &colunas));
  printf(", %d colunas\n", colunas);

  PASSO(zuvoecf_abre_cupom(ecf, ""));
  PASSO(zuvoecf_num_cupom(ecf, &coo));
  printf("- Cupom aberto, COO %s\n", coo);
  PASSO(zuvoecf_vende_item(ecf, "7891000100103", "CAFE TORRADO 500G", "18", 2, 8.50, 0, ""));
  PASSO(zuvoecf_vende_item(ecf, "7891000200206", "ARROZ TIPO 1 5KG", "7", 1, 21.90, 10, ""));
  PASSO(zuvoecf_vende_item(ecf, "7891000300309", "DETERGENTE NEUTRO", "12", 3, 2.35, 0, ""));
  PASSO(zuvoecf_sub_total(ecf, &subtotal));
  printf("- Subtotal: %.2f\n", subtotal);
  PASSO(zuvoecf_subtotaliza_cupom(ecf, 1.00, "")); /* surcharge */
  PASSO(zuvoecf_efetua_pagamento(ecf, "01", 30.00, "", 0));              /* Dinheiro */
  PASSO(zuvoecf_efetua_pagamento(ecf, "02", 14.76, "Cheque 000123", 0)); /* the rest */
  PASSO(zuvoecf_total_pago(ecf, &pago));
  printf("- Total pago: %.2f\n", pago);
  PASSO(zuvoecf_fecha_cupom(ecf, "Obrigado pela preferência!|Volte sempre"));
  printf("- Cupom fechado\n");

  PASSO(zuvoecf_leitura_x(ecf));
  printf("- Leitura X impressa\n");

  const char* relatorio[] = {"FECHAMENTO DO CAIXA 01", "Operador: Maria", "Vendas: 1 cupom"};
  PASSO(zuvoecf_relatorio_gerencial(ecf, relatorio, 3, 2));
  PASSO(zuvoecf_estado(ecf, &estado));
  printf("- Relatório gerencial impresso em 2 vias; estado %s\n",
         estado == ZUVOECF_EST_LIVRE ? "livre" : "outro");
  PASSO(zuvoecf_desativar(ecf));
  zuvoecf_free(ecf);
  return 0;
}
