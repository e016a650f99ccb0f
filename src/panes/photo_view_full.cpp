#include "panes/photo_view.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>

#include "components/preview_view.h"
#include "components/qt_string.h"
#include "platform/text.h"

#include "panes/photo_view_internal.h"

// The photo window's full view: a photo or a reference drawing at full
// size, previous and next, its keys and zoom.

namespace dlvr {

using namespace photo_view_detail;

namespace {

// Between a photo's title, file name and date in the full view's title.
QString TitleSeparator() {
  return QCoreApplication::translate("TfrmPhotoView", "　", "between title, file name and date");
}

}  // namespace

void TfrmPhotoView::BuildFullPage() {
  pgFull = new QWidget(stkView);
  pgFull->setObjectName("pgFull");
  pgFull->setFocusPolicy(Qt::StrongFocus);
  auto* v = new QVBoxLayout(pgFull);
  v->setContentsMargins(0, 0, 0, 0);
  auto* bar = new QHBoxLayout;
  auto button = [this](const char* name, const QString& caption, const QString& tip) {
    auto* b = new QPushButton(caption, pgFull);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
  };
  btnBack = button("btnBack", QCoreApplication::translate("TfrmPhotoView", "一覧に戻る"),
                   QCoreApplication::translate("TfrmPhotoView", "一覧に戻る (Esc)"));
  btnPrev = button("btnPrev", QCoreApplication::translate("TfrmPhotoView", "◀ 前の写真"),
                   QCoreApplication::translate("TfrmPhotoView", "前の写真 (←)"));
  btnNext = button("btnNext", QCoreApplication::translate("TfrmPhotoView", "次の写真 ▶"),
                   QCoreApplication::translate("TfrmPhotoView", "次の写真 (→)"));
  lblPosition = MakeLabel(pgFull, "lblPosition");
  lblFullTitle = MakeLabel(pgFull, "lblFullTitle");
  lblFullTitle->setTextInteractionFlags(Qt::TextSelectableByMouse);
  bar->addWidget(btnBack);
  bar->addWidget(btnPrev);
  bar->addWidget(btnNext);
  bar->addWidget(lblPosition);
  bar->addSpacing(12);
  bar->addWidget(lblFullTitle, 1);
  v->addLayout(bar);
  lblFullNote = MakeLabel(pgFull, "lblFullNote");
  lblFullNote->setAlignment(Qt::AlignCenter);
  lblFullNote->setWordWrap(true);
  lblFullNote->hide();
  v->addWidget(lblFullNote);
  pvwPhoto = new TPreviewView(pgFull);
  pvwPhoto->setObjectName("pvwPhoto");
  v->addWidget(pvwPhoto, 1);
  stkView->addWidget(pgFull);
  connect(btnBack, &QPushButton::clicked, this, &TfrmPhotoView::CloseFull);
  connect(btnPrev, &QPushButton::clicked, this, [this] { Step(-1); });
  connect(btnNext, &QPushButton::clicked, this, [this] { Step(1); });
  // The keys of the full view reach it wherever the focus is inside it.
  pgFull->installEventFilter(this);
  for (QWidget* w : pgFull->findChildren<QWidget*>()) w->installEventFilter(this);
  // The preview makes its widgets afresh for every photo.
  connect(pvwPhoto, &TPreviewView::NavigateComplete, this, [this] {
    for (QWidget* w : pvwPhoto->findChildren<QWidget*>()) w->installEventFilter(this);
  });
}

bool TfrmPhotoView::FullShown() const { return stkView->currentWidget() == pgFull; }

void TfrmPhotoView::OpenFull() {
  const int record = CurrentRecord();
  if (record < 0) return;
  stkView->setCurrentWidget(pgFull);
  ShowFullRecord(record);
  pgFull->setFocus();
}

void TfrmPhotoView::CloseFull() {
  if (!FullShown()) return;
  stkView->setCurrentWidget(pgGrid);
  fullRecord_ = -1;
  pvwPhoto->Navigate(QString());  // the photo's pixmap goes
  lvwPhotos->setFocus();
  if (lvwPhotos->currentIndex().isValid()) lvwPhotos->scrollTo(lvwPhotos->currentIndex());
  ScheduleVisibleRows();
}

void TfrmPhotoView::ShowFullRecord(int record) {
  if (!store_ || record < 0) return;
  fullRecord_ = record;
  const TPhotoRecord& r = store_->Records()[static_cast<std::size_t>(record)];
  const int row = listModel_->RowOf(record), count = listModel_->rowCount();
  lblPosition->setText(QStringLiteral("%1 / %2").arg(row + 1).arg(count));
  btnPrev->setEnabled(row > 0);
  btnNext->setEnabled(row >= 0 && row + 1 < count);
  lblFullTitle->setText(QStringList{Q(r.Title), Q(r.FileName), Q(r.Date)}.join(TitleSeparator()));
  switch (listModel_->State(record)) {
    case TPhotoListModel::Missing:
      lblFullNote->setText(
          QCoreApplication::translate("TfrmPhotoView", "写真ファイル %1 がありません。").arg(Q(r.FileName)));
      break;
    case TPhotoListModel::Elsewhere:
      lblFullNote->setText(
          QCoreApplication::translate("TfrmPhotoView",
                                      "写真ファイル %1 は%2枚目のメディアにあります（読み込まれていません）。")
              .arg(Q(r.FileName), QString::number(WholeNumber(r.MediaNo))));
      break;
    default:
      lblFullNote->clear();
  }
  lblFullNote->setVisible(!lblFullNote->text().isEmpty());
  pvwPhoto->Navigate(r.Exists ? Q(r.Path) : QString());
}

void TfrmPhotoView::ShowReference(int i) {
  const int record = CurrentRecord();
  if (!store_ || record < 0) return;
  const TPhotoRecord& r = store_->Records()[static_cast<std::size_t>(record)];
  if (i < 0 || static_cast<std::size_t>(i) >= r.References.size()) return;
  const TPhotoReference& ref = r.References[static_cast<std::size_t>(i)];
  stkView->setCurrentWidget(pgFull);
  fullRecord_ = record;
  lblPosition->clear();
  lblFullTitle->setText(QCoreApplication::translate("TfrmPhotoView", "参考図: %1")
                            .arg(QStringList{Q(ref.Title), Q(ref.FileName)}.join(TitleSeparator()).trimmed()));
  lblFullNote->setText(
      ref.Path.empty()
          ? QCoreApplication::translate("TfrmPhotoView", "参考図ファイル %1 がありません。").arg(Q(ref.FileName))
          : QString());
  lblFullNote->setVisible(ref.Path.empty());
  pvwPhoto->Navigate(Q(ref.Path));
}

void TfrmPhotoView::Step(int delta) {
  const int count = listModel_->rowCount();
  const int current = listModel_->RowOf(FullShown() && fullRecord_ >= 0 ? fullRecord_ : CurrentRecord());
  if (count == 0 || current < 0) return;
  const int row = std::clamp(current + delta, 0, count - 1);
  if (row != current || (FullShown() && fullRecord_ != CurrentRecord())) {
    lvwPhotos->setCurrentIndex(listModel_->index(row));
    lvwPhotos->scrollTo(listModel_->index(row));
  }
  if (FullShown()) ShowFullRecord(listModel_->RecordAt(row));
}

void TfrmPhotoView::Zoom(const char* button) {
  // The preview's image renderer has the zoom; its buttons do the work.
  if (auto* b = pvwPhoto->findChild<QPushButton*>(QString::fromLatin1(button)); b && b->isVisible()) b->click();
}

bool TfrmPhotoView::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (event->type() == QEvent::KeyPress && widget && FullShown() && (widget == pgFull || pgFull->isAncestorOf(widget))) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool onButton = qobject_cast<QPushButton*>(widget) != nullptr;
    switch (key->key()) {
      case Qt::Key_Left:
      case Qt::Key_PageUp:
        Step(-1);
        return true;
      case Qt::Key_Right:
      case Qt::Key_PageDown:
        Step(1);
        return true;
      case Qt::Key_Space:
        if (onButton) break;
        Step(1);
        return true;
      case Qt::Key_Home:
        Step(-listModel_->rowCount());
        return true;
      case Qt::Key_End:
        Step(listModel_->rowCount());
        return true;
      case Qt::Key_Escape:
      case Qt::Key_Backspace:
        CloseFull();
        return true;
      case Qt::Key_Plus:
      case Qt::Key_Equal:
        Zoom("btnImageZoomIn");
        return true;
      case Qt::Key_Minus:
        Zoom("btnImageZoomOut");
        return true;
      case Qt::Key_0:
      case Qt::Key_Asterisk:
        Zoom("btnImageFit");
        return true;
      default:
        break;
    }
  }
  // Ctrl with the wheel zooms the photo.
  if (event->type() == QEvent::Wheel && widget && FullShown() && pgFull->isAncestorOf(widget) &&
      (static_cast<QWheelEvent*>(event)->modifiers() & Qt::ControlModifier)) {
    const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
    if (delta != 0) Zoom(delta > 0 ? "btnImageZoomIn" : "btnImageZoomOut");
    return true;
  }
  if (watched == lvwPhotos->viewport() && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
    ScheduleVisibleRows();
  return QWidget::eventFilter(watched, event);
}

}  // namespace dlvr
