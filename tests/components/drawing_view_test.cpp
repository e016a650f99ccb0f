// The drawing renderer and the drawing view on drawings built in the test:
// pixels against reviewed pictures and probes, the boxes the tool dumps,
// fit, zoom at the mouse, pan, zoom to a rectangle, layers, measuring, PDF,
// and the preview of a drawing file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPdfDocument>
#include <QPrinter>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <chrono>
#include <cmath>
#include <memory>

#include "components/drawing_render.h"
#include "components/drawing_view.h"
#include "components/preview_view.h"
#include "i18n/ui_language.h"
#include "platform/fileio.h"
#include "support/fixtures.h"
#include "support/sxf_fixtures.h"

namespace dlvr {
namespace {

using sxf::TKind;
using sxf::TPrimitive;

constexpr double kPi = 3.14159265358979323846;

// A 60 x 40 mm sheet; layer 0 shown, layer 1 hidden; colours black, red,
// blue, white, green; line types continuous and dashed 3 / 1.5 mm.
std::shared_ptr<sxf::TDrawing> Sheet() {
  auto d = std::make_shared<sxf::TDrawing>();
  d->Mode = "feature";
  d->SheetName = "free";
  d->SheetWidth = 60;
  d->SheetHeight = 40;
  d->Layers = {{"線", true}, {"隠れ", false}};
  d->Colours = {{"black", 0, 0, 0}, {"red", 255, 0, 0}, {"blue", 0, 0, 255}, {"white", 255, 255, 255},
                {"green", 0, 160, 0}};
  d->LineTypes = {{"continuous", {}}, {"dashed", {3, 1.5}}};
  d->Fonts = {{"ＭＳ ゴシック"}};
  return d;
}

TPrimitive Prim(TKind kind, int colour, std::vector<sxf::TPoint> pts, double width = 0.5, int layer = 0) {
  TPrimitive p;
  p.Kind = kind;
  p.Layer = layer;
  p.Colour = colour;
  p.LineType = 0;
  p.Width = width;
  p.Points = std::move(pts);
  return p;
}

TPrimitive Curve(TKind kind, int colour, sxf::TPoint c, double rx, double ry, double rot = 0, double start = 0,
                 double end = 0, bool reversed = false) {
  TPrimitive p = Prim(kind, colour, {c});
  p.Rx = rx;
  p.Ry = ry;
  p.Rotation = rot;
  p.Start = start;
  p.End = end;
  p.Reversed = reversed;
  return p;
}

TPrimitive Text(const std::string& s, sxf::TPoint at, int align, double h, double w, double spacing = 0,
                double angle = 0, double slant = 0, bool vertical = false) {
  TPrimitive p = Prim(TKind::Text, 0, {at});
  p.SetText(s);
  p.Align = align;
  p.Height = h;
  p.CharWidth = w;
  p.Spacing = spacing;
  p.Rotation = angle;
  p.Slant = slant;
  p.Vertical = vertical;
  p.Font = 0;
  return p;
}

constexpr int kPxPerMm = 4;

QImage Render(const TDrawingScene& scene) {
  QImage img(60 * kPxPerMm, 40 * kPxPerMm, QImage::Format_RGB32);
  QPainter painter(&img);
  const QRectF all(img.rect());
  scene.Paint(painter, TDrawingScene::FitTransform(scene.SheetRect(), all), all, true);
  return img;
}

QPoint Px(double x, double y) { return QPoint(int(x * kPxPerMm), int((40 - y) * kPxPerMm)); }

// A pixel's colour is near `want` (anti-aliasing leaves some room).
bool Near(QColor got, QColor want) {
  return std::abs(got.red() - want.red()) < 90 && std::abs(got.green() - want.green()) < 90 &&
         std::abs(got.blue() - want.blue()) < 90;
}

// The share of pixels that differ clearly from the reviewed picture.
double Difference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return 1;
  long differ = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
      if (std::max({std::abs(p.red() - q.red()), std::abs(p.green() - q.green()), std::abs(p.blue() - q.blue())}) > 60)
        ++differ;
    }
  return double(differ) / (a.width() * a.height());
}

struct Probe {
  double X, Y;
  QColor Want;
};

struct PictureCase {
  const char* Name;
  std::vector<TPrimitive> Primitives;
  bool Black;
  std::vector<Probe> Probes;
};

// Each small drawing is compared with the picture rendered once and looked
// at (tests/data/drawing/NAME.png; DLVR_WRITE_DRAWINGS=1 writes them anew),
// and at points where the drawing's meaning fixes the colour.
TEST(DrawingRender, PicturesOfEveryKind) {
  const QColor red(255, 0, 0), blue(0, 0, 255), green(0, 160, 0), black(0, 0, 0), white(255, 255, 255);
  TPrimitive dashed = Prim(TKind::Line, 2, {{5, 30}, {55, 30}});
  dashed.LineType = 1;
  TPrimitive solid = Prim(TKind::Hatch, 1, {{5, 5}, {25, 5}, {25, 35}, {5, 35}});
  solid.AddHole({{10, 15}, {20, 15}, {20, 25}, {10, 25}});
  solid.Solid = true;
  TPrimitive pattern = Prim(TKind::Hatch, 2, {{35, 5}, {55, 5}, {55, 35}, {35, 35}});
  pattern.AddPatternLine(0.0, 2.0);
  TPrimitive marker = Prim(TKind::Point, 0, {{55, 37}});
  marker.Marker = 2;
  const std::vector<TPrimitive> lines = {
      Prim(TKind::Line, 1, {{5, 35}, {55, 35}}),
      dashed,
      Prim(TKind::Polyline, 4, {{5, 5}, {20, 25}, {35, 5}}),
      Prim(TKind::Line, 3, {{5, 20}, {55, 20}}),            // white: black on white paper
      Prim(TKind::Line, 0, {{40, 15}, {55, 15}}),           // black: white on black paper
      Prim(TKind::Line, 1, {{40, 10}, {55, 10}}, 1.0, 1),   // on the hidden layer
  };
  const std::vector<PictureCase> cases = {
      {"lines", lines, false,
       {{30, 35, red}, {6.5, 30, blue}, {8.75, 30, white}, {12.5, 15, green}, {45, 20, black}, {47, 15, black},
        {47, 10, white}}},
      {"lines_black", lines, true, {{30, 35, red}, {6.5, 30, blue}, {45, 20, white}, {47, 15, white}, {47, 10, black}, {30, 25, black}}},
      {"curves",
       {Curve(TKind::Circle, 0, {12, 28}, 8, 8), Curve(TKind::Arc, 1, {40, 28}, 8, 8, 0, 0, kPi / 2),
        Curve(TKind::Arc, 2, {40, 10}, 6, 6, 0, kPi / 2, 2 * kPi, true), Curve(TKind::Ellipse, 0, {12, 10}, 8, 4),
        Curve(TKind::EllipseArc, 4, {52, 28}, 6, 3, kPi / 2, 0, kPi), marker},
       false,
       {{20, 28, black}, {12, 28, white}, {40 + 8 / std::sqrt(2.0), 28 + 8 / std::sqrt(2.0), red}, {32, 28, white},
        {34, 10, blue}, {40 + 6 / std::sqrt(2.0), 10 + 6 / std::sqrt(2.0), white}, {40, 4, blue}, {20, 10, black},
        {12, 14, black}, {12, 16, white}, {49, 28, green}, {55, 28, white}}},
      // A line before a solid fill in the file is still seen on it.
      {"hatches", {Prim(TKind::Line, 0, {{5, 30}, {25, 30}}), solid, pattern}, false,
       {{7, 7, red}, {15, 20, white}, {22, 32, red}, {15, 30, black}, {45, 20, blue}, {45, 21, white}, {30, 20, white}}},
      {"texts",
       {Text("ABC", {30, 20}, 5, 5, 4, 1), Text("道路", {2, 2}, 1, 4, 4), Text("右上", {58, 38}, 9, 3, 3),
        Text("縦書き", {8, 36}, 7, 4, 4, 0.5, 0, 0, true), Text("Slant", {40, 6}, 1, 3, 2, 0.2, kPi / 6, 0.3)},
       false,
       {{30, 10, white}}},
  };
  const QString folder = QStringLiteral(DLVR_TEST_DATA "/drawing/");
  const bool write = qEnvironmentVariableIsSet("DLVR_WRITE_DRAWINGS");
  for (const PictureCase& c : cases) {
    SCOPED_TRACE(c.Name);
    auto d = Sheet();
    d->Primitives = c.Primitives;
    TDrawingScene scene(d);
    scene.SetBlackBackground(c.Black);
    const QImage img = Render(scene);
    // The screen's picture, painted in bands by threads, joins without a
    // seam; lists made in two halves draw what lists made in one pass draw.
    QImage banded(img.size(), img.format());
    scene.PaintImage(banded, TDrawingScene::FitTransform(scene.SheetRect(), QRectF(img.rect())), 2);
    EXPECT_LT(Difference(banded, img), 0.002) << "painted in bands";
    TDrawingScene halves(d, 2);
    halves.SetBlackBackground(c.Black);
    EXPECT_EQ(Render(halves), img) << "listed in two halves";
    for (const Probe& p : c.Probes) {
      const QColor got = img.pixelColor(Px(p.X, p.Y));
      EXPECT_TRUE(Near(got, p.Want)) << p.X << "," << p.Y << " is " << got.name().toStdString() << ", not "
                                     << p.Want.name().toStdString();
    }
    const QString file = folder + QString::fromLatin1(c.Name) + QStringLiteral(".png");
    if (write) {
      QDir().mkpath(folder);
      ASSERT_TRUE(img.save(file));
      continue;
    }
    QImage expected(file);
    ASSERT_FALSE(expected.isNull()) << file.toStdString();
    EXPECT_LT(Difference(img, expected.convertToFormat(QImage::Format_RGB32)), 0.01);
  }
}

// The box of every kind as the tool dumps it, and each text drawn inside
// its box and filling most of it (alignment, angle, slant and vertical
// writing placed alike by both).
TEST(DrawingRender, BoxesOfArcsEllipsesAndTexts) {
  const double r2 = 10 / std::sqrt(2.0), e45 = std::sqrt((100.0 + 25.0) / 2);
  struct Case {
    TPrimitive P;
    double X0, Y0, X1, Y1;
  };
  const Case cases[] = {
      {Curve(TKind::Arc, 0, {0, 0}, 10, 10, 0, 0, kPi / 2), 0, 0, 10, 10},
      // Travelled clockwise: the same quarter.
      {Curve(TKind::Arc, 0, {0, 0}, 10, 10, 0, 0, kPi / 2, true), 0, 0, 10, 10},
      {Curve(TKind::Arc, 0, {0, 0}, 10, 10, 0, kPi / 2, 2 * kPi, true), -10, -10, 10, 10},
      {Curve(TKind::Arc, 0, {0, 0}, 10, 10, 0, kPi / 4, 3 * kPi / 4), -r2, r2, r2, 10},
      // An arc over the zero angle.
      {Curve(TKind::Arc, 0, {5, 5}, 10, 10, 0, 7 * kPi / 4, kPi / 4), 5 + r2, 5 - r2, 15, 5 + r2},
      {Curve(TKind::Ellipse, 0, {0, 0}, 10, 5, kPi / 2), -5, -10, 5, 10},
      {Curve(TKind::Ellipse, 0, {0, 0}, 10, 5, kPi / 4), -e45, -e45, e45, e45},
      {Curve(TKind::EllipseArc, 0, {0, 0}, 10, 5, kPi / 2, 0, kPi), -5, -10, 0, 10},
      {Text("AB", {10, 10}, 9, 5, 4, 1), 1, 5, 10, 10},
      {Text("AB", {10, 10}, 5, 5, 4, 1), 5.5, 7.5, 14.5, 12.5},
      {Text("AB", {0, 0}, 1, 5, 4, 1, kPi / 2), -5, 0, 0, 9},
      {Text("縦書", {0, 0}, 1, 5, 5, 1, 0, 0, true), 0, 0, 5, 11},
      {Text("縦書", {0, 0}, 9, 5, 5, 1, 0, 0, true), -5, -11, 0, 0},
      {Text("A", {0, 0}, 1, 4, 4, 0, 0, kPi / 4), 0, 0, 8, 4},
      {Prim(TKind::Hatch, 0, {{1, 2}, {7, 2}, {4, 9}}), 1, 2, 7, 9},
  };
  for (const Case& c : cases) {
    const QRectF b = PrimitiveBounds(c.P);
    SCOPED_TRACE(std::string(DrawingKindName(c.P.Kind)) + " " + c.P.Text());
    EXPECT_NEAR(b.left(), c.X0, 1e-6);
    EXPECT_NEAR(b.top(), c.Y0, 1e-6);
    EXPECT_NEAR(b.right(), c.X1, 1e-6);
    EXPECT_NEAR(b.bottom(), c.Y1, 1e-6);
    if (c.P.Kind != TKind::Text) continue;
    // Drawn alone, large, on a sheet around its box.
    auto d = Sheet();
    TPrimitive p = c.P;
    d->Primitives = {p};
    d->SheetWidth = 0;  // the sheet is the box of the primitives
    TDrawingScene scene(d);
    const QRectF sheet = scene.SheetRect();
    QImage img(400, 400, QImage::Format_RGB32);
    QPainter painter(&img);
    const QTransform t = TDrawingScene::FitTransform(sheet, img.rect());
    scene.Paint(painter, t, img.rect(), true);
    painter.end();
    const QRect box = t.mapRect(b).toAlignedRect();
    QRect ink;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if (sheet.adjusted(1, 1, -1, -1).contains(t.inverted().map(QPointF(x, y))) &&
            img.pixelColor(x, y).lightness() < 128)
          ink |= QRect(x, y, 1, 1);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_TRUE(box.adjusted(-3, -3, 3, 3).contains(ink)) << "ink " << ink.x() << "," << ink.y() << " " << ink.width()
                                                          << "x" << ink.height();
    EXPECT_GT(ink.width(), box.width() * 0.5);
    EXPECT_GT(ink.height(), box.height() * 0.5);
  }
}

// Numbers no drawing means (not a number, far off, hatches of countless
// lines, texts of enormous size) are neither drawn nor allowed to hold up
// the screen, the PDF or the SVG; the features around them still are.
TEST(DrawingRender, HostileNumbersNeitherHangNorCrash) {
  const double nan = std::nan(""), huge = 1e300;
  auto d = Sheet();
  TPrimitive fine = Prim(TKind::Line, 1, {{5, 35}, {55, 35}});
  TPrimitive far = Prim(TKind::Line, 1, {{0, 0}, {huge, 1}});
  far.LineType = 1;
  TPrimitive notANumber = Prim(TKind::Polyline, 1, {{0, 0}, {nan, 5}, {5, 5}});
  TPrimitive wideArc = Curve(TKind::Arc, 1, {10, 10}, 5, 5, 0, 1e30, -1e30);
  TPrimitive dense = Prim(TKind::Hatch, 2, {{0, 0}, {60, 0}, {60, 40}});
  for (int i = 0; i < 500; ++i) dense.AddPatternLine(i * 0.01, 1e-9);
  TPrimitive tall = Text(std::string(20000, 'A'), {1, 1}, 1, 5e5, 5e5);
  d->Primitives = {fine, far, notANumber, wideArc, dense, tall};
  TDrawingScene scene(d);
  const auto started = std::chrono::steady_clock::now();
  QImage img(600, 400, QImage::Format_RGB32);
  QPainter painter(&img);
  const QTransform fit = TDrawingScene::FitTransform(scene.SheetRect(), img.rect());
  EXPECT_EQ(scene.Paint(painter, fit, img.rect(), true), 4);  // the line, the arc, the hatch, the text
  painter.end();
  EXPECT_TRUE(Near(img.pixelColor(fit.map(QPointF(30, 35)).toPoint()), QColor(255, 0, 0)));
  test::ScratchDir tmp;
  EXPECT_TRUE(WriteDrawingFile(scene, QString::fromStdString(tmp / "h.pdf"), 0, nullptr));
  EXPECT_LT(scene.Svg().size(), 4u * 1024 * 1024);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
  EXPECT_EQ(PrimitiveBounds(far).right(), huge);  // the dump still tells where it lies
}

struct ViewFixture {
  TDrawingView view;
  std::shared_ptr<sxf::TDrawing> drawing = Sheet();
  QWidget* canvas = nullptr;

  ViewFixture() {
    drawing->Primitives = {Prim(TKind::Line, 1, {{5, 35}, {55, 35}}, 1.0),
                           Prim(TKind::Line, 2, {{5, 5}, {55, 5}}, 1.0, 1)};
    drawing->Attributes = {{"工事名称", "市道1号線改良工事"}, {"尺度", "1:500"}};
    view.resize(820, 520);
    view.SetDrawing(drawing, QStringLiteral("road.p21"));
    view.show();
    canvas = view.Canvas();
    QApplication::processEvents();
  }
  QPointF At(double x, double y) const { return view.SheetToCanvas().map(QPointF(x, y)); }
  // The colour at a sheet point, in the screen's pixels (a 2x screen has
  // four for each of the layout's).
  QColor PixelAt(double x, double y) const {
    const QImage img = canvas->grab().toImage();
    return img.pixelColor((At(x, y) * img.devicePixelRatio()).toPoint());
  }
  void Mouse(QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::KeyboardModifiers mods = {}) {
    QMouseEvent e(type, pos, canvas->mapToGlobal(pos), button,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : button, mods);
    QApplication::sendEvent(canvas, &e);
  }
  void Drag(QPointF from, QPointF to, Qt::KeyboardModifiers mods = {}) {
    Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, mods);
    Mouse(QEvent::MouseMove, (from + to) / 2, Qt::LeftButton, mods);
    Mouse(QEvent::MouseMove, to, Qt::LeftButton, mods);
    Mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, mods);
  }
};

// Fit, zoom at the mouse, pan by dragging, zoom to a rectangle and the keys.
TEST(DrawingView, FitZoomPanAndKeys) {
  ViewFixture f;
  const QRectF c = QRectF(f.canvas->rect());
  // Fitted: the sheet whole and centred, touching two sides less the margin.
  const QRectF sheet = f.view.SheetToCanvas().mapRect(QRectF(0, 0, 60, 40));
  EXPECT_TRUE(c.contains(sheet));
  EXPECT_NEAR(sheet.center().x(), c.center().x(), 1);
  EXPECT_NEAR(sheet.center().y(), c.center().y(), 1);
  EXPECT_TRUE(std::abs(sheet.width() - (c.width() - 16)) < 1 || std::abs(sheet.height() - (c.height() - 16)) < 1);
  const QTransform fitted = f.view.SheetToCanvas();

  // The wheel zooms with the sheet point under the mouse kept there.
  const QPointF mouse(c.width() * 0.3, c.height() * 0.7);
  const QPointF under = f.view.ToSheet(mouse);
  QWheelEvent wheel(mouse, f.canvas->mapToGlobal(mouse), {}, {0, 240}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
  QApplication::sendEvent(f.canvas, &wheel);
  EXPECT_NEAR(f.view.SheetToCanvas().m11(), fitted.m11() * 1.5625, 1e-9);
  EXPECT_NEAR(f.view.SheetToCanvas().map(under).x(), mouse.x(), 1e-6);
  EXPECT_NEAR(f.view.SheetToCanvas().map(under).y(), mouse.y(), 1e-6);

  // Dragging moves the sheet with the mouse.
  const QPointF before = f.At(30, 20);
  f.Drag({200, 200}, {260, 170});
  EXPECT_NEAR(f.At(30, 20).x(), before.x() + 60, 1e-6);
  EXPECT_NEAR(f.At(30, 20).y(), before.y() - 30, 1e-6);

  // Shift and a drag: the rectangle fills the canvas, its centre in the middle.
  const QPointF rectCentre = f.view.ToSheet({150, 125});
  const double scale = f.view.SheetToCanvas().m11();
  f.Drag({100, 100}, {200, 150}, Qt::ShiftModifier);
  EXPECT_NEAR(f.view.ToSheet(c.center()).x(), rectCentre.x(), 1e-6);
  EXPECT_NEAR(f.view.ToSheet(c.center()).y(), rectCentre.y(), 1e-6);
  EXPECT_NEAR(f.view.SheetToCanvas().m11(), scale * std::min(c.width() / 100, c.height() / 50), 1e-6);

  // Keys: Home fits again, + zooms at the middle, arrows pan.
  QTest::keyClick(f.canvas, Qt::Key_Home);
  EXPECT_EQ(f.view.SheetToCanvas(), fitted);
  const QPointF middle = f.view.ToSheet(c.center());
  QTest::keyClick(f.canvas, Qt::Key_Plus);
  EXPECT_NEAR(f.view.SheetToCanvas().m11(), fitted.m11() * 1.25, 1e-9);
  EXPECT_NEAR(f.view.ToSheet(c.center()).x(), middle.x(), 1e-6);
  const QPointF left = f.At(0, 0);
  QTest::keyClick(f.canvas, Qt::Key_Left);
  EXPECT_GT(f.At(0, 0).x(), left.x());

  // What is painted follows: the red line at its place after all this.
  QTest::qWait(200);
  EXPECT_TRUE(Near(f.PixelAt(30, 35), QColor(255, 0, 0))) << f.PixelAt(30, 35).name().toStdString();

  // After a pan only the part uncovered is drawn; the picture is the one
  // drawn whole.
  f.Drag({300, 300}, {217, 251});
  QTest::qWait(200);
  const QImage shown = f.canvas->grab().toImage().convertToFormat(QImage::Format_RGB32);
  QImage whole(shown.size(), QImage::Format_RGB32);
  whole.setDevicePixelRatio(shown.devicePixelRatio());
  QPainter painter(&whole);
  f.view.Scene()->Paint(painter, f.view.SheetToCanvas(), QRectF(QPointF(0, 0), whole.deviceIndependentSize()), true);
  painter.end();
  EXPECT_LT(Difference(shown, whole), 0.002);
}

// The layer list shows and hides layers, the title block lists its values,
// two clicks measure on the sheet and in real length by the drawing's scale,
// and the PDF has the sheet's size.
TEST(DrawingView, LayersTitleBlockMeasureAndPdf) {
  ViewFixture f;
  auto* layers = f.view.findChild<QListWidget*>(QStringLiteral("lstLayers"));
  ASSERT_TRUE(layers);
  ASSERT_EQ(layers->count(), 2);
  EXPECT_EQ(layers->item(0)->text(), QStringLiteral("線 (1)"));
  EXPECT_EQ(layers->item(0)->checkState(), Qt::Checked);
  EXPECT_EQ(layers->item(1)->checkState(), Qt::Unchecked);
  EXPECT_TRUE(Near(f.PixelAt(30, 5), Qt::white));
  EXPECT_TRUE(Near(f.PixelAt(30, 35), QColor(255, 0, 0)));
  layers->item(1)->setCheckState(Qt::Checked);
  layers->item(0)->setCheckState(Qt::Unchecked);
  EXPECT_TRUE(f.view.Scene()->LayerShown(1));
  EXPECT_FALSE(f.view.Scene()->LayerShown(0));
  EXPECT_TRUE(Near(f.PixelAt(30, 5), QColor(0, 0, 255)));
  EXPECT_TRUE(Near(f.PixelAt(30, 35), Qt::white));

  auto* title = f.view.findChild<QTableWidget*>(QStringLiteral("tblTitleBlock"));
  ASSERT_TRUE(title);
  ASSERT_EQ(title->rowCount(), 2);
  EXPECT_EQ(title->item(0, 1)->text(), QStringLiteral("市道1号線改良工事"));

  // Measuring: M, then two clicks 30 mm apart on the sheet.
  QTest::keyClick(f.canvas, Qt::Key_M);
  f.Mouse(QEvent::MouseButtonPress, f.At(10, 20), Qt::LeftButton);
  f.Mouse(QEvent::MouseButtonRelease, f.At(10, 20), Qt::LeftButton);
  f.Mouse(QEvent::MouseButtonPress, f.At(40, 20), Qt::LeftButton);
  f.Mouse(QEvent::MouseButtonRelease, f.At(40, 20), Qt::LeftButton);
  EXPECT_EQ(f.view.MeasureText(), QStringLiteral("距離 30.00 mm（実長 15.000 m、1:500）"));
  EXPECT_EQ(f.view.findChild<QLabel*>(QStringLiteral("lblDrawingStatus"))->text(), f.view.MeasureText());
  // Inside a partial drawing its own scale gives the real length (a 1:50
  // section in a 1:500 drawing); outside it, the title block's scale.
  f.drawing->Primitives.push_back(Prim(TKind::Polyline, 1, {{10, 10}, {50, 10}, {50, 30}, {10, 30}, {10, 10}}));
  f.drawing->Partials = {{"横断図", {0.02, 0, 0, 0.02, 10, 10}, 2, 1}};
  f.view.SetDrawing(f.drawing, QStringLiteral("road.p21"));
  const std::vector<std::pair<QPointF, QString>> measures = {
      {{20, 20}, QStringLiteral("距離 20.00 mm（実長 1.000 m、横断図 1:50）")},
      {{20, 32}, QStringLiteral("距離 23.32 mm（実長 11.662 m、1:500）")},
  };
  for (const auto& [to, text] : measures) {
    for (QPointF at : {QPointF(40, 20), to}) {
      f.Mouse(QEvent::MouseButtonPress, f.At(at.x(), at.y()), Qt::LeftButton);
      f.Mouse(QEvent::MouseButtonRelease, f.At(at.x(), at.y()), Qt::LeftButton);
    }
    EXPECT_EQ(f.view.MeasureText(), text);
  }

  test::ScratchDir tmp;
  const QString pdf = QString::fromStdString(tmp / "road.pdf");
  ASSERT_TRUE(f.view.ExportPdf(pdf));
  QPdfDocument doc;
  ASSERT_EQ(doc.load(pdf), QPdfDocument::Error::None);
  ASSERT_EQ(doc.pageCount(), 1);
  EXPECT_NEAR(doc.pagePointSize(0).width(), 60 / 25.4 * 72, 1);
  EXPECT_NEAR(doc.pagePointSize(0).height(), 40 / 25.4 * 72, 1);
}

// Paper is white whatever the screen's background: on the page the white
// line is black, colours keep theirs, and nothing is painted around the
// sheet; the PDF of a view on black is white with dark lines.
TEST(DrawingView, PrintedAndExportedOnWhitePaper) {
  auto d = Sheet();
  d->Primitives = {Prim(TKind::Line, 3, {{5, 30}, {55, 30}}, 1.0), Prim(TKind::Line, 1, {{5, 20}, {55, 20}}, 1.0),
                   Prim(TKind::Line, 0, {{5, 10}, {55, 10}}, 1.0)};
  // A page wider than the sheet: 100 px on either side of it.
  constexpr int kMargin = 100;
  const QRectF sheetOnPage(kMargin, 0, 60 * kPxPerMm, 40 * kPxPerMm);
  auto onPage = [&](double x, double y) {
    return QPoint(int(sheetOnPage.left() + x * kPxPerMm), int(sheetOnPage.bottom() - y * kPxPerMm));
  };
  for (bool black : {false, true}) {
    SCOPED_TRACE(black ? "black screen" : "white screen");
    TDrawingScene scene(d);
    scene.SetBlackBackground(black);
    QImage page(int(sheetOnPage.width()) + 2 * kMargin, int(sheetOnPage.height()), QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    EXPECT_EQ(scene.PaintOnPaper(painter, QRectF(page.rect())), 3);
    painter.end();
    const std::vector<Probe> probes = {{30, 25, Qt::white}, {30, 30, Qt::black}, {30, 20, QColor(255, 0, 0)},
                                       {30, 10, Qt::black}};
    for (const Probe& p : probes)
      EXPECT_TRUE(Near(page.pixelColor(onPage(p.X, p.Y)), p.Want)) << p.X << "," << p.Y;
    EXPECT_EQ(page.pixelColor(kMargin / 2, page.height() / 2), QColor(Qt::white));
  }

  ViewFixture f;
  f.view.SetBlackBackground(true);
  EXPECT_TRUE(Near(f.PixelAt(30, 20), Qt::black));
  test::ScratchDir tmp;
  const QString pdf = QString::fromStdString(tmp / "road.pdf");
  ASSERT_TRUE(f.view.ExportPdf(pdf));
  QPdfDocument doc;
  ASSERT_EQ(doc.load(pdf), QPdfDocument::Error::None);
  const QImage printed = doc.render(0, QSize(60 * kPxPerMm, 40 * kPxPerMm)).convertToFormat(QImage::Format_RGB32);
  EXPECT_TRUE(Near(printed.pixelColor(Px(30, 20)), Qt::white));
  EXPECT_TRUE(Near(printed.pixelColor(Px(30, 35)), QColor(255, 0, 0)));

  // Printed (on a printer writing PDF): a white page, the sheet on it too.
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(tmp / "printed.pdf"));
  ASSERT_TRUE(f.view.PrintTo(printer));
  QPdfDocument printedDoc;
  ASSERT_EQ(printedDoc.load(printer.outputFileName()), QPdfDocument::Error::None);
  // What is not painted is the paper.
  QImage page(297, 210, QImage::Format_RGB32);
  page.fill(Qt::white);
  QPainter(&page).drawImage(0, 0, printedDoc.render(0, page.size()));
  long white = 0;
  for (int y = 0; y < page.height(); ++y)
    for (int x = 0; x < page.width(); ++x) white += qGray(page.pixel(x, y)) >= 235;
  EXPECT_GT(double(white) / (page.width() * page.height()), 0.95);
}

// The PDF command offers the drawing's own name (not its preview copy's)
// in the folder the last PDF went to.
TEST(DrawingView, PdfOfferedUnderTheDrawingsOwnNameInTheLastFolder) {
  test::ScratchDir tmp;
  std::string road;
  ASSERT_TRUE(ReadWholeFile(std::string(DLVR_SOURCE_DIR) + "/samples/sxf/ROADPLAN.SFC", road));
  const QString copy = QString::fromStdString(tmp.WriteBytes("work/dlv1234.SFC", road));
  const QString origin = QString::fromStdString(tmp / "delivery/D0PL001Z.SFC");
  TDrawingView view;
  view.Open(copy, origin);
  QTRY_VERIFY_WITH_TIMEOUT(view.Scene(), 10000);
  EXPECT_EQ(QFileInfo(view.SuggestedPdfPath()).fileName(), QStringLiteral("D0PL001Z.pdf"));
  const QString out = QString::fromStdString(tmp.MakeDir("out"));
  QStringList offered;
  TDrawingView::AskSavePath = [&](QWidget*, const QString&, const QString& suggested, const QString&) {
    offered << suggested;
    return offered.size() == 1 ? QDir(out).filePath(QStringLiteral("mine.pdf")) : QString();
  };
  EXPECT_TRUE(view.ExportPdfAsked());
  EXPECT_TRUE(QFileInfo::exists(QDir(out).filePath(QStringLiteral("mine.pdf"))));
  EXPECT_FALSE(view.ExportPdfAsked());  // cancelled
  TDrawingView::AskSavePath = nullptr;
  ASSERT_EQ(offered.size(), 2);
  EXPECT_EQ(QFileInfo(offered[1]).absolutePath(), QFileInfo(out).absoluteFilePath());
  EXPECT_EQ(QFileInfo(offered[1]).fileName(), QStringLiteral("D0PL001Z.pdf"));
  // Never into the delivery: its folders, or the drawing's own folder.
  const QString delivery = QString::fromStdString(tmp.MakeDir("delivery/DRAWINGS"));
  view.SetDeliveryFolders({QString::fromStdString(tmp / "delivery")});
  for (const QString& target : {delivery + QStringLiteral("/D0PL001Z.pdf"), QFileInfo(origin).absolutePath() + "/x.pdf"}) {
    TDrawingView::AskSavePath = [&](QWidget*, const QString&, const QString&, const QString&) { return target; };
    EXPECT_FALSE(view.ExportPdfAsked()) << target.toStdString();
    EXPECT_FALSE(QFileInfo::exists(target)) << target.toStdString();
  }
  TDrawingView::AskSavePath = nullptr;
  // A folder gone since is not offered.
  ASSERT_TRUE(QDir(out).removeRecursively());
  EXPECT_TRUE(QFileInfo(QFileInfo(view.SuggestedPdfPath()).absolutePath()).isDir()) << view.SuggestedPdfPath().toStdString();
}

// Measuring (and zooming to a rectangle) ends when another drawing is shown,
// not when the same one is shown again.
TEST(DrawingView, AnotherDrawingEndsMeasuring) {
  ViewFixture f;
  auto* measure = f.view.findChild<QToolButton*>(QStringLiteral("btnDrawingMeasure"));
  auto* zoomRect = f.view.findChild<QToolButton*>(QStringLiteral("btnDrawingZoomRect"));
  ASSERT_TRUE(measure && zoomRect);
  QTest::keyClick(f.canvas, Qt::Key_M);
  f.view.SetDrawing(f.drawing, QStringLiteral("road.p21"));
  EXPECT_TRUE(measure->isChecked());
  f.view.SetDrawing(f.drawing, QStringLiteral("bridge.p21"));
  EXPECT_FALSE(measure->isChecked());
  QTest::keyClick(f.canvas, Qt::Key_Z);
  f.view.SetDrawing(f.drawing, QStringLiteral("road.p21"));
  EXPECT_FALSE(zoomRect->isChecked());
}

// A title block value longer than its column wraps onto more lines and has
// its whole text as a tooltip, in Japanese and in English.
TEST(DrawingView, LongTitleBlockValuesWrap) {
  for (UiLanguage lang : {UiLanguage::Japanese, UiLanguage::English}) {
    InstallUiTranslations(lang);
    ViewFixture f;
    // A drawing with a short value, then one with the same names and a long one.
    f.drawing->Attributes = {{"工事名", "改良工事"}, {"尺度", "1:500"}};
    f.view.SetDrawing(f.drawing, QStringLiteral("road.p21"));
    QApplication::processEvents();
    const std::string value = "市道1号線外2路線道路改良工事及び舗装補修工事（その2）第3工区、橋梁下部工及び付帯工";
    f.drawing->Attributes = {{"工事名", value}, {"尺度", "1:500"}};
    f.view.SetDrawing(f.drawing, QStringLiteral("road.p21"));
    QApplication::processEvents();
    auto* title = f.view.findChild<QTableWidget*>(QStringLiteral("tblTitleBlock"));
    ASSERT_TRUE(title && title->isVisible());
    const QTableWidgetItem* item = title->item(0, 1);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->toolTip(), QString::fromStdString(value));
    const int width = title->columnWidth(1);
    const QRect needed = title->fontMetrics().boundingRect(QRect(0, 0, width - 8, 10000), Qt::TextWordWrap,
                                                           item->text());
    ASSERT_GT(title->fontMetrics().horizontalAdvance(item->text()), 2 * width);  // three lines or more
    EXPECT_GE(title->rowHeight(0), needed.height());
    // Neither column reaches past the table's edge, and the values have
    // the larger part.
    EXPECT_LE(title->columnViewportPosition(1) + width, title->viewport()->width());
    EXPECT_GE(width, title->columnWidth(0));
    EXPECT_EQ(title->item(0, 0)->toolTip(), title->item(0, 0)->text());
  }
  InstallUiTranslations(UiLanguage::Japanese);
}

// The preview shows a drawing file by its content in the drawing view, a
// drawing cut short with what was read and the reason above it, a Part 21
// file that is no drawing on the fact page with the reason, and a drawing
// still being read when the user moves on is dropped.
TEST(DrawingView, PreviewOfDrawingFiles) {
  test::ScratchDir tmp;
  std::string road;
  ASSERT_TRUE(ReadWholeFile(std::string(DLVR_SOURCE_DIR) + "/samples/sxf/ROADPLAN.SFC", road));
  const std::string whole = tmp.WriteBytes("D0PL001Z.DAT", road);
  const std::string cut = tmp.WriteBytes("D0PL002Z.SFC", road.substr(0, road.size() / 2));
  const std::string part = tmp.WriteBytes(
      "D0XX001Z.P21", "ISO-10303-21;\nHEADER;\nFILE_DESCRIPTION(('a part'),'2;1');\n"
                      "FILE_SCHEMA(('CONFIG_CONTROL_DESIGN'));\nENDSEC;\nDATA;\n#1=PRODUCT('p','p','',());\nENDSEC;\n"
                      "END-ISO-10303-21;\n");
  const std::string text = tmp.WriteBytes("README.TXT", "text\n");
  // Figures placing figures 10^9 times: read as far as the reader's budget.
  const std::string multiplying = tmp.WriteBytes("D0PL003Z.SFC", test::MultiplyingSfc(9, 10, 2000));
  TPreviewView view;
  view.resize(640, 480);
  struct Case {
    std::string File;
    const char* Kind;
    const char* Note;  // a part of the note ("" for none)
  };
  const Case cases[] = {
      {whole, "drawing", ""},
      {cut, "drawing", "最後まで読めませんでした"},
      {multiplying, "drawing", "最後まで読めませんでした（図面が大きすぎるため、8000 個の要素まで読み込みました）"},
      {part, "other", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.File);
    view.Navigate(QString::fromStdString(c.File));
    QTRY_VERIFY_WITH_TIMEOUT(!view.Busy(), 10000);
    EXPECT_EQ(view.RendererKind(), QString::fromLatin1(c.Kind));
    auto* drawing = view.findChild<TDrawingView*>();
    ASSERT_TRUE(drawing);
    // A drawing's problem is told once, in the drawing view's own note.
    auto* shown = drawing->findChild<QLabel*>(QStringLiteral("lblDrawingNote"));
    ASSERT_TRUE(shown);
    const QString said = shown->isHidden() || view.RendererKind() != u"drawing" ? view.Note() : shown->text();
    if (*c.Note)
      EXPECT_TRUE(said.contains(QString::fromUtf8(c.Note))) << said.toStdString();
    else
      EXPECT_EQ(said, QString());
    if (view.RendererKind() == u"drawing") {
      EXPECT_EQ(view.Note(), QString());
      ASSERT_TRUE(drawing->Scene());
      EXPECT_GT(drawing->Scene()->Drawing().Primitives.size(), 10u);
    }
  }
  EXPECT_TRUE(view.RenderedText().contains(QStringLiteral("SXF の図面ではない"))) << view.RenderedText().toStdString();

  view.Navigate(QString::fromStdString(whole));
  view.Navigate(QString::fromStdString(text));
  QTRY_VERIFY_WITH_TIMEOUT(!view.Busy(), 10000);
  QTest::qWait(300);
  EXPECT_EQ(view.RendererKind(), QStringLiteral("text"));
  EXPECT_EQ(view.CurrentPath(), QString::fromStdString(text));
}

}  // namespace
}  // namespace dlvr
