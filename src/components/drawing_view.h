// The drawing view: an SXF drawing (.P21 / .SFC) on its sheet, with a layer
// list, the title block's values, zoom (wheel at the mouse, a rectangle,
// keys), pan (dragging, arrow keys), fit to the sheet, a distance measured
// between two clicks, white or black paper, printing and PDF export.
//
// The file is read off the GUI thread; a file that cannot be read, or breaks
// part way, says why above the drawing. While the user drags or turns the
// wheel the last picture is moved and scaled at once, and drawn anew when
// the movement rests.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <QWidget>

#include <functional>
#include <memory>

#include "sxf/drawing.h"

class QPrinter;

namespace dlvr {

class TDrawingScene;
class TDrawingCanvasWidget;

class TDrawingView : public QWidget {
  Q_OBJECT
 public:
  explicit TDrawingView(QWidget* parent = nullptr);
  ~TDrawingView() override;

  // Reads the file off the GUI thread; Loaded follows when it is shown.
  // `origin`: the drawing's own file in the delivery when `path` is a
  // preview copy of it ("": the path itself).
  void Open(const QString& path, const QString& origin = {});
  // Shows a drawing read already (nullptr: nothing). Showing another file
  // than before ends measuring and zooming to a rectangle.
  void SetDrawing(std::shared_ptr<const sxf::TDrawing> drawing, const QString& path = {},
                  const QString& origin = {});
  bool Busy() const;
  QString Path() const;
  // The drawing's own file (its origin, else its path; "" for none).
  QString Origin() const;
  // Why the file could not be read, or where its reading stopped ("" when
  // it was read whole).
  QString Problem() const;
  const TDrawingScene* Scene() const;

  void FitToSheet();
  // Zooms by `factor` keeping the sheet point under `canvasPos` (a point of
  // the canvas widget) where it is.
  void ZoomAt(QPointF canvasPos, double factor);
  // Shows the rectangle (canvas pixels) as large as the canvas allows.
  void ZoomToRect(const QRectF& canvasRect);
  void PanBy(QPointF canvasDelta);
  // Sheet millimetres to canvas pixels, and back.
  QTransform SheetToCanvas() const;
  QPointF ToSheet(QPointF canvasPos) const;

  void SetLayerShown(int layer, bool shown);
  void SetBlackBackground(bool black);
  // The last distance measured between two clicks ("" before one is).
  QString MeasureText() const;

  // The sheet on a printer's page (turned to suit it) or in a PDF file of the
  // sheet's size, both on white paper whatever the screen's background.
  // False when nothing is shown or it cannot be written.
  bool PrintTo(QPrinter& printer);
  bool ExportPdf(const QString& path);
  // What the PDF command offers: the drawing's own name with ".pdf" in the
  // folder of the last export (kept in the settings; the user's documents
  // folder before the first). "" when nothing is shown.
  QString SuggestedPdfPath() const;
  // The folders of the delivery the drawing comes from: the PDF command
  // never writes into them (nor into the drawing's own folder).
  void SetDeliveryFolders(const QStringList& folders);
  // The PDF command: asks for the file (AskSavePath), writes it and keeps
  // its folder for the next export. False when nothing was written (a file
  // inside the delivery is refused with a message in the status line).
  bool ExportPdfAsked();

  // The file chosen to write to ("" when none); the save dialog unless a
  // test sets it.
  static inline std::function<QString(QWidget*, const QString& caption, const QString& suggested,
                                      const QString& filter)>
      AskSavePath;

  // The canvas widget the drawing is painted on (for tests and events).
  QWidget* Canvas() const;

 signals:
  void Loaded(const QString& path);

 private:
  void Show(std::shared_ptr<const sxf::TDrawing> drawing, std::unique_ptr<TDrawingScene> scene, const QString& path,
            const QString& origin);
  friend class TDrawingCanvasWidget;
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace dlvr
