#include "panes/photo_view.h"

#include <QCoreApplication>

#include "components/qt_string.h"
#include "i18n/ui_language.h"
#include "platform/text.h"

#include "panes/photo_view_internal.h"

// The photo window's details of the selected photo: its every field, its
// file, its reference drawings and the image's own facts.

namespace dlvr {

using namespace photo_view_detail;

namespace {

// "2400 × 1600（384万画素）": the pixels counted in ten thousands, as
// Japanese counts them; in English in millions ("2400 × 1600 (3.8 MP)").
QString PixelText(int w, int h) {
  const double pixels = double(w) * h;
  const QString count = InstalledUiLanguage() == UiLanguage::Japanese ? QString::number(pixels / 10000.0, 'f', 0)
                                                                      : QString::number(pixels / 1e6, 'f', 1);
  return QCoreApplication::translate("TfrmPhotoView", "%1 × %2（%3万画素）")
      .arg(QString::number(w), QString::number(h), count);
}

}  // namespace

void TfrmPhotoView::AddDetail(const QString& label, const QString& value, const QColor& ink, bool path) {
  const int row = tblDetails->rowCount();
  tblDetails->insertRow(row);
  auto* l = new QTableWidgetItem(label);
  l->setForeground(palette().color(QPalette::PlaceholderText));
  tblDetails->setItem(row, 0, l);
  auto* v = new QTableWidgetItem(value);
  v->setToolTip(value);
  if (ink.isValid()) v->setForeground(ink);
  v->setData(kPathRole, path);
  tblDetails->setItem(row, 1, v);
}

void TfrmPhotoView::ShowDetails(int record) {
  tblDetails->setRowCount(0);
  lstReferences->clear();
  factsRecord_ = -1;
  if (!store_ || record < 0 || static_cast<std::size_t>(record) >= store_->Records().size()) return;
  const TPhotoRecord& r = store_->Records()[static_cast<std::size_t>(record)];
  using Field = std::pair<const char*, std::string TPhotoRecord::*>;
  auto add = [&](std::initializer_list<Field> fields) {
    for (const auto& [label, member] : fields)
      AddDetail(QCoreApplication::translate("TfrmPhotoView", label), Q(r.*member));
  };
  add({{QT_TRANSLATE_NOOP("TfrmPhotoView", "シリアル番号"), &TPhotoRecord::Serial},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "写真ファイル名"), &TPhotoRecord::FileName},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "写真ファイル日本語名"), &TPhotoRecord::JapaneseName},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "メディア番号"), &TPhotoRecord::MediaNo},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "写真-大分類"), &TPhotoRecord::MajorClass},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "写真区分"), &TPhotoRecord::Division},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "工種"), &TPhotoRecord::WorkType},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "種別"), &TPhotoRecord::Kind},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "細別"), &TPhotoRecord::Detail},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "写真タイトル"), &TPhotoRecord::Title}});
  for (const std::string& s : r.ClassSpares)
    AddDetail(QCoreApplication::translate("TfrmPhotoView", "工種区分予備"), Q(s));
  for (const TPhotoReference& ref : r.References) {
    AddDetail(QCoreApplication::translate("TfrmPhotoView", "参考図ファイル名"), Q(ref.FileName));
    AddDetail(QCoreApplication::translate("TfrmPhotoView", "参考図ファイル日本語名"), Q(ref.JapaneseName));
    AddDetail(QCoreApplication::translate("TfrmPhotoView", "参考図タイトル"), Q(ref.Title));
    for (const std::string& s : ref.Spares)
      AddDetail(QCoreApplication::translate("TfrmPhotoView", "付加情報予備"), Q(s));
  }
  add({{QT_TRANSLATE_NOOP("TfrmPhotoView", "撮影箇所"), &TPhotoRecord::Place},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "撮影年月日"), &TPhotoRecord::Date},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "代表写真"), &TPhotoRecord::Representative},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "提出頻度写真"), &TPhotoRecord::Frequency},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "施工管理値"), &TPhotoRecord::ControlValue},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "請負者説明文"), &TPhotoRecord::Explanation}});
  // Elements the reader does not know, as they stand.
  for (const TPhotoExtra& e : r.Extra) AddDetail(Q(e.Element), Q(e.Value));
  switch (listModel_->State(record)) {
    case TPhotoListModel::Missing:
      AddDetail(QCoreApplication::translate("TfrmPhotoView", "ファイル"),
                QCoreApplication::translate("TfrmPhotoView", "ファイルがありません。"), QColor(0xc6, 0x28, 0x28));
      break;
    case TPhotoListModel::Elsewhere:
      AddDetail(QCoreApplication::translate("TfrmPhotoView", "ファイル"),
                QCoreApplication::translate("TfrmPhotoView", "%1枚目のメディアにあります（読み込まれていません）。")
                    .arg(WholeNumber(r.MediaNo)),
                QColor(0x2f, 0x5f, 0xb3));
      break;
    default:
      AddDetail(QCoreApplication::translate("TfrmPhotoView", "ファイル"), Q(r.Path), QColor(), true);
  }
  if (static_cast<std::size_t>(r.FileIndex) < store_->Files().size())
    AddDetail(QCoreApplication::translate("TfrmPhotoView", "写真管理ファイル"),
              QCoreApplication::translate("TfrmPhotoView", "%1（%2行目）")
                  .arg(Q(store_->Files()[static_cast<std::size_t>(r.FileIndex)].XmlPath), QString::number(r.Line)),
              QColor(), true);
  tblDetails->resizeColumnToContents(0);

  for (std::size_t i = 0; i < r.References.size(); ++i) {
    const TPhotoReference& ref = r.References[i];
    QString caption = Q(!ref.Title.empty() ? ref.Title : !ref.JapaneseName.empty() ? ref.JapaneseName : ref.FileName);
    if (!ref.FileName.empty())
      caption = QCoreApplication::translate("TfrmPhotoView", "%1（%2）").arg(caption, Q(ref.FileName));
    auto* item = new QListWidgetItem(caption, lstReferences);
    item->setData(Qt::UserRole, static_cast<int>(i));
    if (ref.Path.empty()) {
      item->setText(caption + QCoreApplication::translate("TfrmPhotoView", " ［ファイルなし］"));
      item->setForeground(QColor(0xc6, 0x28, 0x28));
    }
  }

  // The image's own facts come from the file, off the GUI thread.
  if (!r.Exists) return;
  factsRecord_ = record;
  const int generation = generation_;
  RunInBackground<TImageFacts>(
      this, [path = r.Path] { return ReadImageFacts(path); },
      [this, record, generation](const TImageFacts& facts) {
        if (generation == generation_ && record == factsRecord_) ShowFacts(facts);
      });
}

void TfrmPhotoView::ShowFacts(const TImageFacts& facts) {
  AddDetail(
      QCoreApplication::translate("TfrmPhotoView", "画像形式"),
      facts.Format.empty() ? QCoreApplication::translate("TfrmPhotoView", "（不明）") : Q(AsciiUpper(facts.Format)));
  if (facts.Width > 0)
    AddDetail(QCoreApplication::translate("TfrmPhotoView", "画素数"), PixelText(facts.Width, facts.Height));
  if (facts.Orientation > 1)
    AddDetail(QCoreApplication::translate("TfrmPhotoView", "Exif 向き"), QString::number(facts.Orientation));
  if (!facts.DateTimeOriginal.empty())
    AddDetail(QCoreApplication::translate("TfrmPhotoView", "Exif 撮影日時"), Q(facts.DateTimeOriginal));
  if (!facts.Software.empty())
    AddDetail(QCoreApplication::translate("TfrmPhotoView", "Exif ソフトウェア"), Q(facts.Software));
}

}  // namespace dlvr
