#include "panes/xml_pane.h"

#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QTextCursor>
#include <QVBoxLayout>

#include "components/qt_string.h"
#include "components/text_fill.h"
#include "delivery/prompts.h"
#include "model/tree_view.h"
#include "panes/files_pane.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace dlvr {
namespace {

}  // namespace

TfrmXML::TfrmXML(TViewerModel& model, QWidget* parent) : TPane(model, parent) {
  setObjectName("frmXML");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  pnlTop = new QFrame(this);
  pnlTop->setObjectName("pnlTop");
  auto* bar = new QHBoxLayout(pnlTop);
  bar->setContentsMargins(4, 2, 4, 2);
  rbtStyle = new QRadioButton(QCoreApplication::translate("TfrmXML", "スタイルシート"), pnlTop);
  rbtStyle->setObjectName("rbtStyle");
  rbtXMLSource = new QRadioButton(QCoreApplication::translate("TfrmXML", "XMLコード"), pnlTop);
  rbtXMLSource->setObjectName("rbtXMLSource");
  rbtPureSource = new QRadioButton(QCoreApplication::translate("TfrmXML", "ソースコード"), pnlTop);
  rbtPureSource->setObjectName("rbtPureSource");
  bar->addWidget(rbtStyle);
  bar->addWidget(rbtXMLSource);
  bar->addWidget(rbtPureSource);
  bar->addStretch(1);
  // Saving under another name is not offered by the viewer.
  sbtSaveAs = new QToolButton(pnlTop);
  sbtSaveAs->setObjectName("sbtSaveAs");
  sbtSaveAs->setText(QCoreApplication::translate("TfrmXML", "別名ファイルとして保存"));
  sbtSaveAs->setEnabled(false);
  sbtSaveAs->hide();
  layout->addWidget(pnlTop);

  pnlC = new QFrame(this);
  pnlC->setObjectName("pnlC");
  auto* content = new QVBoxLayout(pnlC);
  content->setContentsMargins(0, 0, 0, 0);
  webBrowser = new TPreviewView(pnlC);
  webBrowser->setObjectName("webBrowser");
  memSource = new QPlainTextEdit(pnlC);
  memSource->setObjectName("memSource");
  memSource->setReadOnly(true);
  memSource->setFrameShape(QFrame::NoFrame);
  memSource->setLineWrapMode(QPlainTextEdit::NoWrap);
  UseSourceFont(memSource);
  memSource->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memSource->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // The found text stays marked while the find dialog has the focus.
  QPalette pal = memSource->palette();
  pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
  pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
  memSource->setPalette(pal);
  memSource->hide();
  content->addWidget(webBrowser);
  content->addWidget(memSource);
  layout->addWidget(pnlC, 1);

  pnlMsg = new QLabel(this);
  pnlMsg->setObjectName("pnlMsg");
  pnlMsg->setAlignment(Qt::AlignCenter);
  pnlMsg->setAutoFillBackground(true);
  pnlMsg->setBackgroundRole(QPalette::Button);
  pnlMsg->hide();
  layout->addWidget(pnlMsg, 1);
  // The offer of the photo window sits under the message's line.
  btnPhotoView = new QPushButton(QCoreApplication::translate("TfrmXML", "写真閲覧を開く"), pnlMsg);
  btnPhotoView->setObjectName("btnPhotoView");
  btnPhotoView->hide();
  auto* offer = new QVBoxLayout(pnlMsg);
  offer->addStretch(1);
  offer->addSpacing(pnlMsg->fontMetrics().height() * 4);
  offer->addWidget(btnPhotoView, 0, Qt::AlignHCenter);
  offer->addStretch(1);
  connect(btnPhotoView, &QPushButton::clicked, this, [this] {
    if (OnStartPhotoViewer) OnStartPhotoViewer();
  });

  switch (ExRg.ReadInteger(QStringLiteral("ViewStyle"), 0)) {
    case 1: rbtXMLSource->setChecked(true); break;
    case 2: rbtPureSource->setChecked(true); break;
    default: rbtStyle->setChecked(true); break;
  }
  for (QRadioButton* b : {rbtStyle, rbtXMLSource, rbtPureSource})
    connect(b, &QRadioButton::clicked, this, [this] { StyleClick(); });
}

TfrmXML::~TfrmXML() { ExRg.WriteInteger(QStringLiteral("ViewStyle"), ViewStyle()); }

int TfrmXML::ViewStyle() const {
  if (rbtXMLSource->isChecked()) return 1;
  if (rbtPureSource->isChecked()) return 2;
  return 0;
}

void TfrmXML::StyleClick() {
  ShowNode(current_);
  if (!rbtPureSource->isChecked() && OnLeaveSource) OnLeaveSource();
}

void TfrmXML::ShowMessage(const QString& text) {
  pnlMsg->setText(text);
  pnlC->hide();
  pnlMsg->show();
}

void TfrmXML::ShowMissing(const std::string& path) {
  ShowMessage(QCoreApplication::translate("TfrmXML", "'%1' がありません。").arg(Q(ExtractFileName(path))));
}

void TfrmXML::ShowNode(TTreeItem* item) {
  current_ = item;
  pnlMsg->hide();
  btnPhotoView->hide();
  TMdlTreeView& view = model_.View;
  const int cls = view.NodeClass(item);
  const bool styled = rbtStyle->isChecked();

  if (cls == 5) {
    pnlC->hide();
    const std::string path = view.NodeManageFilePath(item, styled);
    if (!FileExists(path)) {
      ShowMessage(QCoreApplication::translate("TfrmXML", "'%1' がありません。").arg(QStringLiteral("PHOTO.XML")));
      return;
    }
    if (ExternalPhotoViewer && !ExternalPhotoViewer()) {
      ShowMessage(QCoreApplication::translate("TfrmXML", "写真と写真管理情報は「写真閲覧」でご確認ください。"));
      btnPhotoView->setEnabled(PhotoViewerAvailable && PhotoViewerAvailable());
      btnPhotoView->show();
      return;
    }
    ShowMessage(QCoreApplication::translate("TfrmXML", "写真閲覧ソフトにてご確認ください。"));
    if (PhotoViewerAvailable && PhotoViewerAvailable() &&
        Ask(QCoreApplication::translate("TfrmXML", "写真閲覧ソフトを起動します。\r\rよろしいですか？").toStdString(),
            MsgIcon::Question, MsgButtons::YesNo, DialogAnswer::Yes) == DialogAnswer::Yes &&
        OnStartPhotoViewer)
      OnStartPhotoViewer();
    return;
  }
  if (cls < 1 || cls > 6) {
    pnlC->hide();
    return;
  }

  const std::string path = view.ManageFilePath(cls, styled);
  pnlC->show();
  preview::TBusyWindow busy(this);
  if (rbtPureSource->isChecked()) {
    QFile file(Q(path));
    if (FileExists(path) && file.open(QIODevice::ReadOnly)) {
      // A large file shows its start, cut at a line end, and says so.
      QByteArray bytes = file.read(TPreviewView::kMaxTextBytes);
      const bool cut = file.size() > TPreviewView::kMaxTextBytes;
      if (cut && bytes.lastIndexOf('\n') > 0) bytes.truncate(bytes.lastIndexOf('\n') + 1);
      // Shift-JIS unless the file's declaration (or a byte-order mark) says UTF-8.
      QString text = Q(DecodeDeliveryText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
      if (cut)
        text += QCoreApplication::translate(
                    "TfrmXML", "\n… 以降は表示しません（ファイルが大きいため、先頭の %1 MB だけを表示しています）。")
                    .arg(TPreviewView::kMaxTextBytes / (1024 * 1024));
      text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
      text.replace(QChar('\r'), QChar('\n'));
      // A large file goes in a piece at a time: the window keeps answering.
      FillPlainTextInPieces(memSource, text);
    } else {
      ShowMissing(path);
    }
    webBrowser->hide();
    memSource->show();
    return;
  }
  if (FileExists(path)) {
    webBrowser->Navigate(Q(path));
    preview::WaitForView(*webBrowser, kWaitMs);
  } else {
    ShowMissing(path);
  }
  memSource->hide();
  webBrowser->show();
}

bool TfrmXML::FindInSource(const QString& findText, bool down, bool matchCase) {
  if (findText.isEmpty()) return false;
  QString text = memSource->toPlainText();
  QString what = findText;
  if (!matchCase) {
    text = text.toUpper();
    what = what.toUpper();
  }
  const QTextCursor cur = memSource->textCursor();
  const int selStart = cur.selectionStart();
  const bool selected = cur.hasSelection();
  // Positions count whole characters, so a double-byte character is never
  // split by a match.
  int found = -1;
  if (down) {
    found = text.indexOf(what, selected ? selStart + 1 : cur.position());
  } else {
    // Backwards: the last match that ends at or before the selection start.
    const int from = selStart - static_cast<int>(what.size());
    if (from >= 0) found = text.lastIndexOf(what, from);
  }
  if (found < 0) {
    Inform(QCoreApplication::translate("TfrmXML", "検索文字列が見つかりませんでした。").toStdString());
    return false;
  }
  QTextCursor c = memSource->textCursor();
  c.setPosition(found);
  c.setPosition(found + static_cast<int>(findText.size()), QTextCursor::KeepAnchor);
  memSource->setTextCursor(c);
  return true;
}

}  // namespace dlvr

#include "moc_xml_pane.cpp"
