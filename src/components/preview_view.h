// The preview view: shows a document file the way a desktop web view would,
// picking a renderer by the file's content (one class a format, made for
// each file: components/preview_renderer.h). XML with an xml-stylesheet
// instruction is transformed with libxslt (the stylesheet resolved beside
// the file by the delivery's path rules) and shown as HTML; XML without one as a collapsible element
// tree; HTML and plain text as text; PDF with page navigation and zoom;
// images fitted to the view with zoom; SXF drawings (.P21 / .SFC, told by
// content) in the drawing view, read off the GUI thread; anything else as a page naming the
// file, its type and size, with a button to open it in the desktop's default
// application. It reports busy / complete like a browser so that callers can
// wait for a document to be shown.
//
// A delivery is untrusted input: XML, stylesheets, DTDs, entities,
// document() targets and a page's images and style sheets are read through
// the sandbox of delivery/xml_sandbox.h: regular files inside the document's
// folder, its original's folder and the folders set with SetSandboxFolders
// only, never the network, never a device or FIFO, each size-capped. The
// element tree stops at a depth and an item count and says so.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <functional>

namespace dlvr {

struct TPreviewMark;

class TPreviewView : public QWidget {
  Q_OBJECT
 public:
  explicit TPreviewView(QWidget* parent = nullptr);
  ~TPreviewView() override;

  // Shows the file (an empty path or the blank page: nothing). Rendering
  // happens before the call returns or shortly after; Busy() tells which.
  void Navigate(const QString& path);
  // Shows `path` (a preview copy) as if it stood at `origin` (its original
  // in the delivery): relative references resolve against the original's
  // folder, which may be read. An empty origin is the path itself.
  void Navigate(const QString& path, const QString& origin);
  bool Busy() const;
  // Folders besides the document's own whose files a document may read (the
  // delivery's medium folder, the work folder). None by default.
  void SetSandboxFolders(const QStringList& folders);
  // The file shown last ("" for none) and the kind of renderer used:
  // "html", "xmltree", "text", "pdf", "image", "drawing", "other", "blank".
  QString CurrentPath() const;
  QString RendererKind() const;
  // What the renderer shows, for tests: the HTML or text, the PDF page
  // count, the image size.
  QString RenderedText() const;
  int PageCount() const;
  QSize ImageSize() const;
  // The PDF page shown (0-based, -1 when no PDF is shown).
  int CurrentPage() const;
  // Shows a place of the file shown and marks it (a PDF page with the text
  // found on it outlined, a text's line highlighted): at once when the
  // file is shown, else as soon as it is; the next Navigate drops a mark
  // still waiting. Files of other kinds stay as they are.
  void ShowMark(const TPreviewMark& mark);
  // Where the mark stands, in this view's coordinates (empty for none).
  QRect MarkedArea() const;
  // A line shown above the document ("" for none): a shortened large file,
  // a stylesheet that could not be used, a file that could not be read.
  QString Note() const;

  // What opens a file in the desktop's default application; by default
  // QDesktopServices::openUrl. Tests put their own in.
  using OpenHandler = std::function<bool(const QUrl&)>;
  void SetOpenHandler(OpenHandler handler);

  // Text and HTML files larger than this show only their first part.
  static constexpr qint64 kMaxTextBytes = 5 * 1024 * 1024;

 signals:
  void NavigateComplete(const QString& path);
  void DocumentComplete(const QString& path);

 private:
  struct Impl;
  Impl* d_;
};

}  // namespace dlvr
