// Paints an SXF drawing (the model of sxf/drawing.h) with QPainter, for the
// drawing view and for the headless tool's PNG, PDF and SVG output. Needs Qt
// Gui only.
//
// Sheet millimetres have y upwards; a device transform maps them to pixels.
// The scene keeps one display list per layer (the primitives' indices with
// their boxes, grouped by pen), draws only what falls in the part of the
// device being painted, and draws a feature smaller than a pixel as a dot,
// a text too small to read as a stroke, so that a drawing of a hundred
// thousand features pans and zooms smoothly.
#pragma once

#include <QColor>
#include <QImage>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QTransform>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sxf/drawing.h"

namespace dlvr {

// The kind's name in the tool's dump ("point", "ellipse_arc", ...).
const char* DrawingKindName(sxf::TKind kind);
// The primitive's colour as the drawing defines it (black when it names none).
QColor DrawingColour(const sxf::TDrawing& drawing, const sxf::TPrimitive& p);
// The box of a primitive on the sheet in millimetres: the exact extent of
// lines, arcs and ellipses, the outer boundary of a hatch, a text's frame
// (its characters' cells after alignment, angle and slant).
QRectF PrimitiveBounds(const sxf::TPrimitive& p);

// A text's frame on the sheet: the lower left corner of its first
// character's cell, the writing direction (unit), the up direction of a
// character (unit, slanted), and the step from one character to the next.
struct TTextFrame {
  QPointF Origin, Along, Up, Step;
  double CellWidth = 0, CellHeight = 0;
  int Count = 0;  // characters
};
TTextFrame TextFrame(const sxf::TPrimitive& p);

class TDrawingScene {
 public:
  // A drawing of `listInTwoFrom` primitives or more is listed in two halves
  // at once, on two threads.
  explicit TDrawingScene(std::shared_ptr<const sxf::TDrawing> drawing, std::size_t listInTwoFrom = 200000);

  const sxf::TDrawing& Drawing() const { return *drawing_; }
  // The sheet (0, 0, width, height); a drawing without a sheet size gives
  // the box of its primitives.
  QRectF SheetRect() const { return sheet_; }
  // True when the drawing gives its sheet's size; false when SheetRect is
  // the box of the primitives (with a margin), as for a file cut before its
  // sheet.
  bool SheetGiven() const { return sheetGiven_; }

  // Layers shown: each layer's own flag at first. Primitives on no layer
  // are always shown.
  bool LayerShown(int layer) const;
  void SetLayerShown(int layer, bool shown);
  // The number of primitives on a layer.
  int LayerFeatures(int layer) const;

  // White (default) or black paper. A colour too close to the paper is
  // drawn in the opposite one (white lines black on white paper, black
  // ones white on black paper).
  void SetBlackBackground(bool black) { black_ = black; }
  bool BlackBackground() const { return black_; }
  QColor Paper() const { return black_ ? Qt::black : Qt::white; }
  QColor Ink(QColor c) const { return InkOn(c, black_); }
  // A colour on white (`black` false) or black paper, as above.
  static QColor InkOn(QColor c, bool black);

  // Maps the sheet into `target` (device pixels), the whole sheet seen,
  // centred, y upwards.
  static QTransform FitTransform(const QRectF& sheet, const QRectF& target);

  // Paints the paper, the sheet's frame and the shown layers onto the
  // painter's device; `toDevice` maps sheet millimetres to device pixels
  // and `area` is the part of the device to paint. With `detail` false
  // every feature is drawn in full (printing, export); otherwise features
  // under a pixel are reduced, judged on `view` (the whole screen that
  // `area` is a part of; `area` itself when empty), so that parts of one
  // screen drawn apart match. Returns how many features were drawn.
  int Paint(QPainter& painter, const QTransform& toDevice, const QRectF& area, bool detail = true,
            const QRectF& view = {}) const;

  // Paints the whole sheet fitted into `target` (device pixels) for paper:
  // a printer's page or a PDF page. Paper is white whatever the screen's
  // background (white lines come out black), every feature is drawn in
  // full and nothing is painted around the sheet. Returns how many features
  // were drawn.
  int PaintOnPaper(QPainter& painter, const QRectF& target) const;

  // Paints the whole of `image` as Paint does on the screen (`detail` on),
  // in `bands` horizontal bands painted at once by as many threads. Returns
  // how many features were drawn (a feature across bands counts in each).
  int PaintImage(QImage& image, const QTransform& toDevice, int bands) const;

  // The shown layers as an SVG document at the sheet's size in millimetres.
  std::string Svg() const;

  // With `all`, the screen is painted looking at every item, without the
  // index's boxes, none merged into a dot with its neighbours, none drawn
  // from its box alone but lines: the picture the index and its levels of
  // detail must match (for checking it).
  void SetWalkAll(bool all) { walkAll_ = all; }

 private:
  struct TItem {
    float X0, Y0, X1, Y1;
    std::uint32_t Index : 27;  // (a drawing holds far fewer primitives)
    std::uint32_t Kind : 4;    // sxf::TKind
    std::uint32_t Rising : 1;  // a line from (X0, Y0) to (X1, Y1); else from (X0, Y1) to (X1, Y0)
  };
  struct TBox {
    float X0, Y0, X1, Y1;
  };
  // One pen: the primitives drawn with it, indexed by place. Items are in
  // the order of their centres along a Z curve, so that neighbours on the
  // sheet are neighbours here; Boxes[0] holds the box of each run of kFan
  // items, Boxes[k + 1] the box of each run of kFan boxes of Boxes[k], up to
  // one box for the whole group. Painting walks these boxes and never looks
  // at an item whose run lies outside the part painted; a run smaller than a
  // pixel is drawn as one dot.
  struct TGroup {
    int Layer;
    bool Fill;     // solid hatches, drawn under the rest of their layer
    bool Markers;  // holds points: drawn as markers, never merged into a dot
    std::vector<TItem> Items;
    std::vector<std::uint32_t> FileOrder;  // positions in Items, in file order
    std::vector<std::vector<TBox>> Boxes;
  };
  static constexpr std::size_t kFan = 8;
  static void Index(TGroup& g);
  // Calls `item` for every item of `g` whose box meets `seen`, in the
  // index's order; with `dot` > 0, a run whose box is smaller than `dot`
  // both ways goes to `run` (its box and the number of its items) instead.
  // `primitives`: the drawing's, fetched ahead of `item` (may be null),
  // but for lines and items under `boxOnly` both ways (drawn from their
  // boxes).
  template <class Item, class Run>
  static void Walk(const TGroup& g, const TBox& seen, float dot, float boxOnly, const sxf::TPrimitive* primitives,
                   Item&& item, Run&& run);
  // The items of shown layers whose boxes meet `seen`, counted up to `most`
  // and one more.
  std::size_t CountIn(const TBox& seen, std::size_t most) const;
  QFont FontFor(int font) const;
  // Paint on `black` or white paper; `surround`: the part of `area` off the
  // sheet is filled grey, as a view shows it.
  // `direct`: the image the painter paints on, when dots may be set
  // straight into it.
  int PaintAs(QPainter& painter, const QTransform& toDevice, const QRectF& area, bool detail, const QRectF& view,
              bool black, bool surround, QImage* direct = nullptr) const;
  // `legible`: the height in pixels under which a text is a stroke.
  void PaintItem(QPainter& painter, const sxf::TPrimitive& p, const QTransform& toDevice, double scale,
                 bool detail, double legible) const;

  std::shared_ptr<const sxf::TDrawing> drawing_;
  QRectF sheet_;
  std::vector<bool> shown_;
  std::vector<int> layerFeatures_;
  std::vector<TGroup> groups_;  // by layer, then pen
  double widest_ = 0;           // the widest pen in mm: strokes reach past a box by half of it
  bool black_ = false;
  bool sheetGiven_ = false;
  bool walkAll_ = false;
};

// Writes the shown layers at the sheet's size: a PNG at `dpi`, a PDF page of
// the sheet's size (on white paper, as PaintOnPaper paints it), or an SVG in
// millimetres, chosen by the file's extension. A drawing without a sheet of
// its own larger than the largest paper (A0) is drawn reduced onto that
// paper in PNG and PDF. False with a reason when it cannot.
bool WriteDrawingFile(const TDrawingScene& scene, const QString& path, int dpi, QString* error);
// The PNG WriteDrawingFile writes (the sheet fitted into w x h pixels),
// painted and written a band of `bandRows` rows at a time (0: as many as
// fit in 160 MB), so that its memory stays that of one band at any size.
bool WritePngInBands(const TDrawingScene& scene, const QString& path, int w, int h, int dpi, QString* error,
                     int bandRows = 0);
// The paper WriteDrawingFile draws on, in millimetres.
QSizeF DrawingPaperSize(const TDrawingScene& scene);

}  // namespace dlvr
