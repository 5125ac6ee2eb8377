// The DataRegis protocol pieces without a printer: the frame and its check
// byte, the unpacking of answers in blocks (the length byte decides, not a
// CR), and the error table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drivers/ZuvoECFDataRegis.h"

using namespace zuvo;
using D = TZuvoECFDataRegis;

namespace {

std::string B(std::initializer_list<int> v) {
  std::string r;
  for (int c : v) r += static_cast<char>(c);
  return r;
}

char Soma(char Letra, const std::string& Dados) {
  unsigned s = static_cast<unsigned char>(Letra) + static_cast<unsigned>(Dados.size());
  for (char c : Dados) s += static_cast<unsigned char>(c);
  return static_cast<char>(s % 256);
}

// A block as the printer sends it; the last one carries SUB before its check
// byte (as the EP375 does) or after it (as the protocol description has it).
std::string Bloco(char Letra, const std::string& Dados, bool Ultimo, bool SubAntes = true) {
  std::string b = B({0xFE, 7}) + Letra + static_cast<char>(Dados.size()) + Dados;
  if (Ultimo && SubAntes) return b + '\x1a' + Soma(Letra, Dados) + '\r';
  if (Ultimo) return b + Soma(Letra, Dados) + '\x1a' + '\r';
  return b + Soma(Letra, Dados) + '\r';
}

// Data whose check byte, after the letter 'I', is Alvo.
std::string DadosComSoma(char Letra, size_t Tamanho, char Alvo) {
  std::string d(Tamanho, 'A');
  const unsigned atual = static_cast<unsigned char>(Soma(Letra, d));
  const unsigned falta = (static_cast<unsigned char>(Alvo) + 256 - atual) % 256;
  d.back() = static_cast<char>(static_cast<unsigned char>(d.back()) + falta);
  return d;
}

}  // namespace

TEST(DataRegisQuadro, SequenceLetterLengthParametersAndCheckByte) {
  EXPECT_EQ(D::PreparaComando("R", 1), B({0xFE, 1, 0x52, 0, 0x52}));
  // "GNS": 'G' + 2 + 'N' + 'S' = 71 + 2 + 78 + 83 = 234.
  EXPECT_EQ(D::PreparaComando("GNS", 250), B({0xFE, 250, 'G', 2, 'N', 'S', 234}));
  EXPECT_EQ(D::PreparaComando("", 3), "");
  // The length byte holds at most 255 parameters: more is refused, never
  // sent with a wrapped length.
  EXPECT_NO_THROW(D::PreparaComando("S" + std::string(255, 'x'), 1));
  EXPECT_THROW(D::PreparaComando("S" + std::string(256, 'x'), 1), EZuvoECFCMDInvalido);
}

TEST(DataRegisBlocos, SubBeforeOrAfterTheCheckByteKeepsEveryDataByte) {
  bool integro = false;
  const std::string status = "LSSNNK00";
  EXPECT_EQ(D::DesempacotaResposta(B({8, 13}) + Bloco('R', status, true, true), integro), status);
  EXPECT_TRUE(integro);
  EXPECT_EQ(D::DesempacotaResposta(B({8, 13}) + Bloco('R', status, true, false), integro), status);
  EXPECT_TRUE(integro);
  // A wrong check byte is an answer that cannot be trusted.
  std::string ruim = B({8, 13}) + Bloco('R', status, true);
  ruim[ruim.size() - 2] ^= 0x55;
  D::DesempacotaResposta(ruim, integro);
  EXPECT_FALSE(integro);
}

TEST(DataRegisBlocos, ElevenBlocksWithCRAndFEInTheirDataComeBackWhole) {
  // A fiscal-memory reading: lines end in CR LF, and 0xFE ('þ') is a letter.
  std::string texto;
  for (int i = 0; i < 60; i++) texto += "CRZ:" + std::to_string(1000 + i) + " þ VB:1.234,56\r\n";
  std::string resposta = B({8, 13});
  const size_t n = (texto.size() + 10) / 11;
  for (size_t i = 0; i < texto.size(); i += n)
    resposta += Bloco('I', texto.substr(i, n), i + n >= texto.size());
  bool incompleto = true;
  EXPECT_EQ(D::LeBlocos(resposta, incompleto).size(), 11u);
  EXPECT_FALSE(incompleto);
  bool integro = false;
  EXPECT_EQ(D::DesempacotaResposta(resposta, integro), texto);
  EXPECT_TRUE(integro);

  // Arriving in pieces: no prefix holds the last block, so no piece ends
  // the answer early.
  for (size_t corte = 1; corte < resposta.size(); corte++) {
    const std::vector<D::TBloco> b = D::LeBlocos(resposta.substr(0, corte), incompleto);
    ASSERT_TRUE(b.empty() || !b.back().Ultimo) << "cut at " << corte;
  }
}

TEST(DataRegisBlocos, ACheckByteEqualToCRDoesNotCutTheBlock) {
  // A middle block whose check byte is CR, then the last one: reading up to
  // the first CR would lose the middle block's end and take its CR for the
  // block's.
  const std::string meio = DadosComSoma('I', 20, '\r');
  const std::string fim = DadosComSoma('I', 9, '\r');
  ASSERT_EQ(Soma('I', meio), '\r');
  const std::string resposta = B({8, 13}) + Bloco('I', meio, false) + Bloco('I', fim, true, false);
  bool incompleto = true;
  const std::vector<D::TBloco> blocos = D::LeBlocos(resposta, incompleto);
  ASSERT_EQ(blocos.size(), 2u);
  EXPECT_FALSE(blocos[0].Ultimo);
  EXPECT_TRUE(blocos[1].Ultimo);
  bool integro = false;
  EXPECT_EQ(D::DesempacotaResposta(resposta, integro), meio + fim);
  EXPECT_TRUE(integro);

  // The middle block alone, check byte CR received, is complete and not the
  // last: the next one is still due.
  const std::vector<D::TBloco> so = D::LeBlocos(B({8, 13}) + Bloco('I', meio, false), incompleto);
  ASSERT_EQ(so.size(), 1u);
  EXPECT_FALSE(so[0].Ultimo);
  EXPECT_FALSE(incompleto);
}

TEST(DataRegisErros, ListedAndUnlistedCodes) {
  EXPECT_EQ(D::MensagemErro('K'), "");
  EXPECT_EQ(D::MensagemErro('N'), "ESTADO INVÁLIDO");
  EXPECT_EQ(D::MensagemErro('H'), "Quantidade ou´Número de Relatórios Gerenciais Inválido");
  EXPECT_EQ(D::MensagemErro('y'),
            "Tentativa de Ajusta Relógio com Data/Hora anterior a última redução Gravada");
  EXPECT_EQ(D::MensagemErro(1), "Resposta do ECF inválida");
  EXPECT_EQ(D::MensagemErro(2), "Não foi possivel detectar o Erro");
  EXPECT_EQ(D::MensagemErro('q'), "Erro Código (q)");
  EXPECT_EQ(D::MensagemErro('L'), "Erro Código (L)");
}
