// The toolkit seam through the C interface, against the simulated Bematech
// printer with its faults switched on: the retry question answered yes, the
// countdown of a reading that does not end, the key that ends a pause, the
// low-paper notice. Written in C++ only to reach the simulator's faults; the
// library is used through zuvoecf.h alone.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "sim/SimBematech.h"
#include "zuvoecf/zuvoecf.h"

namespace {

using zuvo::sim::Falhas;
using zuvo::sim::SimBematech;

struct Ouvinte {
  SimBematech* Sim = nullptr;
  std::vector<std::string> Perguntas;
  std::vector<std::string> Textos;
  std::vector<std::string> Mensagens;
  int PoucoPapel = 0;
  int Tecla = 0;
};

int Retentar(void* u, const char* mensagem, const char*) {
  auto* o = static_cast<Ouvinte*>(u);
  o->Perguntas.push_back(mensagem);
  o->Sim->SetFalhas(Falhas{});  // the operator fixed the cable
  return 1;
}

int Aguarde(void* u, const char* texto) {
  auto* o = static_cast<Ouvinte*>(u);
  o->Textos.push_back(texto);
  return o->Tecla;
}

void PoucoPapel(void* u) { static_cast<Ouvinte*>(u)->PoucoPapel++; }

int Mensagem(void* u, const char* texto, int, int) {
  static_cast<Ouvinte*>(u)->Mensagens.push_back(texto);
  return ZUVOECF_RESP_OK;
}

class FalhasC : public ::testing::Test {
 protected:
  void SetUp() override {
    o.Sim = &sim;
    ASSERT_EQ(zuvoecf_new(&ecf), ZUVOECF_OK);
    ASSERT_EQ(zuvoecf_set_modelo(ecf, "bematech"), ZUVOECF_OK);
    ASSERT_EQ(zuvoecf_set_porta(ecf, sim.Porta().c_str()), ZUVOECF_OK);
    ASSERT_EQ(zuvoecf_set_timeout(ecf, 3), ZUVOECF_OK);
    ASSERT_EQ(zuvoecf_set_intervalo_apos_comando(ecf, 0), ZUVOECF_OK);
    ASSERT_EQ(zuvoecf_ativar(ecf), ZUVOECF_OK) << zuvoecf_erro(ecf);
  }
  void TearDown() override { zuvoecf_free(ecf); }

  SimBematech sim{zuvo::sim::OpcoesSimulador{}};
  zuvoecf_t* ecf = nullptr;
  Ouvinte o;
};

TEST_F(FalhasC, RetryAnsweredYesSendsAgainAndSucceeds) {
  ASSERT_EQ(zuvoecf_set_retentar_cb(ecf, Retentar, &o), ZUVOECF_OK);
  Falhas f;
  f.Mudo = true;
  sim.SetFalhas(f);
  EXPECT_EQ(zuvoecf_leitura_x(ecf), ZUVOECF_OK) << zuvoecf_erro(ecf);
  ASSERT_EQ(o.Perguntas.size(), 1u);
  EXPECT_NE(o.Perguntas[0].find("não responde"), std::string::npos) << o.Perguntas[0];
  EXPECT_NE(sim.Papel().find("LEITURA X"), std::string::npos);
}

TEST_F(FalhasC, CountdownReachesTheWaitCallbackAndEndsEmpty) {
  ASSERT_EQ(zuvoecf_set_tempo_inicio_msg(ecf, 1), ZUVOECF_OK);
  ASSERT_EQ(zuvoecf_set_retentar(ecf, 0), ZUVOECF_OK);
  ASSERT_EQ(zuvoecf_set_aguarde_cb(ecf, Aguarde, &o), ZUVOECF_OK);
  Falhas f;
  f.Parcial = true;  // the acknowledgement comes, the rest of the answer never
  sim.SetFalhas(f);
  const char* s = nullptr;
  EXPECT_EQ(zuvoecf_num_cupom(ecf, &s), ZUVOECF_ERRO_SEM_RESPOSTA);
  EXPECT_NE(std::string(zuvoecf_erro(ecf)).find("não está respondendo"), std::string::npos)
      << zuvoecf_erro(ecf);
  ASSERT_FALSE(o.Textos.empty());
  bool contagem = false;
  for (const auto& t : o.Textos)
    contagem = contagem || t.rfind("Aguardando a resposta da Impressora: ", 0) == 0;
  EXPECT_TRUE(contagem) << o.Textos[0];
  EXPECT_EQ(o.Textos.back(), "");
}

TEST_F(FalhasC, KeyFromTheWaitCallbackEndsThePauseBetweenCopies) {
  ASSERT_EQ(zuvoecf_set_pausa_relatorio(ecf, 30), ZUVOECF_OK);
  ASSERT_EQ(zuvoecf_set_aguarde_cb(ecf, Aguarde, &o), ZUVOECF_OK);
  o.Tecla = 13;
  const char* linhas[] = {"RELATORIO"};
  const auto inicio = std::chrono::steady_clock::now();
  EXPECT_EQ(zuvoecf_relatorio_gerencial(ecf, linhas, 1, 2), ZUVOECF_OK) << zuvoecf_erro(ecf);
  EXPECT_LT(std::chrono::steady_clock::now() - inicio, std::chrono::seconds(20));
  bool pausa = false;
  for (const auto& t : o.Textos) pausa = pausa || t.rfind("Destaque a 1ª via", 0) == 0;
  EXPECT_TRUE(pausa);
}

TEST_F(FalhasC, LowPaperGoesToItsCallbackOrElseToTheMessageBox) {
  Falhas f;
  f.PoucoPapel = true;
  sim.SetFalhas(f);
  ASSERT_EQ(zuvoecf_set_mensagem_cb(ecf, Mensagem, &o), ZUVOECF_OK);
  EXPECT_EQ(zuvoecf_leitura_x(ecf), ZUVOECF_OK) << zuvoecf_erro(ecf);
  ASSERT_EQ(o.Mensagens.size(), 1u);
  EXPECT_NE(o.Mensagens[0].find("papel"), std::string::npos) << o.Mensagens[0];

  zuvoecf_t* outro = nullptr;  // a fresh handle: the notice is not held back
  ASSERT_EQ(zuvoecf_new(&outro), ZUVOECF_OK);
  zuvoecf_free(ecf);
  ecf = outro;
  ASSERT_EQ(zuvoecf_set_modelo(ecf, "bematech"), ZUVOECF_OK);
  ASSERT_EQ(zuvoecf_set_porta(ecf, sim.Porta().c_str()), ZUVOECF_OK);
  ASSERT_EQ(zuvoecf_set_intervalo_apos_comando(ecf, 0), ZUVOECF_OK);
  ASSERT_EQ(zuvoecf_set_pouco_papel_cb(ecf, PoucoPapel, &o), ZUVOECF_OK);
  ASSERT_EQ(zuvoecf_set_mensagem_cb(ecf, Mensagem, &o), ZUVOECF_OK);
  EXPECT_EQ(zuvoecf_ativar(ecf), ZUVOECF_OK) << zuvoecf_erro(ecf);
  EXPECT_EQ(zuvoecf_leitura_x(ecf), ZUVOECF_OK) << zuvoecf_erro(ecf);
  EXPECT_GE(o.PoucoPapel, 1);
  EXPECT_EQ(o.Mensagens.size(), 1u);
}

}  // namespace
