#include "components/photo_rules.h"

#include <QCollator>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <array>

#include "components/qt_string.h"

namespace dlvr {

// ---------------------------------------------------------------------------
// Rules on records

QDate PhotoDate(const std::string& text) {
  static const QRegularExpression parted(QStringLiteral("^(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})$"));
  static const QRegularExpression joined(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
  const QString folded = Q(text).normalized(QString::NormalizationForm_KC).trimmed();
  QRegularExpressionMatch m = parted.match(folded);
  if (!m.hasMatch()) m = joined.match(folded);
  if (!m.hasMatch()) return QDate();
  // Invalid for a day that is not in the calendar.
  return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
}

bool PhotoFlag(const std::string& text) {
  return Q(text).normalized(QString::NormalizationForm_KC).trimmed() == QStringLiteral("1");
}

QStringList PhotoGroupPath(const TPhotoRecord& r) {
  const std::array<const std::string*, kPhotoGroupLevels> levels = {&r.MajorClass, &r.Division, &r.WorkType, &r.Kind,
                                                                   &r.Detail};
  QStringList values;
  int last = -1;
  for (int i = 0; i < kPhotoGroupLevels; ++i) {
    values << Q(*levels[static_cast<std::size_t>(i)]).trimmed();
    if (!values.back().isEmpty()) last = i;
  }
  QStringList path;
  // Translated here, off the GUI thread too: the translator is safe to ask
  // from any thread.
  const QString none = QCoreApplication::translate("TPhotoIndex", "（なし）");
  for (int i = 0; i <= last; ++i) path << (values[i].isEmpty() ? none : values[i]);
  return path;
}

QString TPhotoIndex::Fold(const QString& text) {
  return text.normalized(QString::NormalizationForm_KC).toCaseFolded();
}

void TPhotoIndex::Build(const std::vector<TPhotoRecord>& records) {
  entries_.clear();
  entries_.reserve(records.size());
  for (const TPhotoRecord& r : records) {
    Entry e;
    e.Haystack = Fold(QStringList{Q(r.Title), Q(r.Place), Q(r.WorkType), Q(r.Kind), Q(r.Detail), Q(r.FileName),
                                  Q(r.JapaneseName)}
                          .join(u'\n'));
    e.Date = PhotoDate(r.Date);
    e.Group = PhotoGroupPath(r);
    e.Representative = PhotoFlag(r.Representative);
    e.Frequency = PhotoFlag(r.Frequency);
    e.SerialText = Q(r.Serial).trimmed();
    e.Serial = e.SerialText.toLongLong(&e.SerialIsNumber);
    e.Title = Q(r.Title);
    entries_.push_back(std::move(e));
  }
}

std::vector<int> TPhotoIndex::Select(const TPhotoFilter& f, bool ignoreGroup) const {
  // Every word of the text is to be found (in any of the fields).
  const QStringList words = Fold(f.Text).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
  const bool group = !ignoreGroup && !f.Group.isEmpty();
  std::vector<int> rows;
  for (int i = 0; i < Count(); ++i) {
    const Entry& e = entries_[static_cast<std::size_t>(i)];
    if (f.RepresentativeOnly && !e.Representative) continue;
    if (f.FrequencyOnly && !e.Frequency) continue;
    if (f.From.isValid() && (!e.Date.isValid() || e.Date < f.From)) continue;
    if (f.To.isValid() && (!e.Date.isValid() || e.Date > f.To)) continue;
    if (group && (e.Group.size() < f.Group.size() || e.Group.mid(0, f.Group.size()) != f.Group)) continue;
    if (!std::all_of(words.begin(), words.end(), [&](const QString& w) { return e.Haystack.contains(w); })) continue;
    rows.push_back(i);
  }
  return rows;
}

void TPhotoIndex::Sort(std::vector<int>& rows, TPhotoSort sort) const {
  auto entry = [this](int i) -> const Entry& { return entries_[static_cast<std::size_t>(i)]; };
  std::sort(rows.begin(), rows.end());  // file order first: ties keep it
  switch (sort) {
    case TPhotoSort::Serial:
      std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
        const Entry &x = entry(a), &y = entry(b);
        if (x.SerialIsNumber != y.SerialIsNumber) return x.SerialIsNumber;
        if (x.SerialIsNumber) return x.Serial < y.Serial;
        return x.SerialText < y.SerialText;
      });
      break;
    case TPhotoSort::Date:
      std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
        const Entry &x = entry(a), &y = entry(b);
        if (x.Date.isValid() != y.Date.isValid()) return x.Date.isValid();
        return x.Date < y.Date;
      });
      break;
    case TPhotoSort::Title: {
      // Japanese collation, numbers by their value ("写真2" before "写真10").
      QCollator collator{QLocale(QLocale::Japanese, QLocale::Japan)};
      collator.setNumericMode(true);
      std::vector<std::pair<QCollatorSortKey, int>> keyed;
      keyed.reserve(rows.size());
      for (int i : rows) keyed.emplace_back(collator.sortKey(entry(i).Title), i);
      std::stable_sort(keyed.begin(), keyed.end(),
                       [](const auto& a, const auto& b) { return a.first.compare(b.first) < 0; });
      for (std::size_t k = 0; k < keyed.size(); ++k) rows[k] = keyed[k].second;
      break;
    }
  }
}

void TPhotoIndex::SortGrouped(std::vector<int>& rows, TPhotoSort sort) const {
  Sort(rows, sort);
  // Each record's place in the group tree: at every level, the rank of its
  // group among its siblings, as they first come in the file.
  QHash<QString, int> rankOf, nextChild;
  std::vector<std::vector<int>> place(entries_.size());
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    QString key;
    for (const QString& level : entries_[i].Group) {
      const QString parent = key;
      key += level + QChar(0x1f);
      auto it = rankOf.find(key);
      if (it == rankOf.end()) it = rankOf.insert(key, nextChild[parent]++);
      place[i].push_back(*it);
    }
  }
  // A shorter place (a group's own photos) comes before the longer ones it
  // begins; equal places keep the order of `sort`.
  std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
    const auto &x = place[static_cast<std::size_t>(a)], &y = place[static_cast<std::size_t>(b)];
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end());
  });
}

// ---------------------------------------------------------------------------
// Thumbnails

QImage DecodeThumbnail(const QString& path, QSize box) {
  // Only a regular file (a link to one counts): a FIFO or device never opens.
  if (!QFileInfo(path).isFile() || box.isEmpty()) return QImage();
  QImageReader reader(path);
  reader.setDecideFormatFromContent(true);  // by content, never by the name
  reader.setAutoTransform(true);
  const QSize stored = reader.size();
  if (stored.isValid()) {
    // The scaled size is that of the image as stored, before it is turned.
    QSize b = box;
    if (reader.transformation() & QImageIOHandler::TransformationRotate90) b.transpose();
    if (stored.width() > b.width() || stored.height() > b.height())
      reader.setScaledSize(stored.scaled(b, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
  }
  QImage image = reader.read();
  if (image.isNull()) return QImage();
  if (image.width() > box.width() || image.height() > box.height())
    image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  return image;
}

}  // namespace dlvr
