// A day at the till on a Bematech printer: activates it, shows who it is,
// sells a receipt (three items at different tax rates, one with a discount,
// a surcharge on the subtotal, two payments, a footer), prints the X reading
// and a managerial report in two copies.
//
//   venda PORTA
//
// PORTA is the printer's serial port: /dev/ttyUSB0, COM1, or the port the
// simulator prints (zuvoecf-sim Bematech --link /tmp/ecf).
#include <iostream>
#include <string>

#include "component/ZuvoECF.h"

namespace {

void Passo(const std::string& Texto) {
  std::cout << "- " << zuvo::Cp1252ParaUtf8(Texto) << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zuvo;
  if (argc < 2) {
    std::cerr << "uso: venda PORTA\n";
    return 2;
  }
  TZuvoECF ecf;
  try {
    ecf.SetModelo(ecfBematech);
    ecf.SetPorta(argv[1]);
    ecf.SetTimeOut(2);
    ecf.SetPausaRelatorio(1);  // the pause to tear off each copy
    ecf.Ativar();

    Passo("Impressora " + ecf.ModeloStr() + ", série " + Trim(ecf.NumSerie()) + ", versão " +
          ecf.NumVersao() + ", ECF " + ecf.NumECF() + ", " + IntToStr(ecf.Colunas()) + " colunas");
    Passo("Data e hora da impressora: " + FormatDateTime("dd/mm/yyyy hh:nn:ss", ecf.DataHora()));

    ecf.AbreCupom();
    Passo("Cupom aberto, COO " + ecf.NumCupom());
    ecf.VendeItem("7891000100103", "CAFE TORRADO 500G", "18", 2, 8.50);
    ecf.VendeItem("7891000200206", "ARROZ TIPO 1 5KG", "7", 1, 21.90, 10);  // 10% off
    ecf.VendeItem("7891000300309", "DETERGENTE NEUTRO", "12", 3, 2.35);
    Passo("Subtotal: " + FormatFloat("0.00", ecf.SubTotal()));
    ecf.SubtotalizaCupom(1.00);  // surcharge
    ecf.EfetuaPagamento("01", 30.00);                   // Dinheiro
    ecf.EfetuaPagamento("02", 14.76, "Cheque 000123");  // the rest
    Passo("Total pago: " + FormatFloat("0.00", ecf.TotalPago()));
    ecf.FechaCupom("Obrigado pela preferência!|Volte sempre");
    Passo("Cupom fechado");

    ecf.LeituraX();
    Passo("Leitura X impressa");

    ecf.RelatorioGerencial({"FECHAMENTO DO CAIXA 01", "Operador: Maria", "Vendas: 1 cupom"}, 2);
    Passo("Relatório gerencial impresso em 2 vias; estado " + EstadoStr(ecf.Estado()));
    ecf.Desativar();
  } catch (const Exception& e) {
    std::cerr << "Erro: " << zuvo::Cp1252ParaUtf8(e.what()) << "\n";
    return 1;
  }
  return 0;
}
