#include "support/journey.h"

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QPainter>
#include <QPdfDocument>
#include <QTest>
#include <QTreeView>

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/kkt_tree_model.h"
#include "app/main_window.h"
#include "components/preview_view.h"
#include "model/doc_tree.h"
#include "platform/drive.h"
#include "support/wait.h"

namespace dlvr::test {

TJourney::TJourney(UiLanguage lang) : lang_(lang) {
  SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
  Prompts.Fallback = DialogAnswer::Ok;
  InstallUiTranslations(lang);
}

TJourney::~TJourney() {
  window_.reset();
  SetDriveTypeOverride(nullptr);
  InstallUiTranslations(UiLanguage::Japanese);
}

TfrmMain& TJourney::Open(const QStringList& folders) {
  window_ = std::make_unique<TfrmMain>(folders.value(0));
  if (folders.size() > 1) window_->SetFurtherFolders(folders.mid(1));
  window_->resize(1200, 800);
  window_->show();
  window_->activateWindow();
  window_->FirstLoad();
  Settle();
  return *window_;
}

TTreeItem* TJourney::Item(const QStringList& captions) const {
  TTreeItem* item = window_->Model().View.Tree().Root();
  for (const QString& caption : captions) {
    if (!item) return nullptr;
    TTreeItem* found = nullptr;
    for (int pass = 0; pass < 2 && !found; ++pass)
      for (int i = 0; i < item->Count() && !found; ++i) {
        const QString c = QString::fromStdString(item->Item(i)->Caption());
        if (pass == 0 ? c == caption : c.startsWith(caption)) found = item->Item(i);
      }
    item = found;
  }
  return item;
}

void TJourney::Click(TTreeItem* item) {
  if (!item) {
    ADD_FAILURE() << "no such tree item";
    return;
  }
  QTreeView* tree = window_->tvwKKT;
  const QModelIndex index = window_->TreeModel()->IndexOf(item);
  for (QModelIndex p = index.parent(); p.isValid(); p = p.parent()) tree->expand(p);
  tree->scrollTo(index);
  QApplication::processEvents();
  const QRect rect = tree->visualRect(index);
  // The caption, right of the icon: a click there selects the row.
  const QPoint at(rect.left() + std::min(rect.width() / 2, 40), rect.center().y());
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  Settle();
}

void TJourney::Click(const QStringList& captions) {
  TTreeItem* item = Item(captions);
  if (!item) ADD_FAILURE() << "no tree item " << captions.join(" > ").toStdString();
  Click(item);
}

void TJourney::Key(int key, Qt::KeyboardModifiers modifiers) {
  QWidget* target = QApplication::focusWidget();
  if (!target) target = window_->tvwKKT;
  QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
  Settle();
}

TPreviewView* TJourney::VisiblePreview() const {
  for (TPreviewView* v : window_->findChildren<TPreviewView*>())
    if (v->isVisible()) return v;
  return nullptr;
}

bool TJourney::Settle(int ms) {
  const bool done = WaitUntil(
      [this] {
        for (TPreviewView* v : window_->findChildren<TPreviewView*>())
          if (v->isVisible() && v->Busy()) return false;
        return true;
      },
      ms);
  // Pages a PDF view paints come a few event rounds after it is told to.
  QTest::qWait(50);
  return done;
}

QImage TJourney::Grab(QWidget* widget) {
  if (!widget) return {};
  // A scroll area shows its content in its viewport: its bars and frame
  // are no part of what it shows.
  if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) widget = area->viewport();
  return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void TJourney::Shot(const QString& name) const {
  const QString folder = qEnvironmentVariable("DLVR_JOURNEY_SHOTS");
  if (folder.isEmpty() || !window_) return;
  Grab(window_.get()).save(folder + u'/' + name + (lang_ == UiLanguage::English ? "_en" : "_ja") + ".png");
}

QImage RenderPdfPage(const QString& path, int page, int width) {
  QPdfDocument doc;
  if (doc.load(path) != QPdfDocument::Error::None || page >= doc.pageCount()) return {};
  const QSizeF pt = doc.pagePointSize(page);
  if (pt.width() <= 0) return {};
  const QSize size(width, static_cast<int>(width * pt.height() / pt.width()));
  QImage image = doc.render(page, size);
  QImage flat(image.size(), QImage::Format_RGB32);
  flat.fill(Qt::white);
  QPainter(&flat).drawImage(0, 0, image);
  return flat;
}

namespace {

// The page in a screen grab: the box of its white pixels (a viewer paints
// the page white on a darker background).
QRect PageBox(const QImage& image) {
  int left = image.width(), right = -1, top = image.height(), bottom = -1;
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if (qGray(line[x]) >= 250) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  }
  return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

}  // namespace

namespace {

// An image's grey levels (qGray), its ink (grey below 160) and where ink
// is within a pixel (the 3 x 3 around), one byte a pixel, row after row.
// The test code is not optimised: the loops run over plain bytes, with no
// call a pixel (QImage::pixel a pixel was most of a journey's time).
struct TGreyMap {
  int Width = 0, Height = 0;
  std::vector<unsigned char> Grey, Ink, Near;
};
TGreyMap GreyMapOf(const QImage& image, bool withInk) {
  const QImage im = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                        ? image
                        : image.convertToFormat(QImage::Format_ARGB32);
  TGreyMap m;
  const int w = m.Width = im.width(), h = m.Height = im.height();
  const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  m.Grey.resize(n);
  unsigned char* grey = m.Grey.data();
  for (int y = 0; y < h; ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(im.constScanLine(y));
    for (int x = 0; x < w; ++x) {
      const QRgb c = line[x];
      // qGray, as Qt weighs red, green and blue.
      *grey++ = static_cast<unsigned char>((((c >> 16) & 0xff) * 11 + ((c >> 8) & 0xff) * 16 + (c & 0xff) * 5) / 32);
    }
  }
  if (!withInk) return m;
  m.Ink.resize(n);
  for (std::size_t i = 0; i < n; ++i) m.Ink[i] = m.Grey[i] < 160 ? 1 : 0;
  // Across the rows, then down the columns.
  std::vector<unsigned char> across(n);
  for (int y = 0; y < h; ++y) {
    const unsigned char* in = m.Ink.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
    unsigned char* out = across.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
    for (int x = 0; x < w; ++x) out[x] = in[x] | (x > 0 ? in[x - 1] : 0) | (x + 1 < w ? in[x + 1] : 0);
  }
  m.Near.resize(n);
  for (int y = 0; y < h; ++y) {
    const unsigned char* mid = across.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
    const unsigned char* above = y > 0 ? mid - w : nullptr;
    const unsigned char* below = y + 1 < h ? mid + w : nullptr;
    unsigned char* out = m.Near.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
    for (int x = 0; x < w; ++x) out[x] = mid[x] | (above ? above[x] : 0) | (below ? below[x] : 0);
  }
  return m;
}

// Pearson's correlation of the grey levels of two images over the part
// both cover; 0 where either is flat.
double Correlation(const TGreyMap& a, const TGreyMap& b) {
  const int rows = std::min(a.Height, b.Height), cols = std::min(a.Width, b.Width);
  if (rows < 10 || cols < 10) return 0;
  double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
  const double n = static_cast<double>(rows) * cols;
  for (int y = 0; y < rows; ++y) {
    const unsigned char* lineA = a.Grey.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(a.Width);
    const unsigned char* lineB = b.Grey.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(b.Width);
    for (int x = 0; x < cols; ++x) {
      const double ga = lineA[x], gb = lineB[x];
      sa += ga;
      sb += gb;
      saa += ga * ga;
      sbb += gb * gb;
      sab += ga * gb;
    }
  }
  const double va = saa - sa * sa / n, vb = sbb - sb * sb / n;
  return va <= 0 || vb <= 0 ? 0 : (sab - sa * sb / n) / std::sqrt(va * vb);
}

// The share of the ink of either image (over the part both cover) that
// the other has within a pixel: text that differs counts, however alike
// two forms' rules are.
double InkMatch(const TGreyMap& a, const TGreyMap& b) {
  const int rows = std::min(a.Height, b.Height), cols = std::min(a.Width, b.Width);
  long inked = 0, matched = 0;
  for (int y = 0; y < rows; ++y) {
    const std::size_t rowA = static_cast<std::size_t>(y) * static_cast<std::size_t>(a.Width);
    const std::size_t rowB = static_cast<std::size_t>(y) * static_cast<std::size_t>(b.Width);
    const unsigned char *inkA = a.Ink.data() + rowA, *nearA = a.Near.data() + rowA;
    const unsigned char *inkB = b.Ink.data() + rowB, *nearB = b.Near.data() + rowB;
    for (int x = 0; x < cols; ++x) {
      inked += inkA[x] + inkB[x];
      matched += (inkA[x] & nearB[x]) + (inkB[x] & nearA[x]);
    }
  }
  return inked == 0 ? 1.0 : static_cast<double>(matched) / static_cast<double>(inked);
}

}  // namespace

double ImageLikeness(const QImage& shown, const QImage& page) {
  if (shown.isNull() || page.isNull()) return 0;
  const QRect box = PageBox(shown);
  if (box.width() < 20 || box.height() < 20) return 0;
  // The grab shows the page from its top left corner, perhaps cut at the
  // right or the bottom by the view: the page's width on the screen is
  // found first, coarsely (120 px wide, where two renderers' shifts of a
  // pixel are lost), among widths around the box's.
  const QImage crop = shown.copy(box);
  const TGreyMap coarse = GreyMapOf(crop.scaledToWidth(120, Qt::SmoothTransformation), false);
  double bestK = 1, best = -1;
  for (double k = 0.8; k <= 1.25; k += 0.01) {
    const double c =
        Correlation(coarse, GreyMapOf(page.scaledToWidth(static_cast<int>(120 * k), Qt::SmoothTransformation), false));
    if (c > best) best = c, bestK = k;
  }
  // Then the ink, finely, at the best of the widths near that one and near
  // the box's own (a page the view does not cut fills the box).
  const int fine = 400;
  const TGreyMap shownFine = GreyMapOf(crop.scaledToWidth(fine, Qt::SmoothTransformation), true);
  double match = 0;
  for (double centre : {1.0, bestK})
    for (double k = centre - 0.02; k <= centre + 0.0201; k += 0.004)
      match = std::max(match, InkMatch(shownFine, GreyMapOf(page.scaledToWidth(static_cast<int>(fine * k),
                                                                                 Qt::SmoothTransformation),
                                                                true)));
  return match;
}

double PdfPageLikeness(const QImage& shown, const QString& path, int page) {
  if (shown.isNull()) return 0;
  const QRect box = PageBox(shown);
  if (box.width() < 20 || box.height() < 20) return 0;
  QPdfDocument doc;
  if (doc.load(path) != QPdfDocument::Error::None || page < 0 || page >= doc.pageCount()) return 0;
  const QSizeF pt = doc.pagePointSize(page);
  if (pt.width() <= 0) return 0;
  const TGreyMap crop = GreyMapOf(shown.copy(box), true);
  // Rendered by the same engine at the page's size on the screen (within
  // a pixel or two of the box's width), the same page matches nearly ink
  // for ink.
  double best = 0;
  for (int w = box.width() - 2; w <= box.width() + 2; ++w) {
    const QImage image = doc.render(page, QSize(w, static_cast<int>(w * pt.height() / pt.width())));
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter(&flat).drawImage(0, 0, image);
    best = std::max(best, InkMatch(crop, GreyMapOf(flat, true)));
  }
  return best;
}

void ClickInPassing(TJourney& journey, const QStringList& captions, int ms) {
  TTreeItem* item = journey.Item(captions);
  if (!item) {
    ADD_FAILURE() << "no tree item " << captions.join(" > ").toStdString();
    return;
  }
  QTreeView* tree = journey.Window().tvwKKT;
  const QModelIndex index = journey.Window().TreeModel()->IndexOf(item);
  for (QModelIndex p = index.parent(); p.isValid(); p = p.parent()) tree->expand(p);
  tree->scrollTo(index);
  QApplication::processEvents();
  const QRect rect = tree->visualRect(index);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(rect.left() + std::min(rect.width() / 2, 40), rect.center().y()));
  QTest::qWait(ms);
}

}  // namespace dlvr::test
