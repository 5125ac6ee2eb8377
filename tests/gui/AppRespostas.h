// Answers the modal boxes of the test application as a user would: a queue
// of answers, taken in order by whichever message box, input box, file
// dialog or named window becomes modal. A box nobody expected is recorded
// and closed, so a test never hangs on it.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>

class Respostas : public QObject {
 public:
  Respostas() {
    fRelogio.setInterval(20);
    connect(&fRelogio, &QTimer::timeout, this, [this] { Verifica(); });
    fRelogio.start();
  }

  /// The next input box gets Texto and OK.
  void Texto(const QString& T) {
    fFila.push_back([T](QWidget* w) {
      auto* d = qobject_cast<QInputDialog*>(w);
      if (!d) return false;
      d->setTextValue(T);
      d->accept();
      return true;
    });
  }
  /// The next input box is accepted with the text it offers.
  void Aceita() {
    fFila.push_back([](QWidget* w) {
      auto* d = qobject_cast<QInputDialog*>(w);
      if (!d) return false;
      d->accept();
      return true;
    });
  }
  /// The next input box is cancelled.
  void CancelaEntrada() {
    fFila.push_back([](QWidget* w) {
      auto* d = qobject_cast<QInputDialog*>(w);
      if (!d) return false;
      d->reject();
      return true;
    });
  }
  /// The next message box gets this button.
  void Botao(QMessageBox::StandardButton B) {
    fFila.push_back([B](QWidget* w) {
      auto* m = qobject_cast<QMessageBox*>(w);
      if (!m || !m->button(B)) return false;
      m->button(B)->click();
      return true;
    });
  }
  /// The next file dialog chooses Caminho.
  void Arquivo(const QString& Caminho) {
    fFila.push_back([Caminho](QWidget* w) {
      auto* d = qobject_cast<QFileDialog*>(w);
      if (!d) return false;
      const QFileInfo info(Caminho);
      d->setDirectory(info.absolutePath());
      // Typed into the name field, as a user would (the list is filled
      // asynchronously, so selecting in it may not be possible yet).
      if (auto* nome = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        nome->setText(info.fileName());
      else
        d->selectFile(info.fileName());
      static_cast<QDialog*>(d)->accept();  // public there
      return true;
    });
  }
  /// When the window named Nome becomes modal, Acao runs (and should close it).
  void Janela(const QString& Nome, std::function<void(QDialog*)> Acao) {
    fFila.push_back([Nome, Acao](QWidget* w) {
      auto* d = qobject_cast<QDialog*>(w);
      if (!d || d->objectName() != Nome) return false;
      Acao(d);
      return true;
    });
  }

  /// While on, an input box nobody queued an answer for is accepted with
  /// the text it offers, as an operator pressing Enter through the prompts.
  void SetAceitaEntradas(bool V) { fAceitaEntradas = V; }

  /// Texts of the message boxes and prompts of the input boxes seen so far.
  QStringList Vistos;
  /// Boxes that came with no answer queued (closed with Escape).
  QStringList Inesperados;
  bool Vazia() const { return fFila.empty(); }
  void Limpa() {
    fFila.clear();
    Vistos.clear();
    Inesperados.clear();
  }

 private:
  static QString TextoDe(QWidget* w) {
    if (auto* m = qobject_cast<QMessageBox*>(w)) return m->text();
    if (auto* d = qobject_cast<QInputDialog*>(w)) return d->windowTitle() + "|" + d->labelText();
    return w->objectName();
  }

  void Verifica() {
    QWidget* w = QApplication::activeModalWidget();
    if (!w || w == fOcupado || !w->isVisible()) return;
    const bool conhecido = qobject_cast<QMessageBox*>(w) || qobject_cast<QInputDialog*>(w) ||
                           qobject_cast<QFileDialog*>(w) || !w->objectName().isEmpty();
    if (!conhecido || w->inherits("zuvo::ui::QtWaitWindow")) return;
    fOcupado = w;
    // Acting later, from a timer of its own, lets this one fire again while
    // the action runs nested event loops (a report printing).
    QTimer::singleShot(0, this, [this, w = QPointer<QWidget>(w)] {
      // Closed meanwhile (its own action ended it, seen once more on the way
      // out): nothing to answer, and the queued answers wait for the next.
      if (w && w->isVisible()) {
        const QString texto = TextoDe(w);
        bool feito = false;
        Vistos << texto;
        // The first queued answer that fits this box; boxes that come in
        // another order than queued (an event handled a little later) still
        // find theirs.
        for (size_t i = 0; i < fFila.size() && !feito; i++) {
          auto acao = fFila[i];
          // Out of the queue first: the action may run long and meet the
          // next box.
          fFila.erase(fFila.begin() + static_cast<std::ptrdiff_t>(i));
          feito = acao(w);
          if (!feito) fFila.insert(fFila.begin() + static_cast<std::ptrdiff_t>(i), acao);
        }
        if (!feito && fAceitaEntradas && qobject_cast<QInputDialog*>(w)) {
          static_cast<QInputDialog*>(w.data())->accept();
          feito = true;
        }
        if (!feito) {
          Inesperados << texto;
          if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
        }
      }
      fOcupado = nullptr;
    });
  }

  QTimer fRelogio;
  QPointer<QWidget> fOcupado;
  bool fAceitaEntradas = false;
  std::deque<std::function<bool(QWidget*)>> fFila;
};
