// Qt's own dialogs (the file dialog, button boxes, edit menus) in Brazilian
// Portuguese, to match the rest of the program.
#pragma once

class QCoreApplication;

namespace zuvo::ui {

/// Installs Qt's Brazilian Portuguese translation (qtbase_pt_BR.qm, from
/// Qt's translations folder) on the application, when it is installed; the
/// translator belongs to the application. False when there is none.
bool InstalaTraducaoQt(QCoreApplication& Aplicacao);

}  // namespace zuvo::ui
