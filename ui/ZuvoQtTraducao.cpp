#include "ui/ZuvoQtTraducao.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace zuvo::ui {

bool InstalaTraducaoQt(QCoreApplication& Aplicacao) {
  auto* traducao = new QTranslator(&Aplicacao);
  // Named outright: the program speaks Portuguese whatever the system's
  // language is.
  if (!traducao->load(QStringLiteral("qtbase_pt_BR"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(traducao)) {
    delete traducao;
    return false;
  }
  return true;
}

}  // namespace zuvo::ui
