/* The C interface from C: a receipt on the simulated Bematech printer, the
   error paths (every one a status and a message), texts at the edge, many
   handles created and freed, and two printers on two threads.

     capi_InterfaceCTest <grupo>      grupo: venda, erros, ciclos, threads */
#define _GNU_SOURCE
#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <zuvoecf/zuvoecf.h>

#include "Simulador.h"

static int falhas = 0;

#define VERIFICA(c)                                                          \
  do {                                                                       \
    if (!(c)) {                                                              \
      fprintf(stderr, "%s:%d: falhou: %s\n", __FILE__, __LINE__, #c);        \
      falhas++;                                                              \
    }                                                                        \
  } while (0)

/* A call that must succeed. */
#define OK(h, chamada)                                                       \
  do {                                                                       \
    int st_ = (chamada);                                                     \
    if (st_ != ZUVOECF_OK) {                                                 \
      fprintf(stderr, "%s:%d: %s -> %s: %s\n", __FILE__, __LINE__, #chamada, \
              zuvoecf_status_nome(st_), zuvoecf_erro(h));                    \
      falhas++;                                                              \
    }                                                                        \
  } while (0)

/* A call that must fail with status `tipo` and a message holding `trecho`,
   both also readable from the handle afterwards. */
#define FALHA(h, chamada, tipo, trecho)                                      \
  do {                                                                       \
    int st_ = (chamada);                                                     \
    if (st_ != (tipo) || zuvoecf_erro_tipo(h) != (tipo) ||                   \
        !strstr(zuvoecf_erro(h), (trecho))) {                                \
      fprintf(stderr, "%s:%d: %s -> %s \"%s\", esperado %s \"%s\"\n",        \
              __FILE__, __LINE__, #chamada, zuvoecf_status_nome(st_),        \
              zuvoecf_erro(h), zuvoecf_status_nome(tipo), (trecho));         \
      falhas++;                                                              \
    }                                                                        \
  } while (0)

static zuvoecf_t* ativa_bematech(const char* porta) {
  zuvoecf_t* ecf = NULL;
  OK(NULL, zuvoecf_new(&ecf));
  OK(ecf, zuvoecf_set_modelo(ecf, "bematech"));
  OK(ecf, zuvoecf_set_porta(ecf, porta));
  OK(ecf, zuvoecf_set_timeout(ecf, 2));
  OK(ecf, zuvoecf_set_intervalo_apos_comando(ecf, 0));
  OK(ecf, zuvoecf_set_pausa_relatorio(ecf, 1));
  OK(ecf, zuvoecf_ativar(ecf));
  return ecf;
}

/* ------------------------------------------------------------------------ */

static void venda(void) {
  simulador_t sim;
  if (simulador_inicia(&sim, "Bematech") != 0) {
    fprintf(stderr, "simulador não iniciou\n");
    falhas++;
    return;
  }
  zuvoecf_t* ecf = ativa_bematech(sim.porta);
  const char* s = NULL;
  int v = -1;
  double d = 0;

  OK(ecf, zuvoecf_get_modelo(ecf, &s));
  VERIFICA(strcmp(s, "ecfBematech") == 0);
  OK(ecf, zuvoecf_modelo_str(ecf, &s));
  VERIFICA(strncmp(s, "Bematech", 8) == 0);
  OK(ecf, zuvoecf_get_colunas(ecf, &v));
  VERIFICA(v > 0);
  OK(ecf, zuvoecf_data_hora(ecf, &d));
  VERIFICA(d > 40000); /* after 2009 */

  /* Tables read by index. */
  int n = 0, i = -1;
  OK(ecf, zuvoecf_aliquotas_count(ecf, &n));
  VERIFICA(n > 0);
  OK(ecf, zuvoecf_acha_icms_aliquota(ecf, 18, ' ', &i));
  VERIFICA(i >= 0 && i < n);
  const char* indice = NULL;
  char tipo = 0;
  OK(ecf, zuvoecf_aliquota(ecf, i, &indice, &d, &tipo));
  VERIFICA(d == 18 && tipo == 'T' && indice[0] != 0);
  OK(ecf, zuvoecf_acha_icms_aliquota(ecf, 99.5, ' ', &i));
  VERIFICA(i == -1);
  FALHA(ecf, zuvoecf_aliquota(ecf, n, &indice, &d, &tipo), ZUVOECF_ERRO_ARGUMENTO,
        "fora da tabela");
  OK(ecf, zuvoecf_formas_pagamento_count(ecf, &n));
  VERIFICA(n > 0);
  OK(ecf, zuvoecf_acha_fpg_indice(ecf, "01", &i));
  const char *desc = NULL;
  int vinc = -1;
  OK(ecf, zuvoecf_forma_pagamento(ecf, i, &indice, &desc, &vinc));
  VERIFICA(i >= 0 && strcmp(indice, "01") == 0 && desc[0] != 0 && (vinc == 0 || vinc == 1));

  /* A whole receipt, accents in the texts. */
  OK(ecf, zuvoecf_abre_cupom(ecf, ""));
  OK(ecf, zuvoecf_estado(ecf, &v));
  VERIFICA(v == ZUVOECF_EST_VENDA);
  OK(ecf, zuvoecf_vende_item(ecf, "7891000100103", "CAFÉ TORRADO", "18", 2, 8.5, 0, "UN"));
  OK(ecf, zuvoecf_vende_item(ecf, "7891000200206", "PÃO FRANCÊS", "7", 1, 3.2, 0, ""));
  OK(ecf, zuvoecf_sub_total(ecf, &d));
  VERIFICA(d > 20.19 && d < 20.21);
  /* A zero quantity is refused by the component. */
  FALHA(ecf, zuvoecf_vende_item(ecf, "1", "X", "18", 0, 1, 0, ""), ZUVOECF_ERRO_COMANDO,
        "Quantidade deve ser superior a 0.");
  /* A character Windows-1252 lacks is refused before anything is sent. */
  const char* antes = NULL;
  size_t tam_antes = 0, tam_depois = 0;
  OK(ecf, zuvoecf_get_comando_enviado(ecf, &antes, &tam_antes));
  char copia[512];
  memcpy(copia, antes, tam_antes < sizeof copia ? tam_antes : sizeof copia);
  FALHA(ecf, zuvoecf_vende_item(ecf, "1", "CHÁ 緑茶", "18", 1, 1, 0, ""),
        ZUVOECF_ERRO_ARGUMENTO, "U+7DD1");
  FALHA(ecf, zuvoecf_vende_item(ecf, "1", "\xC3\x28", "18", 1, 1, 0, ""),
        ZUVOECF_ERRO_ARGUMENTO, "UTF-8");
  const char* depois = NULL;
  OK(ecf, zuvoecf_get_comando_enviado(ecf, &depois, &tam_depois));
  VERIFICA(tam_depois == tam_antes && memcmp(copia, depois, tam_depois) == 0);

  OK(ecf, zuvoecf_subtotaliza_cupom(ecf, -0.20, "Obrigado pela preferência!|Volte sempre"));
  OK(ecf, zuvoecf_get_mensagem_rodape(ecf, &s));
  VERIFICA(strstr(s, "preferencia") != NULL); /* the printer gets it without accents */
  OK(ecf, zuvoecf_efetua_pagamento(ecf, "01", 10, "", 0));
  OK(ecf, zuvoecf_efetua_pagamento(ecf, "02", 10, "Cheque nº 123", 0));
  OK(ecf, zuvoecf_total_pago(ecf, &d));
  VERIFICA(d > 19.99 && d < 20.01);
  OK(ecf, zuvoecf_fecha_cupom(ecf, ""));
  OK(ecf, zuvoecf_estado(ecf, &v));
  VERIFICA(v == ZUVOECF_EST_LIVRE);
  VERIFICA(simulador_no_papel(&sim, "CAFE TORRADO") || simulador_no_papel(&sim, "CAF\xC9 TORRADO"));
  VERIFICA(simulador_no_papel(&sim, "Volte sempre"));

  /* Printer refusals come back as the printer's message. */
  OK(ecf, zuvoecf_abre_cupom(ecf, ""));
  FALHA(ecf, zuvoecf_abre_cupom(ecf, ""), ZUVOECF_ERRO_SEM_RESPOSTA,
        "Erro retornado pela Impressora: Bematech");
  /* A success clears the error. */
  OK(ecf, zuvoecf_cancela_cupom(ecf));
  VERIFICA(zuvoecf_erro_tipo(ecf) == ZUVOECF_OK && zuvoecf_erro(ecf)[0] == 0);
  const char* resp = NULL;
  size_t tam = 0;
  FALHA(ecf, zuvoecf_envia_comando(ecf, "\xF0", 1, &resp, &tam), ZUVOECF_ERRO_SEM_RESPOSTA,
        "Comando inexistente");

  /* A managerial report in two copies, the lines as an array. */
  const char* linhas[] = {"FECHAMENTO DO CAIXA 01", "Operadora: Conceição"};
  OK(ecf, zuvoecf_relatorio_gerencial(ecf, linhas, 2, 2));
  VERIFICA(simulador_no_papel(&sim, "FECHAMENTO DO CAIXA 01"));
  FALHA(ecf, zuvoecf_relatorio_gerencial(ecf, NULL, 2, 1), ZUVOECF_ERRO_ARGUMENTO, "linhas");

  /* Changing the model while active is the component's refusal. */
  FALHA(ecf, zuvoecf_set_modelo(ecf, "daruma"), ZUVOECF_ERRO_GERAL,
        "Não é possível mudar o Modelo com o ECF Ativo");
  zuvoecf_free(ecf);
  simulador_para(&sim);
}

/* ------------------------------------------------------------------------ */

typedef struct {
  int perguntas;
  char situacao[64];
  int textos;
} ouvinte_t;

static int retentar_cb(void* u, const char* mensagem, const char* situacao) {
  ouvinte_t* o = u;
  o->perguntas++;
  snprintf(o->situacao, sizeof o->situacao, "%s", situacao);
  return mensagem[0] == 0; /* no: the message is never empty */
}

static int mensagem_cb(void* u, const char* texto, int tipo, int botoes) {
  (void)texto;
  (void)tipo;
  ouvinte_t* o = u;
  o->textos++;
  return botoes == ZUVOECF_BOTOES_OK ? ZUVOECF_RESP_OK : ZUVOECF_RESP_NAO;
}

static void erros(void) {
  /* A null handle and null pointers are codes, with a message. */
  const char* s = NULL;
  int v = 0;
  VERIFICA(zuvoecf_new(NULL) == ZUVOECF_ERRO_ARGUMENTO);
  VERIFICA(zuvoecf_ativar(NULL) == ZUVOECF_ERRO_ARGUMENTO);
  VERIFICA(zuvoecf_erro_tipo(NULL) == ZUVOECF_ERRO_ARGUMENTO);
  VERIFICA(strcmp(zuvoecf_erro(NULL), "Handle nulo") == 0);
  VERIFICA(zuvoecf_get_porta(NULL, &s) == ZUVOECF_ERRO_ARGUMENTO);
  VERIFICA(zuvoecf_vende_item(NULL, "1", "X", "18", 1, 1, 0, "") == ZUVOECF_ERRO_ARGUMENTO);
  zuvoecf_free(NULL);

  zuvoecf_t* ecf = NULL;
  OK(NULL, zuvoecf_new(&ecf));
  FALHA(ecf, zuvoecf_get_porta(ecf, NULL), ZUVOECF_ERRO_ARGUMENTO, "Parâmetro nulo");
  FALHA(ecf, zuvoecf_set_porta(ecf, NULL), ZUVOECF_ERRO_ARGUMENTO, "Parâmetro nulo");
  FALHA(ecf, zuvoecf_abre_cupom(ecf, NULL), ZUVOECF_ERRO_ARGUMENTO, "cpf_cnpj");
  FALHA(ecf, zuvoecf_envia_comando(ecf, "x", 1, NULL, NULL), ZUVOECF_ERRO_ARGUMENTO, "resposta");

  /* Defaults and the component's checks. */
  OK(ecf, zuvoecf_get_porta(ecf, &s));
  VERIFICA(strcmp(s, "COM1") == 0);
  OK(ecf, zuvoecf_get_msg_aguarde(ecf, &s));
  VERIFICA(strcmp(s, "Aguardando a resposta da Impressora: %d segundos") == 0);
  OK(ecf, zuvoecf_get_msg_relatorio(ecf, &s));
  VERIFICA(strcmp(s, "Imprimindo %s  %dª Via ") == 0);
  OK(ecf, zuvoecf_get_tempo_inicio_msg(ecf, &v));
  VERIFICA(v == 3);
  OK(ecf, zuvoecf_set_tempo_inicio_msg(ecf, 10)); /* capped at TimeOut */
  OK(ecf, zuvoecf_get_tempo_inicio_msg(ecf, &v));
  VERIFICA(v == 3);
  FALHA(ecf, zuvoecf_set_decimais_preco(ecf, 4), ZUVOECF_ERRO_GERAL,
        "Valor de DecimaisPreco deve estar entre 0-3");
  FALHA(ecf, zuvoecf_set_paridade(ecf, 7), ZUVOECF_ERRO_ARGUMENTO, "paridade");
  FALHA(ecf, zuvoecf_set_modelo(ecf, "impressora"), ZUVOECF_ERRO_ARGUMENTO,
        "Modelo desconhecido: impressora");
  FALHA(ecf, zuvoecf_ativar(ecf), ZUVOECF_ERRO_GERAL, "Modelo não definido");
  OK(ecf, zuvoecf_set_modelo(ecf, "ecfDaruma"));
  OK(ecf, zuvoecf_get_modelo(ecf, &s));
  VERIFICA(strcmp(s, "ecfDaruma") == 0);

  /* Texts round-trip through Windows-1252; what it lacks is refused and the
     old value stays. */
  const char* nome = "João Conceição – 5€ “ok” ñ";
  OK(ecf, zuvoecf_set_operador(ecf, nome));
  OK(ecf, zuvoecf_get_operador(ecf, &s));
  VERIFICA(strcmp(s, nome) == 0);
  FALHA(ecf, zuvoecf_set_operador(ecf, "Ωmega"), ZUVOECF_ERRO_ARGUMENTO,
        "O caractere U+03A9 não tem representação em Windows-1252");
  FALHA(ecf, zuvoecf_set_operador(ecf, "\xED\xA0\x80"), ZUVOECF_ERRO_ARGUMENTO, "UTF-8");
  FALHA(ecf, zuvoecf_set_operador(ecf, "\xC0\xAF"), ZUVOECF_ERRO_ARGUMENTO, "UTF-8");
  FALHA(ecf, zuvoecf_set_operador(ecf, "\xC2\x81"), ZUVOECF_ERRO_ARGUMENTO, "U+0081");
  OK(ecf, zuvoecf_get_operador(ecf, &s));
  VERIFICA(strcmp(s, nome) == 0);

  /* Operations on an inactive printer. */
  FALHA(ecf, zuvoecf_leitura_x(ecf), ZUVOECF_ERRO_NAO_ATIVO, "");
  VERIFICA(zuvoecf_erro(ecf)[0] != 0);

  /* A silent printer: a pseudo-terminal nobody answers. The retry question
     reaches the program's callback, which says no. */
  int mestre = posix_openpt(O_RDWR | O_NOCTTY);
  VERIFICA(mestre >= 0 && grantpt(mestre) == 0 && unlockpt(mestre) == 0);
  ouvinte_t o = {0, "", 0};
  OK(ecf, zuvoecf_set_modelo(ecf, "Bematech"));
  OK(ecf, zuvoecf_set_porta(ecf, ptsname(mestre)));
  OK(ecf, zuvoecf_set_timeout(ecf, 1));
  OK(ecf, zuvoecf_set_retentar_cb(ecf, retentar_cb, &o));
  OK(ecf, zuvoecf_set_mensagem_cb(ecf, mensagem_cb, &o));
  int st = zuvoecf_ativar(ecf);
  VERIFICA(st == ZUVOECF_ERRO_SEM_RESPOSTA);
  VERIFICA(strstr(zuvoecf_erro(ecf), "Bematech") != NULL);
  VERIFICA(o.perguntas >= 1 && o.situacao[0] != 0);
  OK(ecf, zuvoecf_get_ativo(ecf, &v));
  VERIFICA(v == 0);
  /* Without the callback the question gets the safe answer (no), and goes
     to the message callback, which said no. */
  OK(ecf, zuvoecf_set_retentar_cb(ecf, NULL, NULL));
  o.perguntas = 0;
  VERIFICA(zuvoecf_ativar(ecf) == ZUVOECF_ERRO_SEM_RESPOSTA);
  VERIFICA(o.perguntas == 0 && o.textos >= 1);
  close(mestre);
  zuvoecf_free(ecf);

  VERIFICA(strcmp(zuvoecf_status_nome(ZUVOECF_ERRO_NAO_ATIVO), "ZUVOECF_ERRO_NAO_ATIVO") == 0);
  VERIFICA(strncmp(zuvoecf_versao(), "ZuvoECF ", 8) == 0);
}

/* ------------------------------------------------------------------------ */

/* Creates, uses and frees many handles: under AddressSanitizer a leak in any
   path (settings, a refused call, its message) fails the run. */
static void ciclos(void) {
  for (int i = 0; i < 10000; i++) {
    zuvoecf_t* ecf = NULL;
    if (zuvoecf_new(&ecf) != ZUVOECF_OK) {
      falhas++;
      return;
    }
    const char* s = NULL;
    int ok = zuvoecf_set_modelo(ecf, "bematech") == ZUVOECF_OK &&
             zuvoecf_set_porta(ecf, "/dev/null-zuvoecf") == ZUVOECF_OK &&
             zuvoecf_set_operador(ecf, "Operadora Conceição") == ZUVOECF_OK &&
             zuvoecf_get_operador(ecf, &s) == ZUVOECF_OK &&
             zuvoecf_leitura_x(ecf) == ZUVOECF_ERRO_NAO_ATIVO && zuvoecf_erro(ecf)[0] != 0 &&
             zuvoecf_set_operador(ecf, "Ω") == ZUVOECF_ERRO_ARGUMENTO;
    zuvoecf_free(ecf);
    if (!ok) {
      fprintf(stderr, "ciclo %d falhou\n", i);
      falhas++;
      return;
    }
  }
}

/* ------------------------------------------------------------------------ */

typedef struct {
  const char* porta;
  int cupons;
  int erros;
} trabalho_t;

static void* vende(void* arg) {
  trabalho_t* t = arg;
  zuvoecf_t* ecf = ativa_bematech(t->porta);
  for (int i = 0; i < 5; i++) {
    int ok = zuvoecf_abre_cupom(ecf, "") == ZUVOECF_OK &&
             zuvoecf_vende_item(ecf, "1", "AÇÚCAR", "18", 1, 4.99, 0, "") == ZUVOECF_OK &&
             zuvoecf_subtotaliza_cupom(ecf, 0, "") == ZUVOECF_OK &&
             zuvoecf_efetua_pagamento(ecf, "01", 4.99, "", 0) == ZUVOECF_OK &&
             zuvoecf_fecha_cupom(ecf, "") == ZUVOECF_OK;
    if (ok)
      t->cupons++;
    else
      t->erros++, fprintf(stderr, "%s: %s\n", t->porta, zuvoecf_erro(ecf));
  }
  zuvoecf_free(ecf);
  return NULL;
}

static void threads(void) {
  simulador_t a, b;
  if (simulador_inicia(&a, "Bematech") != 0 || simulador_inicia(&b, "Bematech") != 0) {
    falhas++;
    return;
  }
  trabalho_t ta = {a.porta, 0, 0}, tb = {b.porta, 0, 0};
  pthread_t pa, pb;
  VERIFICA(pthread_create(&pa, NULL, vende, &ta) == 0);
  VERIFICA(pthread_create(&pb, NULL, vende, &tb) == 0);
  pthread_join(pa, NULL);
  pthread_join(pb, NULL);
  VERIFICA(ta.cupons == 5 && tb.cupons == 5 && ta.erros == 0 && tb.erros == 0);
  VERIFICA(simulador_no_papel(&a, "ACUCAR") || simulador_no_papel(&a, "A\xC7\xDA" "CAR"));
  simulador_para(&a);
  simulador_para(&b);
}

int main(int argc, char** argv) {
  const char* grupo = argc > 1 ? argv[1] : "";
  if (strcmp(grupo, "venda") == 0) venda();
  else if (strcmp(grupo, "erros") == 0) erros();
  else if (strcmp(grupo, "ciclos") == 0) ciclos();
  else if (strcmp(grupo, "threads") == 0) threads();
  else {
    fprintf(stderr, "uso: %s venda|erros|ciclos|threads\n", argv[0]);
    return 2;
  }
  if (falhas) fprintf(stderr, "%d falha(s)\n", falhas);
  return falhas ? 1 : 0;
}
