#include "panes/xml_err.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "check/extended_check.h"
#include "components/legible_color.h"
#include "panes/list_window.h"
#include "components/report_printer.h"
#include "delivery/prompts.h"
#include "model/tree_view.h"

namespace dlvr {
namespace {

constexpr int kMinClientWidth = 480;
constexpr int kMinClientHeight = 276;
constexpr int kClientHeight = 420;

// A new window's width: its columns whole, within its screen.
int FittedWidth(const QWidget* form, int wanted) {
  const QScreen* screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
  const int most = screen ? screen->availableGeometry().width() * 9 / 10 : wanted;
  return std::max(kMinClientWidth, std::min(wanted, most));
}

}  // namespace

TfrmXMLErr::TfrmXMLErr(QWidget* parent) : QDialog(parent) {
  setObjectName("frmXMLErr");
  setWindowTitle(QCoreApplication::translate("TfrmXMLErr", "データチェック"));
  setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  Label1 = AddListHeading(
      this, layout,
      QCoreApplication::translate("TfrmXMLErr", "全ての出力データをチェックした結果、以下の不整合が見つかりました。"));
  // For a delivery of a later edition of the guideline: one line on what
  // this list's findings are worth.
  lblEditionNotice = new QLabel(this);
  lblEditionNotice->setObjectName("lblEditionNotice");
  lblEditionNotice->setContentsMargins(6, 2, 6, 4);
  lblEditionNotice->setStyleSheet(
      QStringLiteral("color: %1;").arg(LegibleOn(QColor(0xa0, 0x50, 0x00), palette().color(QPalette::Window)).name()));
  lblEditionNotice->setVisible(false);
  layout->addWidget(lblEditionNotice);

  ToolBar1 = AddListToolBar(this, layout);
  tlbPrint = AddListButton(ToolBar1, "tlbPrint", QCoreApplication::translate("TfrmXMLErr", "    印刷    "),
                           QCoreApplication::translate("TfrmXMLErr", "印刷 (Ctrl+P)"));
  // The usual print key, as the other printing programs have it.
  tlbPrint->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  ToolBar1->addSeparator();
  tblClose = AddListButton(ToolBar1, "tblClose", QCoreApplication::translate("TfrmXMLErr", "閉じる"), QString());

  List = new TFindingList(this);
  TFindingColumns columns;
  columns.Headers = {
      QCoreApplication::translate("TfrmXMLErr", "NO."), QCoreApplication::translate("TfrmXMLErr", "管理ファイル名"),
      QCoreApplication::translate("TfrmXMLErr", "分類名"), QCoreApplication::translate("TfrmXMLErr", "ファイル名"),
      QCoreApplication::translate("TfrmXMLErr", "項目名"), QCoreApplication::translate("TfrmXMLErr", "状態")};
  columns.Number = 0;
  columns.Rule = 5;
  columns.BlankRepeatedUpTo = 3;
  columns.PathColumns = {3};
  List->SetColumns(columns);
  layout->addWidget(List, 1);

  // The confirmation panel of the form is never used by this window.
  pnlBottom = new QWidget(this);
  pnlBottom->setObjectName("pnlBottom");
  auto* bottom = new QHBoxLayout(pnlBottom);
  auto* lblContinue = new QLabel(
      QCoreApplication::translate("TfrmXMLErr", "出力を続行する場合は「OK」ボタンをクリックしてください。"), pnlBottom);
  lblContinue->setObjectName("Label2");
  bottom->addWidget(lblContinue);
  auto* btnOK = new QPushButton(QStringLiteral("OK"), pnlBottom);
  btnOK->setObjectName("btnOK");
  bottom->addWidget(btnOK);
  auto* btnCancel = new QPushButton(QCoreApplication::translate("TfrmXMLErr", "ｷｬﾝｾﾙ"), pnlBottom);
  btnCancel->setObjectName("btnCancel");
  bottom->addWidget(btnCancel);
  auto* btnClose = new QPushButton(QCoreApplication::translate("TfrmXMLErr", "閉じる"), pnlBottom);
  btnClose->setObjectName("btnClose");
  btnClose->hide();
  bottom->addWidget(btnClose);
  auto* btnPrint = new QPushButton(QCoreApplication::translate("TfrmXMLErr", "印刷"), pnlBottom);
  btnPrint->setObjectName("btnPrint");
  btnPrint->hide();
  bottom->addWidget(btnPrint);
  layout->addWidget(pnlBottom);
  pnlBottom->hide();

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(true);
  layout->addWidget(StatusBar1);

  connect(tlbPrint, &QToolButton::clicked, this, &TfrmXMLErr::tlbPrintClick);
  connect(tblClose, &QToolButton::clicked, this, &QDialog::reject);
  connect(List, &TFindingList::Activated, this, [this](int row) {
    if (row >= 0 && row < static_cast<int>(errors_.size()))
      emit FindingActivated(TFindingRef::OfDataCheck(static_cast<std::size_t>(row),
                                                     errors_[static_cast<std::size_t>(row)]));
  });

  // Sizeable; the placement (and size) is kept.
  resize(std::max(kMinClientWidth, List->WantedWidth()), kClientHeight);
  FMC = new TFormControl(this);
  FMC->setObjectName("FMC");
  FMC->MinClientWidth = kMinClientWidth;
  FMC->MinClientHeight = kMinClientHeight;
  FMC->MaxClientWidth = FMC->MaxClientHeight = 0;
  FMC->ApplyLimits();
}

TfrmXMLErr::~TfrmXMLErr() = default;

TfrmXMLErr* TfrmXMLErr::ShowErrors(QWidget* parent, TMdlTreeView& view) {
  TfrmXMLErr* form = parent ? parent->findChild<TfrmXMLErr*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
  if (view.ErrorList.empty()) {
    // What an earlier check found is gone.
    if (form) form->close();
    Inform(QCoreApplication::translate("TfrmXMLErr", "データは正常です。").toStdString());
    return nullptr;
  }
  const bool made = !form;
  if (made) {
    form = new TfrmXMLErr(parent);
    form->setAttribute(Qt::WA_DeleteOnClose);
  }
  form->Fill(view.ErrorList);
  form->SetEditionNotice(QString::fromStdString(EditionNotice(DeliveryEdition(view.MediaFolder()))));
  if (made) form->resize(FittedWidth(form, form->List->WantedWidth()), form->height());
  form->show();
  form->raise();
  form->activateWindow();
  return form;
}

void TfrmXMLErr::SetEditionNotice(const QString& notice) {
  lblEditionNotice->setText(notice);
  lblEditionNotice->setToolTip(notice);
  lblEditionNotice->setVisible(!notice.isEmpty());
}

void TfrmXMLErr::Fill(const TErrorRows& errors) {
  errors_ = errors;
  std::vector<TFindingRow> rows;
  rows.reserve(errors.size());
  for (std::size_t i = 0; i < errors.size(); ++i) {
    TFindingRow row;
    row.Cells.reserve(6);
    row.Cells << QString::number(i + 1);
    for (const std::string& text : errors[i]) row.Cells << QString::fromStdString(text);
    rows.push_back(std::move(row));
  }
  List->SetRows(std::move(rows));
}

void TfrmXMLErr::tlbPrintClick() { PrintErrorReport(this, errors_); }

}  // namespace dlvr

#include "moc_xml_err.cpp"
