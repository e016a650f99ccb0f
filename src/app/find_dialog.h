// The find dialog of the XML view's source text: modeless, searching
// downwards unless told otherwise; the main window keeps its options, text
// and position while it is hidden.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace dlvr {

class TFindDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TFindDialog(QWidget* parent = nullptr);

  QString FindText() const { return edtFind->text(); }
  bool Down() const { return rbtDown->isChecked(); }
  bool MatchCase() const { return chkMatchCase->isChecked(); }

  // Options, text and position, saved when the dialog is hidden from code
  // and restored when it is shown again.
  struct State {
    QString Text;
    bool Down = true;
    bool MatchCase = false;
    QPoint Position;
    bool HasPosition = false;
  };
  State Save() const;
  void Restore(const State& s);

  QLineEdit* edtFind;
  QCheckBox* chkMatchCase;
  QRadioButton* rbtUp;
  QRadioButton* rbtDown;
  QPushButton* btnFindNext;
  QPushButton* btnCancel;

 signals:
  void FindNext(const QString& text, bool down, bool matchCase);
  // Hidden, by the user (Cancel, Esc, the title bar) or from code.
  void Hidden();

 protected:
  void hideEvent(QHideEvent* e) override;
};

}  // namespace dlvr
