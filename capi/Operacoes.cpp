// The C functions: each one is a call on the component through Executa,
// with its texts converted at the edge.
#include <string>

#include "capi/Manipulador.h"

using namespace zuvo;
using namespace zuvo::capi;

namespace {

std::string Texto(const char* Utf8, const char* Nome) { return Utf8ParaCp1252(Utf8, Nome); }

int Booleano(bool V) { return V ? 1 : 0; }

// An enumeration value from C, refused when outside 0..Ultimo.
template <class E>
E Enumeracao(int V, E Ultimo, const char* Nome) {
  if (V < 0 || V > static_cast<int>(Ultimo))
    throw ErroArgumento(std::string("Valor inválido para ") + Nome + ": " + IntToStr(V));
  return static_cast<E>(V);
}

TStrings Linhas(const char* const* L, int N) {
  if (N < 0) throw ErroArgumento("Número de linhas negativo: " + IntToStr(N));
  if (N > 0) Requer(L, "linhas");
  TStrings r;
  r.reserve(static_cast<size_t>(N));
  for (int i = 0; i < N; i++) r.push_back(Texto(L[i], "linhas"));
  return r;
}

// The record at I of a table, or a clear refusal.
template <class Lista>
auto& Item(Lista& L, int I) {
  if (I < 0 || I >= L.Count())
    throw ErroArgumento("Índice fora da tabela: " + IntToStr(I) + " (a tabela tem " +
                        IntToStr(L.Count()) + ")");
  return L[I];
}

// Where a record found by a search sits in its table, -1 for none.
template <class Lista, class T>
int Posicao(Lista& L, const T* Achado) {
  int i = 0;
  for (const auto& p : L) {
    if (p.get() == Achado) return i;
    i++;
  }
  return -1;
}

const char* Bytes(zuvoecf* H, const std::string& B, size_t* Tamanho) {
  H->Saidas[0] = B;
  *Tamanho = B.size();
  return H->Saidas[0].c_str();
}

// A captured report as one text, each line ended by LF.
const char* SaidaLinhas(zuvoecf* H, const TStrings& L) {
  std::string t;
  for (const auto& s : L) t += s + LF;
  return Saida(H, 0, t);
}

}  // namespace

// ----- Callbacks -----

int zuvoecf_set_retentar_cb(zuvoecf_t* h, zuvoecf_retentar_cb cb, void* usuario) {
  return Executa(h, [&] {
    h->Retentar = cb;
    h->RetentarUsuario = usuario;
    if (!cb) return h->ECF.SetOnMsgRetentar(nullptr);
    h->ECF.SetOnMsgRetentar([h](const std::string& Msg, const std::string& Situacao, bool& R) {
      R = h->Retentar(h->RetentarUsuario, Cp1252ParaUtf8(Msg).c_str(),
                      Cp1252ParaUtf8(Situacao).c_str()) != 0;
    });
  });
}

int zuvoecf_set_aguarde_cb(zuvoecf_t* h, zuvoecf_aguarde_cb cb, void* usuario) {
  return Executa(h, [&] {
    h->Aguarde = cb;
    h->AguardeUsuario = usuario;
    if (!cb) return h->ECF.SetOnMsgAguarde(nullptr);
    h->ECF.SetOnMsgAguarde([h](const std::string& Msg) {
      const int tecla = h->Aguarde(h->AguardeUsuario, Cp1252ParaUtf8(Msg).c_str());
      if (tecla) h->TeclaPendente = tecla;
    });
  });
}

int zuvoecf_set_pouco_papel_cb(zuvoecf_t* h, zuvoecf_pouco_papel_cb cb, void* usuario) {
  return Executa(h, [&] {
    h->PoucoPapel = cb;
    h->PoucoPapelUsuario = usuario;
    if (!cb) return h->ECF.SetOnMsgPoucoPapel(nullptr);
    h->ECF.SetOnMsgPoucoPapel([h](TZuvoECFClass*) { h->PoucoPapel(h->PoucoPapelUsuario); });
  });
}

int zuvoecf_set_mensagem_cb(zuvoecf_t* h, zuvoecf_mensagem_cb cb, void* usuario) {
  return Executa(h, [&] {
    h->Mensagem = cb;
    h->MensagemUsuario = usuario;
  });
}

// ----- Settings -----

int zuvoecf_set_modelo(zuvoecf_t* h, const char* nome) {
  return Executa(h, [&] {
    const std::string n = Texto(nome, "nome");
    TZuvoECFModelo m;
    if (!ModeloDeNome(n, m) && !ModeloDeNome("ecf" + n, m))
      throw ErroArgumento("Modelo desconhecido: " + n);
    h->ECF.SetModelo(m);
  });
}

int zuvoecf_get_modelo(zuvoecf_t* h, const char** nome) {
  return Executa(h, [&] {
    Requer(nome, "nome");
    *nome = Saida(h, 0, ModeloNome(h->ECF.Modelo()));
  });
}

#define ZUVO_PROP(nome, Tipo, Ler, Escrever)                                       \
  int zuvoecf_set_##nome(zuvoecf_t* h, Tipo v) {                                   \
    return Executa(h, [&] { Escrever; });                                          \
  }                                                                                \
  int zuvoecf_get_##nome(zuvoecf_t* h, Tipo* v) {                                  \
    return Executa(h, [&] {                                                        \
      Requer(v, "valor");                                                          \
      *v = Ler;                                                                    \
    });                                                                            \
  }
#define ZUVO_INT(nome, P) ZUVO_PROP(nome, int, h->ECF.P(), h->ECF.Set##P(v))
#define ZUVO_BOOL(nome, P) ZUVO_PROP(nome, int, Booleano(h->ECF.P()), h->ECF.Set##P(v != 0))
#define ZUVO_TEXTO(nome, P)                                                        \
  int zuvoecf_set_##nome(zuvoecf_t* h, const char* v) {                            \
    return Executa(h, [&] { h->ECF.Set##P(Texto(v, "valor")); });                 \
  }                                                                                \
  int zuvoecf_get_##nome(zuvoecf_t* h, const char** v) {                           \
    return Executa(h, [&] {                                                        \
      Requer(v, "valor");                                                          \
      *v = Saida(h, 0, h->ECF.P());                                                \
    });                                                                            \
  }

ZUVO_TEXTO(porta, Porta)
ZUVO_INT(timeout, TimeOut)
ZUVO_INT(intervalo_apos_comando, IntervaloAposComando)
ZUVO_INT(tempo_inicio_msg, TempoInicioMsg)
ZUVO_INT(msg_pouco_papel, MsgPoucoPapel)
ZUVO_INT(pausa_relatorio, PausaRelatorio)
ZUVO_INT(linhas_entre_cupons, LinhasEntreCupons)
ZUVO_INT(decimais_preco, DecimaisPreco)
ZUVO_INT(decimais_qtd, DecimaisQtd)
ZUVO_BOOL(retentar, ReTentar)
ZUVO_BOOL(descricao_grande, DescricaoGrande)
ZUVO_BOOL(gaveta_sinal_invertido, GavetaSinalInvertido)
ZUVO_BOOL(exibe_mensagem, ExibeMensagem)
ZUVO_BOOL(arredonda_por_qtd, ArredondaPorQtd)
ZUVO_BOOL(bloqueia_mouse_teclado, BloqueiaMouseTeclado)
ZUVO_BOOL(ativo, Ativo)
ZUVO_TEXTO(operador, Operador)
ZUVO_TEXTO(msg_aguarde, MsgAguarde)
ZUVO_TEXTO(msg_relatorio, MsgRelatorio)
ZUVO_TEXTO(msg_pausa_relatorio, MsgPausaRelatorio)
ZUVO_PROP(form_msg_color, uint32_t, h->ECF.FormMsgColor(), h->ECF.SetFormMsgColor(v))

ZUVO_PROP(baud, int, h->ECF.Device().Baud(), h->ECF.Device().SetBaud(v))
ZUVO_PROP(data_bits, int, h->ECF.Device().Data(), h->ECF.Device().SetData(v))
ZUVO_PROP(paridade, int, static_cast<int>(h->ECF.Device().Parity()),
          h->ECF.Device().SetParity(Enumeracao(v, pSpace, "paridade")))
ZUVO_PROP(stop_bits, int, static_cast<int>(h->ECF.Device().Stop()),
          h->ECF.Device().SetStop(Enumeracao(v, s2, "stop_bits")))
ZUVO_PROP(handshake, int, static_cast<int>(h->ECF.Device().HandShake()),
          h->ECF.Device().SetHandShake(Enumeracao(v, hsDTR_DSR, "handshake")))
ZUVO_PROP(tag, int, h->ECF.Device().Tag(), h->ECF.Device().SetTag(v))

int zuvoecf_set_form_msg_fonte(zuvoecf_t* h, const char* nome, int tamanho, uint32_t cor,
                               int negrito, int italico) {
  return Executa(h, [&] {
    TZuvoFonte f;
    f.Nome = Texto(nome, "nome");
    f.Tamanho = tamanho;
    f.Cor = cor;
    f.Negrito = negrito != 0;
    f.Italico = italico != 0;
    h->ECF.SetFormMsgFonte(f);
  });
}

int zuvoecf_get_form_msg_fonte(zuvoecf_t* h, const char** nome, int* tamanho, uint32_t* cor,
                               int* negrito, int* italico) {
  return Executa(h, [&] {
    Requer(nome, "nome"), Requer(tamanho, "tamanho"), Requer(cor, "cor");
    Requer(negrito, "negrito"), Requer(italico, "italico");
    const TZuvoFonte& f = h->ECF.FormMsgFonte();
    *nome = Saida(h, 0, f.Nome);
    *tamanho = f.Tamanho;
    *cor = f.Cor;
    *negrito = Booleano(f.Negrito);
    *italico = Booleano(f.Italico);
  });
}

// ----- State read from the handle -----

#define ZUVO_LE(nome, Tipo, Ler)                                                   \
  int zuvoecf_##nome(zuvoecf_t* h, Tipo* v) {                                      \
    return Executa(h, [&] {                                                        \
      Requer(v, "valor");                                                          \
      *v = Ler;                                                                    \
    });                                                                            \
  }
#define ZUVO_LE_TEXTO(nome, Ler)                                                   \
  int zuvoecf_##nome(zuvoecf_t* h, const char** v) {                               \
    return Executa(h, [&] {                                                        \
      Requer(v, "valor");                                                          \
      *v = Saida(h, 0, Ler);                                                       \
    });                                                                            \
  }

ZUVO_LE(get_procurando, int, Booleano(h->ECF.Procurando()))
ZUVO_LE(get_procurando_porta, int, Booleano(h->ECF.ProcurandoPorta()))
ZUVO_LE(get_aguardando_resposta, int, Booleano(h->ECF.AguardandoResposta()))
ZUVO_LE(get_colunas, int, h->ECF.Colunas())
ZUVO_LE(get_mfd, int, Booleano(h->ECF.MFD()))
ZUVO_LE(get_termica, int, Booleano(h->ECF.Termica()))
ZUVO_LE_TEXTO(get_mensagem_rodape, h->ECF.MensagemRodape())

int zuvoecf_get_comando_enviado(zuvoecf_t* h, const char** dados, size_t* tamanho) {
  return Executa(h, [&] {
    Requer(dados, "dados"), Requer(tamanho, "tamanho");
    *dados = Bytes(h, h->ECF.ComandoEnviado(), tamanho);
  });
}

int zuvoecf_get_resposta_comando(zuvoecf_t* h, const char** dados, size_t* tamanho) {
  return Executa(h, [&] {
    Requer(dados, "dados"), Requer(tamanho, "tamanho");
    *dados = Bytes(h, h->ECF.RespostaComando(), tamanho);
  });
}

// ----- Activation and search -----

int zuvoecf_ativar(zuvoecf_t* h) { return Executa(h, [&] { h->ECF.Ativar(); }); }
int zuvoecf_desativar(zuvoecf_t* h) { return Executa(h, [&] { h->ECF.Desativar(); }); }
ZUVO_LE(testar, int, Booleano(h->ECF.Testar()))

int zuvoecf_procura_ecf(zuvoecf_t* h, int procurar_modelo, int procurar_porta, int timeout,
                        int* achou) {
  return Executa(h, [&] {
    Requer(achou, "achou");
    *achou = Booleano(h->ECF.ProcuraECF(procurar_modelo != 0, procurar_porta != 0, timeout));
  });
}

int zuvoecf_procura_porta(zuvoecf_t* h, int timeout, int* achou) {
  return Executa(h, [&] {
    Requer(achou, "achou");
    *achou = Booleano(h->ECF.ProcuraPorta(timeout));
  });
}

// ----- Queries -----

ZUVO_LE_TEXTO(modelo_str, h->ECF.ModeloStr())
ZUVO_LE_TEXTO(num_cupom, h->ECF.NumCupom())
ZUVO_LE_TEXTO(num_ecf, h->ECF.NumECF())
ZUVO_LE_TEXTO(num_cro, h->ECF.NumCRO())
ZUVO_LE_TEXTO(num_loja, h->ECF.NumLoja())
ZUVO_LE_TEXTO(num_serie, h->ECF.NumSerie())
ZUVO_LE_TEXTO(num_versao, h->ECF.NumVersao())
ZUVO_LE(data_hora, double, h->ECF.DataHora())
ZUVO_LE(estado, int, static_cast<int>(h->ECF.Estado()))
ZUVO_LE(pouco_papel, int, Booleano(h->ECF.PoucoPapel()))
ZUVO_LE(arredonda, int, Booleano(h->ECF.Arredonda()))
ZUVO_LE(horario_verao, int, Booleano(h->ECF.HorarioVerao()))
ZUVO_LE(cheque_pronto, int, Booleano(h->ECF.ChequePronto()))
ZUVO_LE(gaveta_aberta, int, Booleano(h->ECF.GavetaAberta()))
ZUVO_LE(sub_total, double, h->ECF.SubTotal())
ZUVO_LE(total_pago, double, h->ECF.TotalPago())
ZUVO_LE(testa_pode_abrir_cupom, int, Booleano(h->ECF.TestaPodeAbrirCupom()))

int zuvoecf_em_linha(zuvoecf_t* h, int timeout, int* v) {
  return Executa(h, [&] {
    Requer(v, "valor");
    *v = Booleano(h->ECF.EmLinha(timeout));
  });
}

// ----- The receipt -----

int zuvoecf_abre_cupom(zuvoecf_t* h, const char* cpf_cnpj) {
  return Executa(h, [&] { h->ECF.AbreCupom(Texto(cpf_cnpj, "cpf_cnpj")); });
}

int zuvoecf_vende_item(zuvoecf_t* h, const char* codigo, const char* descricao,
                       const char* aliquota, double qtd, double valor_unitario,
                       double desconto_porc, const char* unidade) {
  return Executa(h, [&] {
    h->ECF.VendeItem(Texto(codigo, "codigo"), Texto(descricao, "descricao"),
                     Texto(aliquota, "aliquota"), qtd, valor_unitario, desconto_porc,
                     Texto(unidade, "unidade"));
  });
}

int zuvoecf_cancela_item_vendido(zuvoecf_t* h, int num_item) {
  return Executa(h, [&] { h->ECF.CancelaItemVendido(num_item); });
}

int zuvoecf_subtotaliza_cupom(zuvoecf_t* h, double desconto_acrescimo,
                              const char* mensagem_rodape) {
  return Executa(h, [&] {
    h->ECF.SubtotalizaCupom(desconto_acrescimo, Texto(mensagem_rodape, "mensagem_rodape"));
  });
}

int zuvoecf_efetua_pagamento(zuvoecf_t* h, const char* cod_forma_pagto, double valor,
                             const char* observacao, int imprime_vinculado) {
  return Executa(h, [&] {
    h->ECF.EfetuaPagamento(Texto(cod_forma_pagto, "cod_forma_pagto"), valor,
                           Texto(observacao, "observacao"), imprime_vinculado != 0);
  });
}

int zuvoecf_fecha_cupom(zuvoecf_t* h, const char* observacao) {
  return Executa(h, [&] { h->ECF.FechaCupom(Texto(observacao, "observacao")); });
}

int zuvoecf_cancela_cupom(zuvoecf_t* h) { return Executa(h, [&] { h->ECF.CancelaCupom(); }); }
int zuvoecf_corrige_estado_erro(zuvoecf_t* h) {
  return Executa(h, [&] { h->ECF.CorrigeEstadoErro(); });
}

// ----- Reports and other printing -----

int zuvoecf_leitura_x(zuvoecf_t* h) { return Executa(h, [&] { h->ECF.LeituraX(); }); }
int zuvoecf_reducao_z(zuvoecf_t* h, double data_hora) {
  return Executa(h, [&] { h->ECF.ReducaoZ(data_hora); });
}
int zuvoecf_abre_relatorio_gerencial(zuvoecf_t* h) {
  return Executa(h, [&] { h->ECF.AbreRelatorioGerencial(); });
}
int zuvoecf_linha_relatorio_gerencial(zuvoecf_t* h, const char* linha) {
  return Executa(h, [&] { h->ECF.LinhaRelatorioGerencial(Texto(linha, "linha")); });
}

int zuvoecf_abre_cupom_vinculado(zuvoecf_t* h, const char* coo, const char* cod_forma_pagto,
                                 const char* cod_comprovante_nao_fiscal, double valor) {
  return Executa(h, [&] {
    h->ECF.AbreCupomVinculado(Texto(coo, "coo"), Texto(cod_forma_pagto, "cod_forma_pagto"),
                              Texto(cod_comprovante_nao_fiscal, "cod_comprovante_nao_fiscal"),
                              valor);
  });
}

int zuvoecf_linha_cupom_vinculado(zuvoecf_t* h, const char* linha) {
  return Executa(h, [&] { h->ECF.LinhaCupomVinculado(Texto(linha, "linha")); });
}
int zuvoecf_fecha_relatorio(zuvoecf_t* h) { return Executa(h, [&] { h->ECF.FechaRelatorio(); }); }

int zuvoecf_relatorio_gerencial(zuvoecf_t* h, const char* const* linhas, int n, int vias) {
  return Executa(h, [&] { h->ECF.RelatorioGerencial(Linhas(linhas, n), vias); });
}

int zuvoecf_cupom_vinculado(zuvoecf_t* h, const char* coo, const char* cod_forma_pagto,
                            const char* cod_comprovante_nao_fiscal, double valor,
                            const char* const* linhas, int n, int vias) {
  return Executa(h, [&] {
    h->ECF.CupomVinculado(Texto(coo, "coo"), Texto(cod_forma_pagto, "cod_forma_pagto"),
                          Texto(cod_comprovante_nao_fiscal, "cod_comprovante_nao_fiscal"), valor,
                          Linhas(linhas, n), vias);
  });
}

int zuvoecf_pula_linhas(zuvoecf_t* h, int num_linhas) {
  return Executa(h, [&] { h->ECF.PulaLinhas(num_linhas); });
}
int zuvoecf_abre_gaveta(zuvoecf_t* h) { return Executa(h, [&] { h->ECF.AbreGaveta(); }); }

int zuvoecf_imprime_cheque(zuvoecf_t* h, const char* banco, double valor, const char* favorecido,
                           const char* cidade, double data, const char* observacao) {
  return Executa(h, [&] {
    h->ECF.ImprimeCheque(Texto(banco, "banco"), valor, Texto(favorecido, "favorecido"),
                         Texto(cidade, "cidade"), data, Texto(observacao, "observacao"));
  });
}

int zuvoecf_cancela_impressao_cheque(zuvoecf_t* h) {
  return Executa(h, [&] { h->ECF.CancelaImpressaoCheque(); });
}
int zuvoecf_impacto_agulhas(zuvoecf_t* h, int nivel_forca) {
  return Executa(h, [&] { h->ECF.ImpactoAgulhas(nivel_forca); });
}
int zuvoecf_muda_horario_verao(zuvoecf_t* h) {
  return Executa(h, [&] { h->ECF.MudaHorarioVerao(); });
}
int zuvoecf_muda_arredondamento(zuvoecf_t* h, int arredondar) {
  return Executa(h, [&] { h->ECF.MudaArredondamento(arredondar != 0); });
}

int zuvoecf_leitura_memoria_fiscal_datas(zuvoecf_t* h, double inicial, double final_) {
  return Executa(h, [&] { h->ECF.LeituraMemoriaFiscal(inicial, final_); });
}
int zuvoecf_leitura_memoria_fiscal_reducoes(zuvoecf_t* h, int inicial, int final_) {
  return Executa(h, [&] { h->ECF.LeituraMemoriaFiscal(inicial, final_); });
}

int zuvoecf_leitura_memoria_fiscal_serial_datas(zuvoecf_t* h, double inicial, double final_,
                                                const char** linhas) {
  return Executa(h, [&] {
    Requer(linhas, "linhas");
    TStrings l;
    h->ECF.LeituraMemoriaFiscalSerial(inicial, final_, l);
    *linhas = SaidaLinhas(h, l);
  });
}

int zuvoecf_leitura_memoria_fiscal_serial_reducoes(zuvoecf_t* h, int inicial, int final_,
                                                   const char** linhas) {
  return Executa(h, [&] {
    Requer(linhas, "linhas");
    TStrings l;
    h->ECF.LeituraMemoriaFiscalSerial(inicial, final_, l);
    *linhas = SaidaLinhas(h, l);
  });
}

int zuvoecf_envia_comando(zuvoecf_t* h, const char* comando, size_t tamanho,
                          const char** resposta, size_t* tamanho_resposta) {
  return Executa(h, [&] {
    Requer(comando, "comando"), Requer(resposta, "resposta");
    Requer(tamanho_resposta, "tamanho_resposta");
    *resposta = Bytes(h, h->ECF.EnviaComando(std::string(comando, tamanho)), tamanho_resposta);
  });
}

// ----- Tables -----

int zuvoecf_carrega_aliquotas(zuvoecf_t* h) {
  return Executa(h, [&] { h->ECF.CarregaAliquotas(); });
}
ZUVO_LE(aliquotas_count, int, h->ECF.Aliquotas().Count())

int zuvoecf_aliquota(zuvoecf_t* h, int i, const char** indice, double* aliquota, char* tipo) {
  return Executa(h, [&] {
    Requer(indice, "indice"), Requer(aliquota, "aliquota"), Requer(tipo, "tipo");
    const TZuvoECFAliquota& a = Item(h->ECF.Aliquotas(), i);
    *indice = Saida(h, 0, a.Indice);
    *aliquota = a.Aliquota;
    *tipo = a.Tipo;
  });
}

int zuvoecf_acha_icms_aliquota(zuvoecf_t* h, double aliquota, char tipo, int* i) {
  return Executa(h, [&] {
    Requer(i, "i");
    *i = Posicao(h->ECF.Aliquotas(), h->ECF.AchaICMSAliquota(aliquota, tipo));
  });
}

int zuvoecf_acha_icms_indice(zuvoecf_t* h, const char* indice, int* i) {
  return Executa(h, [&] {
    Requer(i, "i");
    *i = Posicao(h->ECF.Aliquotas(), h->ECF.AchaICMSIndice(Texto(indice, "indice")));
  });
}

int zuvoecf_programa_aliquota(zuvoecf_t* h, double aliquota, char tipo, const char* posicao) {
  return Executa(h, [&] { h->ECF.ProgramaAliquota(aliquota, tipo, Texto(posicao, "posicao")); });
}

int zuvoecf_carrega_formas_pagamento(zuvoecf_t* h) {
  return Executa(h, [&] { h->ECF.CarregaFormasPagamento(); });
}
ZUVO_LE(formas_pagamento_count, int, h->ECF.FormasPagamento().Count())

int zuvoecf_forma_pagamento(zuvoecf_t* h, int i, const char** indice, const char** descricao,
                            int* permite_vinculado) {
  return Executa(h, [&] {
    Requer(indice, "indice"), Requer(descricao, "descricao");
    Requer(permite_vinculado, "permite_vinculado");
    const TZuvoECFFormaPagamento& f = Item(h->ECF.FormasPagamento(), i);
    *indice = Saida(h, 0, f.Indice);
    *descricao = Saida(h, 1, f.Descricao);
    *permite_vinculado = Booleano(f.PermiteVinculado);
  });
}

int zuvoecf_acha_fpg_descricao(zuvoecf_t* h, const char* descricao, int* i) {
  return Executa(h, [&] {
    Requer(i, "i");
    *i = Posicao(h->ECF.FormasPagamento(),
                 h->ECF.AchaFPGDescricao(Texto(descricao, "descricao")));
  });
}

int zuvoecf_acha_fpg_indice(zuvoecf_t* h, const char* indice, int* i) {
  return Executa(h, [&] {
    Requer(i, "i");
    *i = Posicao(h->ECF.FormasPagamento(), h->ECF.AchaFPGIndice(Texto(indice, "indice")));
  });
}

int zuvoecf_programa_forma_pagamento(zuvoecf_t* h, const char* descricao, int permite_vinculado,
                                     const char* posicao, const char** gravada) {
  return Executa(h, [&] {
    std::string texto = Texto(descricao, "descricao");
    h->ECF.ProgramaFormaPagamento(texto, permite_vinculado != 0, Texto(posicao, "posicao"));
    if (gravada) *gravada = Saida(h, 0, texto);
  });
}

int zuvoecf_carrega_comprovantes_nao_fiscais(zuvoecf_t* h) {
  return Executa(h, [&] { h->ECF.CarregaComprovantesNaoFiscais(); });
}
ZUVO_LE(comprovantes_nao_fiscais_count, int, h->ECF.ComprovantesNaoFiscais().Count())

int zuvoecf_comprovante_nao_fiscal(zuvoecf_t* h, int i, const char** indice,
                                   const char** descricao, int* permite_vinculado,
                                   const char** forma_pagamento) {
  return Executa(h, [&] {
    Requer(indice, "indice"), Requer(descricao, "descricao");
    Requer(permite_vinculado, "permite_vinculado"), Requer(forma_pagamento, "forma_pagamento");
    const TZuvoECFComprovanteNaoFiscal& c = Item(h->ECF.ComprovantesNaoFiscais(), i);
    *indice = Saida(h, 0, c.Indice);
    *descricao = Saida(h, 1, c.Descricao);
    *permite_vinculado = Booleano(c.PermiteVinculado);
    *forma_pagamento = Saida(h, 2, c.FormaPagamento);
  });
}

int zuvoecf_acha_cnf_descricao(zuvoecf_t* h, const char* descricao, int* i) {
  return Executa(h, [&] {
    Requer(i, "i");
    *i = Posicao(h->ECF.ComprovantesNaoFiscais(),
                 h->ECF.AchaCNFDescricao(Texto(descricao, "descricao")));
  });
}

int zuvoecf_acha_cnf_indice(zuvoecf_t* h, const char* indice, int* i) {
  return Executa(h, [&] {
    Requer(i, "i");
    *i = Posicao(h->ECF.ComprovantesNaoFiscais(), h->ECF.AchaCNFIndice(Texto(indice, "indice")));
  });
}

int zuvoecf_programa_comprovante_nao_fiscal(zuvoecf_t* h, const char* descricao,
                                            const char* tipo, const char* posicao,
                                            const char** gravada) {
  return Executa(h, [&] {
    std::string texto = Texto(descricao, "descricao");
    h->ECF.ProgramaComprovanteNaoFiscal(texto, Texto(tipo, "tipo"), Texto(posicao, "posicao"));
    if (gravada) *gravada = Saida(h, 0, texto);
  });
}

int zuvoecf_carrega_unidades_medida(zuvoecf_t* h) {
  return Executa(h, [&] { h->ECF.CarregaUnidadesMedida(); });
}
ZUVO_LE(unidades_medida_count, int, h->ECF.UnidadesMedida().Count())

int zuvoecf_unidade_medida(zuvoecf_t* h, int i, const char** indice, const char** descricao) {
  return Executa(h, [&] {
    Requer(indice, "indice"), Requer(descricao, "descricao");
    const TZuvoECFUnidadeMedida& u = Item(h->ECF.UnidadesMedida(), i);
    *indice = Saida(h, 0, u.Indice);
    *descricao = Saida(h, 1, u.Descricao);
  });
}

int zuvoecf_programa_unidade_medida(zuvoecf_t* h, const char* descricao) {
  return Executa(h, [&] { h->ECF.ProgramaUnidadeMedida(Texto(descricao, "descricao")); });
}
