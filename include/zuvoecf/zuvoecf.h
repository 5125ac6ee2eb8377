/*
 * zuvoecf.h: the C interface of ZuvoECF, for programs written in C and for
 * other languages (Python, C#, Java, Delphi, ...) through their C bridges.
 *
 * One handle (zuvoecf_t) is one fiscal printer on one port: the component
 * TZuvoECF with its settings, operations, tables and events.
 *
 * Conventions, the same for every function:
 *  - Every call returns a status (ZUVOECF_OK or one of the error kinds
 *    below). A null handle or a null pointer argument gives
 *    ZUVOECF_ERRO_ARGUMENTO; nothing crashes and no C++ exception leaves the
 *    library.
 *  - After a failing call, zuvoecf_erro() gives the message (Portuguese,
 *    UTF-8, the printer's or the library's text to show the operator as it
 *    is) and zuvoecf_erro_tipo() the kind. A call that succeeds clears both.
 *  - Texts cross the interface as UTF-8 and are converted to the printer's
 *    code page (Windows-1252) inside. A text with a character Windows-1252
 *    cannot represent is refused with ZUVOECF_ERRO_ARGUMENTO naming the
 *    character; nothing is ever sent with a "?" in its place. Raw commands
 *    and answers (zuvoecf_envia_comando, zuvoecf_get_comando_enviado,
 *    zuvoecf_get_resposta_comando) are bytes with a length, unconverted.
 *  - A string the library returns (const char ** out-parameters) belongs to
 *    the handle and stays valid until the next call on the same handle
 *    (zuvoecf_erro and zuvoecf_erro_tipo excepted, which change nothing).
 *  - Booleans are int: 0 is false, anything else true.
 *  - Money and quantities are double. Dates are double: days since
 *    1899-12-30 with the time of day as the fraction (0.5 is noon).
 *
 * Threads: a handle is used by one thread at a time; the caller serialises
 * calls on one handle. Separate handles on separate ports may be used from
 * separate threads at the same time. Callbacks run on the thread that made
 * the call, and must not call back into the same handle (except
 * zuvoecf_erro and zuvoecf_erro_tipo).
 *
 * Windows: the library shows none. Questions to the operator (try again?),
 * the wait text with its countdown and the low-paper notice reach the
 * program through the callbacks below, so it can show them in its own
 * windows. Without callbacks every question gets the safe answer (No),
 * nothing is accepted on the operator's behalf, and notices are dropped.
 */
#ifndef ZUVOECF_ZUVOECF_H
#define ZUVOECF_ZUVOECF_H

#include <stddef.h>
#include <stdint.h>

#if defined(ZUVOECF_COMPILANDO) && defined(__GNUC__)
#define ZUVOECF_API __attribute__((visibility("default")))
#else
#define ZUVOECF_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------ */
/* Status and error kinds */

enum {
  ZUVOECF_OK = 0,
  /* The command was refused before or by the printer: an operation the model
     lacks, an argument the component rejects (zero quantity, empty tax rate),
     a receipt that cannot be opened now. */
  ZUVOECF_ERRO_COMANDO = 1,
  /* The printer did not answer, answered with an error, or is off line. */
  ZUVOECF_ERRO_SEM_RESPOSTA = 2,
  /* The printer is not active (the port is closed). */
  ZUVOECF_ERRO_NAO_ATIVO = 3,
  /* A null handle or pointer, text that is not UTF-8 or has no Windows-1252
     form, an unknown model name, a table index out of range. */
  ZUVOECF_ERRO_ARGUMENTO = 4,
  /* The serial port failed (open, settings, write). */
  ZUVOECF_ERRO_SERIAL = 5,
  /* Any other error of the library (model not set, a setting out of range,
     a change refused while active, ...). */
  ZUVOECF_ERRO_GERAL = 6,
  /* Out of memory or an unexpected failure inside the library. */
  ZUVOECF_ERRO_INTERNO = 7
};

/* Printer models, in the component's order. */
enum {
  ZUVOECF_NENHUM, ZUVOECF_NAO_FISCAL, ZUVOECF_BEMATECH, ZUVOECF_SWEDA, ZUVOECF_DARUMA,
  ZUVOECF_SCHALTER, ZUVOECF_MECAF, ZUVOECF_YANCO, ZUVOECF_DATAREGIS, ZUVOECF_URANO,
  ZUVOECF_ICASH, ZUVOECF_QUATTRO, ZUVOECF_FISCNET
};

/* Printer states (zuvoecf_estado). */
enum {
  ZUVOECF_EST_NAO_INICIALIZADA, ZUVOECF_EST_DESCONHECIDO, ZUVOECF_EST_LIVRE,
  ZUVOECF_EST_VENDA, ZUVOECF_EST_PAGAMENTO, ZUVOECF_EST_RELATORIO,
  ZUVOECF_EST_BLOQUEADA, ZUVOECF_EST_REQUER_Z, ZUVOECF_EST_REQUER_X
};

/* Serial settings (zuvoecf_set_paridade, _stop_bits, _handshake). */
enum { ZUVOECF_PARIDADE_NENHUMA, ZUVOECF_PARIDADE_IMPAR, ZUVOECF_PARIDADE_PAR,
       ZUVOECF_PARIDADE_MARCA, ZUVOECF_PARIDADE_ESPACO };
enum { ZUVOECF_STOP_1, ZUVOECF_STOP_1_E_MEIO, ZUVOECF_STOP_2 };
enum { ZUVOECF_HS_NENHUM, ZUVOECF_HS_XON_XOFF, ZUVOECF_HS_RTS_CTS, ZUVOECF_HS_DTR_DSR };

/* Message boxes (zuvoecf_mensagem_cb): kinds, buttons and answers. */
enum { ZUVOECF_MSG_INFORMACAO, ZUVOECF_MSG_AVISO, ZUVOECF_MSG_ERRO, ZUVOECF_MSG_CONFIRMACAO };
enum { ZUVOECF_BOTOES_OK, ZUVOECF_BOTOES_SIM_NAO, ZUVOECF_BOTOES_SIM_NAO_CANCELA };
enum { ZUVOECF_RESP_OK, ZUVOECF_RESP_SIM, ZUVOECF_RESP_NAO, ZUVOECF_RESP_CANCELA };

typedef struct zuvoecf zuvoecf_t;

/* ------------------------------------------------------------------------ */
/* Handle, errors, version */

/* Creates a handle: model none, port "COM1", the component's defaults.
   *ecf is set to NULL on failure. */
ZUVOECF_API int zuvoecf_new(zuvoecf_t** ecf);
/* Deactivates the printer (closing the port) and frees the handle. NULL is
   accepted and does nothing. Never fails. */
ZUVOECF_API void zuvoecf_free(zuvoecf_t* ecf);
/* The message of the last call on ecf ("" after a success). With ecf NULL:
   the message of the last call this thread made with a null handle (or a
   failing zuvoecf_new). Never NULL. */
ZUVOECF_API const char* zuvoecf_erro(const zuvoecf_t* ecf);
/* The status of the last call on ecf (ZUVOECF_OK after a success); with ecf
   NULL, as zuvoecf_erro. */
ZUVOECF_API int zuvoecf_erro_tipo(const zuvoecf_t* ecf);
/* A constant name for a status ("ZUVOECF_ERRO_COMANDO"); never NULL. */
ZUVOECF_API const char* zuvoecf_status_nome(int status);
/* "ZuvoECF <version>". */
ZUVOECF_API const char* zuvoecf_versao(void);

/* ------------------------------------------------------------------------ */
/* Callbacks: the program's own windows. Each setter takes a function and a
   pointer handed back to it untouched; a NULL function restores the default. */

/* "Try again?" after a time-out or a failed send. mensagem says what failed,
   situacao where ("LerResposta", "TransmitirComando", "VerEmLinha").
   Returns nonzero to try again. Default: no. */
typedef int (*zuvoecf_retentar_cb)(void* usuario, const char* mensagem, const char* situacao);
/* The wait text while the printer works, with its countdown in seconds
   ("Aguardando a resposta da Impressora: 2 segundos"); "" means the wait is
   over (hide the text). Returns a key the operator pressed, 0 for none:
   'C' cancels a port search, 13 (Enter) ends the pause between report
   copies. While it is set, reads that may take long show the countdown. */
typedef int (*zuvoecf_aguarde_cb)(void* usuario, const char* texto);
/* The printer reports low paper (at most once every MsgPoucoPapel seconds). */
typedef void (*zuvoecf_pouco_papel_cb)(void* usuario);
/* Any other message box (information, warning, the retry question when no
   zuvoecf_retentar_cb is set, the non-fiscal emulator's legal notice).
   tipo is a ZUVOECF_MSG_*, botoes a ZUVOECF_BOTOES_*; returns a ZUVOECF_RESP_*.
   Default: OK, or the safe answer (No, Cancel) for questions. */
typedef int (*zuvoecf_mensagem_cb)(void* usuario, const char* texto, int tipo, int botoes);

ZUVOECF_API int zuvoecf_set_retentar_cb(zuvoecf_t* ecf, zuvoecf_retentar_cb cb, void* usuario);
ZUVOECF_API int zuvoecf_set_aguarde_cb(zuvoecf_t* ecf, zuvoecf_aguarde_cb cb, void* usuario);
ZUVOECF_API int zuvoecf_set_pouco_papel_cb(zuvoecf_t* ecf, zuvoecf_pouco_papel_cb cb, void* usuario);
ZUVOECF_API int zuvoecf_set_mensagem_cb(zuvoecf_t* ecf, zuvoecf_mensagem_cb cb, void* usuario);

/* ------------------------------------------------------------------------ */
/* Settings. Each has a getter and a setter; the setter holds the component's
   checks (ZUVOECF_ERRO_GERAL with its message when a value is refused). */

/* The model by name: "bematech", "Bematech" or "ecfBematech", any case.
   The getter gives the identifier ("ecfBematech"). Refused while active. */
ZUVOECF_API int zuvoecf_set_modelo(zuvoecf_t* ecf, const char* nome);
ZUVOECF_API int zuvoecf_get_modelo(zuvoecf_t* ecf, const char** nome);
/* The port: "COM1" (/dev/ttyS0), "/dev/ttyUSB0", a path to a terminal, a
   file or "procurar" (search on activation). Refused while active. */
ZUVOECF_API int zuvoecf_set_porta(zuvoecf_t* ecf, const char* porta);
ZUVOECF_API int zuvoecf_get_porta(zuvoecf_t* ecf, const char** porta);

/* Whole numbers. TimeOut, TempoInicioMsg, MsgPoucoPapel and PausaRelatorio
   are seconds, IntervaloAposComando milliseconds. TimeOut below 1 becomes 1;
   TempoInicioMsg above TimeOut becomes TimeOut; DecimaisPreco 0..3 and
   DecimaisQtd 0..4. */
ZUVOECF_API int zuvoecf_set_timeout(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_timeout(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_set_intervalo_apos_comando(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_intervalo_apos_comando(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_set_tempo_inicio_msg(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_tempo_inicio_msg(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_set_msg_pouco_papel(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_msg_pouco_papel(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_set_pausa_relatorio(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_pausa_relatorio(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_set_linhas_entre_cupons(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_linhas_entre_cupons(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_set_decimais_preco(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_decimais_preco(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_set_decimais_qtd(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_decimais_qtd(zuvoecf_t* ecf, int* valor);

/* Booleans. */
ZUVOECF_API int zuvoecf_set_retentar(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_retentar(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_set_descricao_grande(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_descricao_grande(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_set_gaveta_sinal_invertido(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_gaveta_sinal_invertido(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_set_exibe_mensagem(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_exibe_mensagem(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_set_arredonda_por_qtd(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_arredonda_por_qtd(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_set_bloqueia_mouse_teclado(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_bloqueia_mouse_teclado(zuvoecf_t* ecf, int* valor);

/* Texts. MsgAguarde takes one %d (seconds left); MsgRelatorio a %s and a %d
   (report name, copy); MsgPausaRelatorio two %d (copy, seconds left). */
ZUVOECF_API int zuvoecf_set_operador(zuvoecf_t* ecf, const char* valor);
ZUVOECF_API int zuvoecf_get_operador(zuvoecf_t* ecf, const char** valor);
ZUVOECF_API int zuvoecf_set_msg_aguarde(zuvoecf_t* ecf, const char* valor);
ZUVOECF_API int zuvoecf_get_msg_aguarde(zuvoecf_t* ecf, const char** valor);
ZUVOECF_API int zuvoecf_set_msg_relatorio(zuvoecf_t* ecf, const char* valor);
ZUVOECF_API int zuvoecf_get_msg_relatorio(zuvoecf_t* ecf, const char** valor);
ZUVOECF_API int zuvoecf_set_msg_pausa_relatorio(zuvoecf_t* ecf, const char* valor);
ZUVOECF_API int zuvoecf_get_msg_pausa_relatorio(zuvoecf_t* ecf, const char** valor);

/* The wait window's look, for a program that draws it: colour 0x00BBGGRR
   (or a system colour 0x80000000 + index; default the highlight colour),
   font name ("" the toolkit's own), size in points, colour, bold, italic. */
ZUVOECF_API int zuvoecf_set_form_msg_color(zuvoecf_t* ecf, uint32_t cor);
ZUVOECF_API int zuvoecf_get_form_msg_color(zuvoecf_t* ecf, uint32_t* cor);
ZUVOECF_API int zuvoecf_set_form_msg_fonte(zuvoecf_t* ecf, const char* nome, int tamanho,
                                           uint32_t cor, int negrito, int italico);
ZUVOECF_API int zuvoecf_get_form_msg_fonte(zuvoecf_t* ecf, const char** nome, int* tamanho,
                                           uint32_t* cor, int* negrito, int* italico);

/* The port's line settings (the model sets its own when it is chosen, so set
   these after the model). Baud in bits per second, data bits 5..8,
   ZUVOECF_PARIDADE_*, ZUVOECF_STOP_*, ZUVOECF_HS_*. tag is a number the
   program gives the port (the non-fiscal emulator's machine number). */
ZUVOECF_API int zuvoecf_set_baud(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_baud(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_set_data_bits(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_data_bits(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_set_paridade(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_paridade(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_set_stop_bits(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_stop_bits(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_set_handshake(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_handshake(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_set_tag(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_tag(zuvoecf_t* ecf, int* valor);

/* ------------------------------------------------------------------------ */
/* State read from the handle (no printer command). */

/* Active: setting 1 activates (zuvoecf_ativar), 0 deactivates. */
ZUVOECF_API int zuvoecf_set_ativo(zuvoecf_t* ecf, int valor);
ZUVOECF_API int zuvoecf_get_ativo(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_get_procurando(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_get_procurando_porta(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_get_aguardando_resposta(zuvoecf_t* ecf, int* valor);
/* Columns of the paper, and the printer's generation, known after activation. */
ZUVOECF_API int zuvoecf_get_colunas(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_get_mfd(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_get_termica(zuvoecf_t* ecf, int* valor);
/* The footer kept by zuvoecf_subtotaliza_cupom for zuvoecf_fecha_cupom. */
ZUVOECF_API int zuvoecf_get_mensagem_rodape(zuvoecf_t* ecf, const char** valor);
/* The last frame sent and the last answer received: bytes, not text. */
ZUVOECF_API int zuvoecf_get_comando_enviado(zuvoecf_t* ecf, const char** dados, size_t* tamanho);
ZUVOECF_API int zuvoecf_get_resposta_comando(zuvoecf_t* ecf, const char** dados, size_t* tamanho);

/* ------------------------------------------------------------------------ */
/* Activation and search */

/* Opens the port and identifies the printer. Model none: ZUVOECF_ERRO_GERAL
   "Modelo não definido". An empty or "procurar" port is searched first. */
ZUVOECF_API int zuvoecf_ativar(zuvoecf_t* ecf);
/* Closes the port. */
ZUVOECF_API int zuvoecf_desativar(zuvoecf_t* ecf);
/* Activates when needed, shows the printer's identity in an information
   message, leaves Ativo as it was; *ativo is whether it was active then. */
ZUVOECF_API int zuvoecf_testar(zuvoecf_t* ecf, int* ativo);
/* Searches over the models, the ports COM1..COM6, or both; leaves the
   handle inactive with the model and port found. *achou is 1 when found. */
ZUVOECF_API int zuvoecf_procura_ecf(zuvoecf_t* ecf, int procurar_modelo, int procurar_porta,
                                    int timeout, int* achou);
/* Searches the serial ports for the current model. */
ZUVOECF_API int zuvoecf_procura_porta(zuvoecf_t* ecf, int timeout, int* achou);

/* ------------------------------------------------------------------------ */
/* Queries to the printer */

ZUVOECF_API int zuvoecf_modelo_str(zuvoecf_t* ecf, const char** valor);
ZUVOECF_API int zuvoecf_num_cupom(zuvoecf_t* ecf, const char** valor);
ZUVOECF_API int zuvoecf_num_ecf(zuvoecf_t* ecf, const char** valor);
ZUVOECF_API int zuvoecf_num_cro(zuvoecf_t* ecf, const char** valor);
ZUVOECF_API int zuvoecf_num_loja(zuvoecf_t* ecf, const char** valor);
ZUVOECF_API int zuvoecf_num_serie(zuvoecf_t* ecf, const char** valor);
ZUVOECF_API int zuvoecf_num_versao(zuvoecf_t* ecf, const char** valor);
/* The printer's clock as a date (days since 1899-12-30). */
ZUVOECF_API int zuvoecf_data_hora(zuvoecf_t* ecf, double* valor);
/* A ZUVOECF_EST_* value. */
ZUVOECF_API int zuvoecf_estado(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_pouco_papel(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_arredonda(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_horario_verao(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_cheque_pronto(zuvoecf_t* ecf, int* valor);
/* Inverted when GavetaSinalInvertido is set. */
ZUVOECF_API int zuvoecf_gaveta_aberta(zuvoecf_t* ecf, int* valor);
ZUVOECF_API int zuvoecf_sub_total(zuvoecf_t* ecf, double* valor);
ZUVOECF_API int zuvoecf_total_pago(zuvoecf_t* ecf, double* valor);
/* Whether the printer is ready, waiting up to timeout seconds. */
ZUVOECF_API int zuvoecf_em_linha(zuvoecf_t* ecf, int timeout, int* valor);
/* Whether a receipt may be opened now; a reason not to is the error. */
ZUVOECF_API int zuvoecf_testa_pode_abrir_cupom(zuvoecf_t* ecf, int* valor);

/* ------------------------------------------------------------------------ */
/* The receipt */

/* cpf_cnpj "" for none. */
ZUVOECF_API int zuvoecf_abre_cupom(zuvoecf_t* ecf, const char* cpf_cnpj);
/* Quantity and price are rounded to DecimaisQtd and DecimaisPreco decimals;
   a zero quantity or price and an empty tax rate are refused
   (ZUVOECF_ERRO_COMANDO). aliquota is the rate as text ("18", "18T", "5S",
   "FF", "II", "NN"); desconto_porc a percentage; unidade "" for none. */
ZUVOECF_API int zuvoecf_vende_item(zuvoecf_t* ecf, const char* codigo, const char* descricao,
                                   const char* aliquota, double qtd, double valor_unitario,
                                   double desconto_porc, const char* unidade);
ZUVOECF_API int zuvoecf_cancela_item_vendido(zuvoecf_t* ecf, int num_item);
/* desconto_acrescimo negative is a discount. The footer ("" none; "|"
   separates lines) is kept for zuvoecf_fecha_cupom. */
ZUVOECF_API int zuvoecf_subtotaliza_cupom(zuvoecf_t* ecf, double desconto_acrescimo,
                                          const char* mensagem_rodape);
/* cod_forma_pagto is the payment method's index in the printer ("01"). */
ZUVOECF_API int zuvoecf_efetua_pagamento(zuvoecf_t* ecf, const char* cod_forma_pagto, double valor,
                                         const char* observacao, int imprime_vinculado);
/* observacao "" prints the footer kept by zuvoecf_subtotaliza_cupom. */
ZUVOECF_API int zuvoecf_fecha_cupom(zuvoecf_t* ecf, const char* observacao);
ZUVOECF_API int zuvoecf_cancela_cupom(zuvoecf_t* ecf);
ZUVOECF_API int zuvoecf_corrige_estado_erro(zuvoecf_t* ecf);

/* ------------------------------------------------------------------------ */
/* Reports and other printing */

ZUVOECF_API int zuvoecf_leitura_x(zuvoecf_t* ecf);
/* data_hora 0 for the computer's clock. */
ZUVOECF_API int zuvoecf_reducao_z(zuvoecf_t* ecf, double data_hora);
ZUVOECF_API int zuvoecf_abre_relatorio_gerencial(zuvoecf_t* ecf);
/* linha may hold several lines separated by "\n". */
ZUVOECF_API int zuvoecf_linha_relatorio_gerencial(zuvoecf_t* ecf, const char* linha);
ZUVOECF_API int zuvoecf_abre_cupom_vinculado(zuvoecf_t* ecf, const char* coo,
                                             const char* cod_forma_pagto,
                                             const char* cod_comprovante_nao_fiscal, double valor);
ZUVOECF_API int zuvoecf_linha_cupom_vinculado(zuvoecf_t* ecf, const char* linha);
/* Closes a managerial report or a linked receipt. */
ZUVOECF_API int zuvoecf_fecha_relatorio(zuvoecf_t* ecf);
/* A whole managerial report of n lines in vias copies, with the pause between
   copies (PausaRelatorio). */
ZUVOECF_API int zuvoecf_relatorio_gerencial(zuvoecf_t* ecf, const char* const* linhas, int n,
                                            int vias);
/* A whole linked receipt of n lines in vias copies. */
ZUVOECF_API int zuvoecf_cupom_vinculado(zuvoecf_t* ecf, const char* coo,
                                        const char* cod_forma_pagto,
                                        const char* cod_comprovante_nao_fiscal, double valor,
                                        const char* const* linhas, int n, int vias);
/* num_linhas 0 means LinhasEntreCupons. */
ZUVOECF_API int zuvoecf_pula_linhas(zuvoecf_t* ecf, int num_linhas);
ZUVOECF_API int zuvoecf_abre_gaveta(zuvoecf_t* ecf);
ZUVOECF_API int zuvoecf_imprime_cheque(zuvoecf_t* ecf, const char* banco, double valor,
                                       const char* favorecido, const char* cidade, double data,
                                       const char* observacao);
ZUVOECF_API int zuvoecf_cancela_impressao_cheque(zuvoecf_t* ecf);
ZUVOECF_API int zuvoecf_impacto_agulhas(zuvoecf_t* ecf, int nivel_forca);
/* Toggles daylight-saving time. */
ZUVOECF_API int zuvoecf_muda_horario_verao(zuvoecf_t* ecf);
ZUVOECF_API int zuvoecf_muda_arredondamento(zuvoecf_t* ecf, int arredondar);
/* The fiscal memory printed, by dates or by Z numbers. */
ZUVOECF_API int zuvoecf_leitura_memoria_fiscal_datas(zuvoecf_t* ecf, double inicial, double final_);
ZUVOECF_API int zuvoecf_leitura_memoria_fiscal_reducoes(zuvoecf_t* ecf, int inicial, int final_);
/* The fiscal memory captured: *linhas is the report, lines ended by "\n". */
ZUVOECF_API int zuvoecf_leitura_memoria_fiscal_serial_datas(zuvoecf_t* ecf, double inicial,
                                                            double final_, const char** linhas);
ZUVOECF_API int zuvoecf_leitura_memoria_fiscal_serial_reducoes(zuvoecf_t* ecf, int inicial,
                                                               int final_, const char** linhas);
/* A raw command (the model's own bytes, without framing); *resposta gets the
   answer's data bytes and *tamanho_resposta their count. */
ZUVOECF_API int zuvoecf_envia_comando(zuvoecf_t* ecf, const char* comando, size_t tamanho,
                                      const char** resposta, size_t* tamanho_resposta);

/* ------------------------------------------------------------------------ */
/* Tables: loaded from the printer on first use (and by zuvoecf_carrega_*),
   read by index from 0 to count - 1. zuvoecf_acha_* give the index of the
   record found, -1 when there is none. */

ZUVOECF_API int zuvoecf_carrega_aliquotas(zuvoecf_t* ecf);
ZUVOECF_API int zuvoecf_aliquotas_count(zuvoecf_t* ecf, int* count);
/* tipo: 'T' ICMS (goods), 'S' ISS (services). */
ZUVOECF_API int zuvoecf_aliquota(zuvoecf_t* ecf, int i, const char** indice, double* aliquota,
                                 char* tipo);
/* tipo ' ' for any type. */
ZUVOECF_API int zuvoecf_acha_icms_aliquota(zuvoecf_t* ecf, double aliquota, char tipo, int* i);
ZUVOECF_API int zuvoecf_acha_icms_indice(zuvoecf_t* ecf, const char* indice, int* i);
/* posicao "" lets the printer choose. */
ZUVOECF_API int zuvoecf_programa_aliquota(zuvoecf_t* ecf, double aliquota, char tipo,
                                          const char* posicao);

ZUVOECF_API int zuvoecf_carrega_formas_pagamento(zuvoecf_t* ecf);
ZUVOECF_API int zuvoecf_formas_pagamento_count(zuvoecf_t* ecf, int* count);
ZUVOECF_API int zuvoecf_forma_pagamento(zuvoecf_t* ecf, int i, const char** indice,
                                        const char** descricao, int* permite_vinculado);
ZUVOECF_API int zuvoecf_acha_fpg_descricao(zuvoecf_t* ecf, const char* descricao, int* i);
ZUVOECF_API int zuvoecf_acha_fpg_indice(zuvoecf_t* ecf, const char* indice, int* i);
/* gravada (may be null) receives the description as the printer recorded
 * it (cut to the printer's field, for example): search the table with it. */
ZUVOECF_API int zuvoecf_programa_forma_pagamento(zuvoecf_t* ecf, const char* descricao,
                                                 int permite_vinculado, const char* posicao,
                                                 const char** gravada);

ZUVOECF_API int zuvoecf_carrega_comprovantes_nao_fiscais(zuvoecf_t* ecf);
ZUVOECF_API int zuvoecf_comprovantes_nao_fiscais_count(zuvoecf_t* ecf, int* count);
ZUVOECF_API int zuvoecf_comprovante_nao_fiscal(zuvoecf_t* ecf, int i, const char** indice,
                                               const char** descricao, int* permite_vinculado,
                                               const char** forma_pagamento);
ZUVOECF_API int zuvoecf_acha_cnf_descricao(zuvoecf_t* ecf, const char* descricao, int* i);
ZUVOECF_API int zuvoecf_acha_cnf_indice(zuvoecf_t* ecf, const char* indice, int* i);
/* gravada (may be null): as for zuvoecf_programa_forma_pagamento. */
ZUVOECF_API int zuvoecf_programa_comprovante_nao_fiscal(zuvoecf_t* ecf, const char* descricao,
                                                        const char* tipo, const char* posicao,
                                                        const char** gravada);

ZUVOECF_API int zuvoecf_carrega_unidades_medida(zuvoecf_t* ecf);
ZUVOECF_API int zuvoecf_unidades_medida_count(zuvoecf_t* ecf, int* count);
ZUVOECF_API int zuvoecf_unidade_medida(zuvoecf_t* ecf, int i, const char** indice,
                                       const char** descricao);
ZUVOECF_API int zuvoecf_programa_unidade_medida(zuvoecf_t* ecf, const char* descricao);

#ifdef __cplusplus
}
#endif

#endif /* ZUVOECF_ZUVOECF_H */
