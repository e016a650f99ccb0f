#include "components/photo_ledger.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImageReader>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "components/drawing_canvas.h"
#include "components/qt_string.h"

// The ledger's page, in millimetres from the paper's top left corner:
//
//   header   工事名称 / 工事番号 at the left, 写真帳 at the right, a rule below
//   body     PerPage slots one under the other; in each, the photo's box at
//            the left (4:3, at most 110 mm wide) and the fields at the right
//            in a ruled table of label and value (the drawing box under
//            the table when asked for)
//   footer   a rule, "N / M ページ" in the middle, the print date at the right

namespace dlvr {
namespace {

constexpr double kPaperW = 210, kPaperH = 297;
constexpr double kLeft = 15, kRight = 195, kTop = 12;
constexpr double kBodyTop = 27, kBodyBottom = 280;
constexpr double kGap = 4;  // between the photo's box and the fields, and around a slot

const char* const kLedgerContext = "TPhotoLedger";

QString LedgerText(const char* source) { return QCoreApplication::translate(kLedgerContext, source); }

int LedgerPerPage(const TPhotoLedgerOptions& o) { return o.PerPage >= 2 && o.PerPage <= 4 ? o.PerPage : 3; }

// Where the parts of a slot lie, the slot's top at 0.
struct TLedgerSlot {
  double Height = 0;
  QRectF Photo;    // the photo's box
  QRectF Fields;   // the table of fields
  QRectF Drawing;  // the reference drawing's box (empty when not asked for)
};

TLedgerSlot LedgerSlot(const TPhotoLedgerOptions& o) {
  TLedgerSlot s;
  s.Height = (kBodyBottom - kBodyTop) / LedgerPerPage(o);
  const double inner = s.Height - kGap;
  const double photoW = std::min(110.0, inner * 4 / 3), photoH = photoW * 3 / 4;
  s.Photo = QRectF(kLeft, kGap / 2 + (inner - photoH) / 2, photoW, photoH);
  const double x = kLeft + photoW + kGap;
  if (o.DrawingBox) {
    const double fieldsH = inner * 0.62;
    s.Fields = QRectF(x, kGap / 2, kRight - x, fieldsH);
    s.Drawing = QRectF(x, kGap / 2 + fieldsH + 1.5, kRight - x, inner - fieldsH - 1.5);
  } else {
    s.Fields = QRectF(x, kGap / 2, kRight - x, inner);
  }
  return s;
}

// A box's size in pixels at `dpi`.
QSize LedgerPixels(const QRectF& mm, int dpi) {
  return QSize(std::max(1, qRound(mm.width() * dpi / 25.4)), std::max(1, qRound(mm.height() * dpi / 25.4)));
}

// The size to ask a JPEG's decoder for, `target` being the size the photo
// is printed at (both as stored, before it is turned). The decoder scales
// by eighths (M/8 of the stored size, rounded up) and smooths whatever
// differs from the size asked for, at a cost like that of the decoding
// itself; so it is asked for the smallest eighth at or above the target
// when that eighth is a whole number of pixels, the target then reached by
// a cheaper resampling. Otherwise (and for any other format) the target.
QSize LedgerDecodeSize(QSize stored, QSize target, bool jpeg) {
  if (!jpeg) return target;
  const long long w = stored.width(), h = stored.height();
  for (int m = 1; m <= 8; ++m) {
    if (w * m < 8LL * target.width() || h * m < 8LL * target.height()) continue;
    if ((w * m) % 8 != 0 || (h * m) % 8 != 0) return target;
    return QSize(static_cast<int>(w * m / 8), static_cast<int>(h * m / 8));
  }
  return target;
}

// `image` resampled to `size`. Up to half as large again it is interpolated
// between the four nearest pixels, which then looks as smooth as averaging
// every pixel and costs a third of it; beyond that, averaged.
QImage LedgerResample(const QImage& image, QSize size) {
  if (image.size() == size) return image;
  if (image.width() * 2 > size.width() * 3 || image.height() * 2 > size.height() * 3 || image.width() < size.width() ||
      image.height() < size.height())
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  QImage out(size, image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  if (out.isNull()) return out;
  QPainter painter(&out);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), image);
  painter.end();
  return out;
}

// What the decoding threads hand over for one photo: its image and the
// first reference drawing's, each at its box's size (null when it could not
// be read).
struct TLedgerImages {
  QImage Photo;
  QImage Drawing;
};

// Decodes the photos of the ledger in printed order on worker threads, at
// most `window` of them ahead of the one taken last: what is waiting to be
// painted never grows with the number of photos.
class TLedgerDecoder {
 public:
  TLedgerDecoder(std::vector<QString> photos, std::vector<QString> drawings, QSize photoBox, QSize drawingBox,
                 int workers, int window)
      : photos_(std::move(photos)), drawings_(std::move(drawings)), photoBox_(photoBox), drawingBox_(drawingBox),
        window_(std::max(1, window)), done_(photos_.size()) {
    for (int i = 0; i < std::max(1, workers); ++i) threads_.emplace_back([this] { Work(); });
  }
  ~TLedgerDecoder() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
  }

  // The images of photo `i` (taken in order, each once), waiting for them.
  TLedgerImages Take(std::size_t i) {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [&] { return done_[i].has_value(); });
    TLedgerImages images = std::move(*done_[i]);
    done_[i].reset();
    taken_ = i + 1;
    wake_.notify_all();
    return images;
  }

 private:
  void Work() {
    for (;;) {
      std::size_t i;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] { return stop_ || (next_ < photos_.size() && next_ < taken_ + window_); });
        if (stop_ || next_ >= photos_.size()) return;
        i = next_++;
      }
      TLedgerImages images;
      if (!photos_[i].isEmpty()) images.Photo = DecodeLedgerImage(photos_[i], photoBox_);
      if (!drawings_[i].isEmpty()) images.Drawing = DecodeLedgerImage(drawings_[i], drawingBox_);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        done_[i] = std::move(images);
      }
      ready_.notify_all();
    }
  }

  const std::vector<QString> photos_, drawings_;
  const QSize photoBox_, drawingBox_;
  const std::size_t window_;
  std::mutex mutex_;
  std::condition_variable wake_, ready_;
  std::vector<std::optional<TLedgerImages>> done_;
  std::size_t next_ = 0, taken_ = 0;
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

// Paints on one device page in millimetres.
class TLedgerPainter {
 public:
  TLedgerPainter(QPainter& painter, double dpiX, double dpiY) : p_(painter), sx_(dpiX / 25.4), sy_(dpiY / 25.4) {}

  QRectF Px(const QRectF& mm) const { return QRectF(mm.x() * sx_, mm.y() * sy_, mm.width() * sx_, mm.height() * sy_); }

  void Rule(double x1, double y1, double x2, double y2, double widthMm = 0.2) {
    QPen pen(Qt::black);
    pen.setWidthF(widthMm * sx_);
    p_.setPen(pen);
    p_.drawLine(QPointF(x1 * sx_, y1 * sy_), QPointF(x2 * sx_, y2 * sy_));
  }

  void Frame(const QRectF& mm, double widthMm = 0.2) {
    QPen pen(Qt::black);
    pen.setWidthF(widthMm * sx_);
    p_.setPen(pen);
    p_.setBrush(Qt::NoBrush);
    p_.drawRect(Px(mm));
  }

  // Text in a box, wrapped (unless `wrap` is false), at `points` or
  // smaller until it fits (down to 5 points; beyond that it is cut at the
  // box).
  void Text(const QRectF& mm, const QString& text, double points, int align = Qt::AlignLeft | Qt::AlignVCenter,
            bool bold = false, bool wrap = true) {
    if (text.isEmpty()) return;
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setBold(bold);
    const QRectF box = Px(mm.adjusted(0.8, 0.2, -0.8, -0.2));
    const int flags = align | (wrap ? Qt::TextWordWrap | Qt::TextWrapAnywhere : 0);
    for (double pt = points;; pt -= 0.5) {
      font.setPointSizeF(pt);
      p_.setFont(font);
      const QRectF need = p_.boundingRect(box, flags, text);
      if ((need.height() <= box.height() + 0.5 && need.width() <= box.width() + 0.5) || pt <= 5) break;
    }
    p_.save();
    p_.setPen(Qt::black);
    p_.setClipRect(box);
    p_.drawText(box, flags, text);
    p_.restore();
  }

  // An image centred in a box, scaled to fit it with its aspect kept; when
  // there is none, the box framed with `reason` in it.
  void Image(const QRectF& mm, const QImage& image, const QString& reason) {
    if (image.isNull()) {
      Frame(mm, 0.4);
      Text(mm.adjusted(3, 3, -3, -3), reason, 10, Qt::AlignCenter);
      return;
    }
    const QRectF box = Px(mm);
    QSizeF size = QSizeF(image.size()).scaled(box.size(), Qt::KeepAspectRatio);
    const QRectF target(box.x() + (box.width() - size.width()) / 2, box.y() + (box.height() - size.height()) / 2,
                        size.width(), size.height());
    p_.drawImage(target, image);
    Frame(mm, 0.1);
  }

  void Translate(double yMm) { p_.translate(0, yMm * sy_); }
  void Reset() { p_.resetTransform(); }
  QPainter& Painter() { return p_; }

 private:
  QPainter& p_;
  double sx_, sy_;
};

QString LedgerMark(const std::string& flag) { return PhotoFlag(flag) ? QStringLiteral("○") : QString(); }

void PaintLedgerFields(TLedgerPainter& lp, const QRectF& box, const TPhotoRecord& r) {
  QStringList references;
  for (const TPhotoReference& ref : r.References)
    if (!ref.FileName.empty()) references << Q(ref.FileName);
  const std::pair<const char*, QString> rows[] = {
      {QT_TRANSLATE_NOOP("TPhotoLedger", "写真-大分類"), Q(r.MajorClass)},
      {QT_TRANSLATE_NOOP("TPhotoLedger", "写真区分"), Q(r.Division)},
      {QT_TRANSLATE_NOOP("TPhotoLedger", "工種"), Q(r.WorkType)},
      {QT_TRANSLATE_NOOP("TPhotoLedger", "種別"), Q(r.Kind)},
      {QT_TRANSLATE_NOOP("TPhotoLedger", "細別"), Q(r.Detail)},
      {QT_TRANSLATE_NOOP("TPhotoLedger", "写真タイトル"), Q(r.Title)},
      {QT_TRANSLATE_NOOP("TPhotoLedger", "撮影箇所"), Q(r.Place)},
      {QT_TRANSLATE_NOOP("TPhotoLedger", "撮影年月日"), Q(r.Date)},
      {QT_TRANSLATE_NOOP("TPhotoLedger", "代表写真"), LedgerMark(r.Representative)},
      {QT_TRANSLATE_NOOP("TPhotoLedger", "提出頻度写真"), LedgerMark(r.Frequency)},
      {QT_TRANSLATE_NOOP("TPhotoLedger", "参考図"), references.join(QStringLiteral(", "))},
  };
  const int count = static_cast<int>(std::size(rows));
  // The title gets two lines' room.
  const double line = box.height() / (count + 1);
  const double labelW = std::min(26.0, box.width() * 0.32);
  lp.Frame(box);
  double y = box.top();
  for (int i = 0; i < count; ++i) {
    const double h = i == 5 ? 2 * line : line;
    if (i > 0) lp.Rule(box.left(), y, box.right(), y, 0.1);
    lp.Text(QRectF(box.left(), y, labelW, h), LedgerText(rows[i].first), 7.5, Qt::AlignLeft | Qt::AlignVCenter, false,
            false);
    lp.Text(QRectF(box.left() + labelW, y, box.width() - labelW, h), rows[i].second, 9);
    y += h;
  }
  lp.Rule(box.left() + labelW, box.top(), box.left() + labelW, box.bottom(), 0.1);
}

void PaintLedgerFrame(TLedgerPainter& lp, const TPhotoLedgerOptions& o, int page, int pages, const QDate& date) {
  lp.Text(QRectF(kLeft, kTop, 18, 6), QCoreApplication::translate("TPhotoLedger", "工事名称"), 8);
  lp.Text(QRectF(kLeft + 18, kTop, 130, 6), o.ProjectName, 11, Qt::AlignLeft | Qt::AlignVCenter, true);
  lp.Text(QRectF(kLeft, kTop + 6, 18, 5), QCoreApplication::translate("TPhotoLedger", "工事番号"), 8);
  lp.Text(QRectF(kLeft + 18, kTop + 6, 130, 5), o.ProjectNumber, 9);
  lp.Text(QRectF(kRight - 30, kTop, 30, 11), QCoreApplication::translate("TPhotoLedger", "写真帳"), 12, Qt::AlignRight | Qt::AlignVCenter, true);
  lp.Rule(kLeft, kBodyTop - 2.5, kRight, kBodyTop - 2.5, 0.4);
  lp.Rule(kLeft, kBodyBottom + 2, kRight, kBodyBottom + 2, 0.2);
  lp.Text(QRectF(kLeft + 50, kBodyBottom + 3, kRight - kLeft - 100, 6),
          QCoreApplication::translate("TPhotoLedger", "%1 / %2 ページ").arg(page).arg(pages), 9, Qt::AlignCenter);
  lp.Text(QRectF(kRight - 50, kBodyBottom + 3, 50, 6),
          QCoreApplication::translate("TPhotoLedger", "印刷日 %1").arg(date.toString(QStringLiteral("yyyy/MM/dd"))), 8, Qt::AlignRight | Qt::AlignVCenter);
}

}  // namespace

QImage DecodeLedgerImage(const QString& path, QSize box) {
  // Only a regular file (a link to one counts): a FIFO or device never opens.
  if (box.isEmpty() || !QFileInfo(path).isFile()) return QImage();
  QImageReader reader(path);
  reader.setDecideFormatFromContent(true);  // by content, never by the name
  reader.setAutoTransform(true);
  const QSize stored = reader.size();
  // The box as the image is stored, before it is turned.
  const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
  const QSize fit = turned ? box.transposed() : box;
  QSize target;
  if (stored.isValid() && (stored.width() > fit.width() || stored.height() > fit.height())) {
    target = stored.scaled(fit, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    reader.setScaledSize(LedgerDecodeSize(stored, target, reader.format() == "jpeg"));
  }
  QImage image = reader.read();
  if (image.isNull()) return image;
  if (target.isValid()) return LedgerResample(image, turned ? target.transposed() : target);
  // A reader that could not tell the size before reading.
  if (image.width() > box.width() || image.height() > box.height())
    image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  return image;
}

std::vector<std::vector<int>> PhotoLedgerPages(const TPhotoIndex& index, const std::vector<int>& rows,
                                               const TPhotoLedgerOptions& options) {
  const std::size_t per = static_cast<std::size_t>(LedgerPerPage(options));
  std::vector<std::vector<int>> pages;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const int r = rows[k];
    const bool newGroup = options.GroupPerPage && k > 0 && r < index.Count() && rows[k - 1] < index.Count() &&
                          index.Group(r) != index.Group(rows[k - 1]);
    if (pages.empty() || pages.back().size() >= per || newGroup) pages.emplace_back();
    pages.back().push_back(r);
  }
  return pages;
}

TPhotoLedgerResult PaintPhotoLedger(QPagedPaintDevice& device, const TPhotoStore& store, const TPhotoIndex& index,
                                    const std::vector<int>& rows, const TPhotoLedgerOptions& options) {
  TPhotoLedgerResult result;
  const auto& records = store.Records();
  std::vector<int> valid;
  for (int r : rows)
    if (r >= 0 && static_cast<std::size_t>(r) < records.size()) valid.push_back(r);
  const std::vector<std::vector<int>> pages = PhotoLedgerPages(index, valid, options);
  device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
  if (pages.empty()) {
    result.Written = true;
    return result;
  }
  const TLedgerSlot slot = LedgerSlot(options);
  const int dpi = std::clamp(options.ImageDpi, 50, 600);
  std::vector<QString> photos, drawings;
  for (const auto& page : pages)
    for (int r : page) {
      const TPhotoRecord& rec = records[static_cast<std::size_t>(r)];
      photos.push_back(Q(rec.Path));
      drawings.push_back(options.DrawingBox && !rec.References.empty() ? Q(rec.References.front().Path) : QString());
    }
  const int workers = options.Workers > 0 ? options.Workers : std::max(1, QThread::idealThreadCount());
  TLedgerDecoder decoder(std::move(photos), std::move(drawings), LedgerPixels(slot.Photo, dpi),
                         LedgerPixels(slot.Drawing, dpi), workers, 2 * workers + 2 * LedgerPerPage(options));

  QPainter painter;
  if (!painter.begin(&device)) return result;
  // Positions count from the paper's corner, whatever margins a printer keeps.
  const QRect paint = device.pageLayout().paintRectPixels(device.logicalDpiX());
  const QDate date = options.PrintDate.isValid() ? options.PrintDate : QDate::currentDate();
  TLedgerPainter lp(painter, device.logicalDpiX(), device.logicalDpiY());
  std::size_t next = 0;
  const int count = static_cast<int>(pages.size());
  for (int n = 0; n < count; ++n) {
    if (n > 0 && !device.newPage()) {
      painter.end();
      return result;
    }
    lp.Reset();
    painter.translate(-paint.topLeft());
    PaintLedgerFrame(lp, options, n + 1, count, date);
    lp.Translate(kBodyTop);
    for (int r : pages[static_cast<std::size_t>(n)]) {
      const TPhotoRecord& rec = records[static_cast<std::size_t>(r)];
      const TLedgerImages images = decoder.Take(next++);
      QString reason;
      if (rec.Path.empty())
        reason = QCoreApplication::translate("TPhotoLedger", "写真ファイルがありません");
      else if (images.Photo.isNull())
        reason = QCoreApplication::translate("TPhotoLedger", "写真ファイルを画像として読めません");
      if (!reason.isEmpty()) {
        result.Unplaced.push_back({r, reason});
        reason += QStringLiteral("\n") + Q(rec.FileName);
      }
      lp.Image(slot.Photo, images.Photo, reason);
      PaintLedgerFields(lp, slot.Fields, rec);
      if (!slot.Drawing.isEmpty()) {
        if (rec.References.empty())
          lp.Frame(slot.Drawing, 0.1);
        else
          lp.Image(slot.Drawing, images.Drawing,
                   (rec.References.front().Path.empty() ? QCoreApplication::translate("TPhotoLedger", "参考図ファイルがありません")
                                                         : QCoreApplication::translate("TPhotoLedger", "参考図を画像として読めません")) +
                       QStringLiteral("\n") + Q(rec.References.front().FileName));
      }
      lp.Translate(slot.Height);
    }
    result.Pages = n + 1;
    if (options.Progress && !options.Progress(n + 1, count)) {
      painter.end();
      return result;
    }
  }
  result.Written = painter.end();
  return result;
}

TPhotoLedgerResult WritePhotoLedgerPdf(const QString& path, const TPhotoStore& store, const TPhotoIndex& index,
                                       const std::vector<int>& rows, const TPhotoLedgerOptions& options) {
  TPhotoLedgerResult result;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return result;
  {
    QPdfWriter writer(&file);
    writer.setTitle(QCoreApplication::translate("TPhotoLedger", "写真帳"));
    writer.setCreator(ApplicationTitle());
    writer.setResolution(300);
    result = PaintPhotoLedger(writer, store, index, rows, options);
  }
  if (!result.Written) {
    file.cancelWriting();
    return result;
  }
  result.Written = file.commit();
  return result;
}

}  // namespace dlvr
