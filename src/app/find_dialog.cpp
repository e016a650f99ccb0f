#include "app/find_dialog.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace dlvr {

TFindDialog::TFindDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("dlgFind");
  setWindowTitle(QCoreApplication::translate("TFindDialog", "検索"));
  setModal(false);
  auto* label = new QLabel(QCoreApplication::translate("TFindDialog", "検索する文字列(&N):"), this);
  edtFind = new QLineEdit(this);
  edtFind->setObjectName("edtFind");
  label->setBuddy(edtFind);
  chkMatchCase = new QCheckBox(QCoreApplication::translate("TFindDialog", "大文字と小文字を区別する(&C)"), this);
  chkMatchCase->setObjectName("chkMatchCase");
  auto* direction = new QGroupBox(QCoreApplication::translate("TFindDialog", "検索する方向"), this);
  rbtUp = new QRadioButton(QCoreApplication::translate("TFindDialog", "上へ(&U)"), direction);
  rbtUp->setObjectName("rbtUp");
  rbtDown = new QRadioButton(QCoreApplication::translate("TFindDialog", "下へ(&D)"), direction);
  rbtDown->setObjectName("rbtDown");
  rbtDown->setChecked(true);
  auto* dl = new QHBoxLayout(direction);
  dl->addWidget(rbtUp);
  dl->addWidget(rbtDown);
  btnFindNext = new QPushButton(QCoreApplication::translate("TFindDialog", "次を検索(&F)"), this);
  btnFindNext->setObjectName("btnFindNext");
  btnFindNext->setDefault(true);
  btnCancel = new QPushButton(QCoreApplication::translate("TFindDialog", "キャンセル"), this);
  btnCancel->setObjectName("btnCancel");

  auto* left = new QVBoxLayout;
  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(edtFind, 1);
  left->addLayout(row);
  auto* opts = new QHBoxLayout;
  opts->addWidget(chkMatchCase);
  opts->addWidget(direction);
  left->addLayout(opts);
  auto* right = new QVBoxLayout;
  right->addWidget(btnFindNext);
  right->addWidget(btnCancel);
  right->addStretch(1);
  auto* all = new QHBoxLayout(this);
  all->addLayout(left, 1);
  all->addLayout(right);

  btnFindNext->setEnabled(false);
  connect(edtFind, &QLineEdit::textChanged, this, [this](const QString& t) { btnFindNext->setEnabled(!t.isEmpty()); });
  connect(btnFindNext, &QPushButton::clicked, this, [this] { emit FindNext(FindText(), Down(), MatchCase()); });
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::close);
}

void TFindDialog::hideEvent(QHideEvent* e) {
  QDialog::hideEvent(e);
  if (!e->spontaneous()) emit Hidden();
}

TFindDialog::State TFindDialog::Save() const {
  State s;
  s.Text = edtFind->text();
  s.Down = rbtDown->isChecked();
  s.MatchCase = chkMatchCase->isChecked();
  s.Position = pos();
  s.HasPosition = true;
  return s;
}

void TFindDialog::Restore(const State& s) {
  edtFind->setText(s.Text);
  (s.Down ? rbtDown : rbtUp)->setChecked(true);
  chkMatchCase->setChecked(s.MatchCase);
  if (s.HasPosition) move(s.Position);
}

}  // namespace dlvr

#include "moc_find_dialog.cpp"
