// The drawing's index by place and its level of detail against every item
// looked at, and a PNG written in bands against the whole picture, on
// drawings generated in the test.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cmath>
#include <memory>
#include <random>

#include "components/drawing_render.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

using sxf::TKind;
using sxf::TPrimitive;

// `count` small features (up to `small` mm) of every kind scattered over a
// 400 x 300 mm sheet (some on a hidden layer, one in fifty a large one), in
// five colours and two line types, seeded so that each run draws the same.
std::shared_ptr<sxf::TDrawing> Scattered(int count, unsigned seed, double small = 3) {
  auto d = std::make_shared<sxf::TDrawing>();
  d->Mode = "feature";
  d->SheetWidth = 400;
  d->SheetHeight = 300;
  d->Layers = {{"a", true}, {"b", true}, {"hidden", false}};
  d->Colours = {{"black", 0, 0, 0}, {"red", 255, 0, 0}, {"blue", 0, 0, 255}, {"green", 0, 160, 0}, {"o", 255, 128, 0}};
  d->LineTypes = {{"continuous", {}}, {"dashed", {3, 1.5}}};
  d->Fonts = {{"ＭＳ ゴシック"}};
  std::mt19937 rng(seed);
  auto u = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
  for (int i = 0; i < count; ++i) {
    TPrimitive p;
    p.Layer = int(rng() % 3);
    p.Colour = int(rng() % 5);
    p.LineType = int(rng() % 2);
    p.Width = rng() % 2 ? 0.13 : 0.5;
    const double x = u(5, 395), y = u(5, 295), size = i % 50 == 0 ? u(20, 120) : u(0.05, small);
    switch (i % 7) {
      case 0:
        p.Kind = TKind::Line;
        p.Points = {{x, y}, {x + size * u(-1, 1), y + size * u(-1, 1)}};
        break;
      case 1:
        p.Kind = TKind::Polyline;
        p.Points = {{x, y}, {x + size, y + size / 2}, {x + size / 3, y + size}, {x + size, y + size}};
        break;
      case 2:
        p.Kind = TKind::Circle;
        p.Points = {{x, y}};
        p.Rx = p.Ry = size / 2;
        break;
      case 3:
        p.Kind = TKind::Arc;
        p.Points = {{x, y}};
        p.Rx = p.Ry = size / 2;
        p.Start = u(0, 3);
        p.End = p.Start + u(0.5, 4);
        break;
      case 4:
        p.Kind = TKind::Text;
        p.Points = {{x, y}};
        p.SetText("測点12");
        p.Height = p.CharWidth = size / 4;
        p.Font = 0;
        break;
      case 5:
        p.Kind = TKind::Point;
        p.Points = {{x, y}};
        p.Marker = 1 + int(rng() % 5);
        break;
      default:
        p.Kind = TKind::Hatch;
        p.Points = {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}};
        p.Solid = rng() % 2;
        if (!p.Solid) p.AddPatternLine(0.5, std::max(0.2, size / 5));
    }
    d->Primitives.push_back(std::move(p));
  }
  return d;
}

// Pixels of `a` whose colour is nowhere in the 3 x 3 pixels around the
// same place in `b`: what moved by more than a pixel, or came or went.
long Unmatched(const QImage& a, const QImage& b) {
  long n = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb c = a.pixel(x, y);
      bool found = false;
      for (int dy = -1; dy <= 1 && !found; ++dy)
        for (int dx = -1; dx <= 1 && !found; ++dx)
          found = b.rect().contains(x + dx, y + dy) && b.pixel(x + dx, y + dy) == c;
      n += !found;
    }
  return n;
}

// Pixels that differ by more than `tolerance` in a channel.
long Differing(const QImage& a, const QImage& b, int tolerance) {
  long n = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      n += std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))}) >
           tolerance;
    }
  return n;
}

// The screen's picture drawn through the index, runs under a pixel merged
// into one dot, features under two pixels among very many drawn from their
// boxes, is the picture of every item looked at in full: the same pixels
// where nothing is reduced, nothing further than a pixel from where it was
// where something is, and nothing lost at the edges of the part painted.
TEST(DrawingIndex, PictureMatchesEveryItemLookedAt) {
  struct Case {
    const char* Name;
    int Features;
    double Small;  // mm: the small features' largest size
    int Width;     // of the picture, 3 : 4
    double Zoom, PanX, PanY;
    int Moved;  // at most one pixel in this many unmatched
  };
  const Case cases[] = {
      {"sparse, fitted (smoothed)", 3000, 3, 640, 1, 0, 0, 2000},
      // Features overlap: one drawn from its box, shifted within a pixel, uncovers others.
      {"crowded, fitted (dots set as pixels)", 60000, 3, 640, 1, 0, 0, 200},
      {"crowded, zoomed at a corner", 60000, 3, 640, 3.7, 310.25, -120.5, 2000},
      {"crowded, zoomed far, panned", 60000, 3, 640, 23, -4000.5, 2500.75, 2000},
      {"sparse, zoomed", 3000, 3, 640, 6, 1200, -300, 2000},
      {"crowded, one to two pixels each (drawn from their boxes)", 30000, 0.6, 1280, 1, 0, 0, 2000},
      {"crowded, pens of one and two pixels (short strokes set as pixels)", 60000, 3, 1280, 1, 0, 0, 2000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto d = Scattered(c.Features, 7, c.Small);
    TDrawingScene indexed(d), every(d);
    every.SetWalkAll(true);
    const int w = c.Width, h = c.Width * 3 / 4;
    QImage a(w, h, QImage::Format_RGB32), b(w, h, QImage::Format_RGB32);
    const QTransform t = TDrawingScene::FitTransform(indexed.SheetRect(), QRectF(a.rect())) *
                         QTransform::fromTranslate(-w / 2, -h / 2) * QTransform::fromScale(c.Zoom, c.Zoom) *
                         QTransform::fromTranslate(w / 2 + c.PanX, h / 2 + c.PanY);
    const int drawnA = indexed.PaintImage(a, t, 2);
    const int drawnB = every.PaintImage(b, t, 2);
    EXPECT_GT(drawnB, 0);
    // A merged run may count an item beside the part painted.
    EXPECT_NEAR(drawnA, drawnB, drawnB / 50 + 2);
    const long moved = Unmatched(a, b) + Unmatched(b, a);
    EXPECT_LT(moved, w * h / c.Moved) << "pixels unmatched: " << moved;
    if (c.Features < 20000) {
      EXPECT_EQ(a, b) << "nothing under a pixel merged when sparse";
    }
  }
}

// A PNG painted and written in bands decodes to the picture painted whole:
// the same pixels in one band, and in bands of one row, of an odd height
// and of 64 rows the same but where the toolkit smooths or dashes a stroke
// cut at a band's edge differently; with its resolution.
TEST(DrawingIndex, PngInBandsIsTheWholePicture) {
  test::ScratchDir dir;
  const auto d = Scattered(4000, 11);
  d->SheetWidth = 60;
  d->SheetHeight = 40;
  for (TPrimitive& p : d->Primitives)
    for (sxf::TPoint& q : p.Points) q = {q.X * 0.15, q.Y * 0.4 / 3};
  const TDrawingScene scene(d);
  QImage whole(240, 160, QImage::Format_RGB32);
  {
    QPainter painter(&whole);
    const QRectF all(whole.rect());
    scene.Paint(painter, TDrawingScene::FitTransform(scene.SheetRect(), all), all, false);
  }
  for (int rows : {160, 0, 1, 7, 64}) {
    SCOPED_TRACE(rows);
    const std::string file = dir / ("b" + std::to_string(rows) + ".png");
    QString why;
    ASSERT_TRUE(WritePngInBands(scene, QString::fromStdString(file), 240, 160, 102, &why, rows)) << why.toStdString();
    const QImage png = QImage(QString::fromStdString(file)).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(png.size(), whole.size());
    EXPECT_EQ(png.dotsPerMeterX(), 4016);
    if (rows == 0 || rows == 160) {
      EXPECT_EQ(png, whole);
      continue;
    }
    EXPECT_LT(Differing(png, whole, 2), 240 * 160 / 25);
    EXPECT_LT(Differing(png, whole, 128), 240 * 160 / 1000);
  }
  QString why;
  EXPECT_FALSE(WritePngInBands(scene, QString::fromStdString(dir / "no/such/folder.png"), 240, 160, 102, &why));
  EXPECT_FALSE(why.isEmpty());
}

}  // namespace
}  // namespace dlvr
