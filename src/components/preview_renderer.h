// What the preview view and the renderers of its formats share: the file a
// renderer is made for, the few things the view does for every renderer
// (the note above the document, the facts page, completion), and the
// renderer's own interface.
//
// A renderer is made for one file and thrown away when the view moves on:
// nothing one file showed can show with the next. It owns its widgets and
// its background work; the view puts its widget on screen and takes it
// off. Adding a format is one renderer class and one line in the view's
// list of renderers (preview_view.cpp).
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <QWidget>

#include <cstdint>
#include <memory>

#include "delivery/xml_sandbox.h"

namespace dlvr {

// The file a renderer shows, where it stands in the delivery and what it
// may read besides itself.
struct TPreviewFile {
  // The file shown (a preview copy, or the delivery's own file).
  QString Path;
  // Where the document stands in the delivery (a preview copy names its
  // original): relative references resolve against its folder.
  QString Origin;
  // Folders besides the document's own whose files it may read.
  QStringList SandboxFolders;
  qint64 Size = 0;

  // What the document may read: the folders set by the owner, the
  // document's own folder and its original's.
  TXmlSandbox Sandbox(std::uint64_t maxBytes = kSandboxMaxFileBytes) const;
  QString OriginFolder() const;
  QString OriginName() const;
};

// A place in a document to show and mark: a PDF page and the text to mark
// on it, or a line of a text. Text is as found in the document's text
// (line breaks may stand as blanks).
struct TPreviewMark {
  int Page = -1;  // 0-based PDF page, -1 for none
  int Line = 0;   // 1-based line of a text, 0 for none
  QString Text;
};

// What the view does for its renderers.
class TPreviewHost {
 public:
  // The line above the document ("" hides it).
  virtual void SetNote(const QString& text) = 0;
  virtual QString Note() const = 0;
  // Puts `widget` on screen (nullptr: the blank page while the file is read).
  virtual void Present(QWidget* widget) = 0;
  // Gives `widget` the document's place and size without showing it yet
  // (a view that lays itself out while its file is read).
  virtual void Place(QWidget* widget) = 0;
  // Shows the file's facts instead, with why it is not shown ("" for none).
  virtual void ShowFacts(const QString& why) = 0;
  // The renderer is at work again (paging); Busy() is true until Completed.
  virtual void Working() = 0;
  // The file is on screen (or its showing has ended): Busy() ends and the
  // view signals completion.
  virtual void Completed() = 0;
  // A link the user followed to another file of the delivery.
  virtual void Follow(const QString& path) = 0;
  // Opens an address with the desktop's handler; false when nothing did.
  virtual bool OpenExternally(const QUrl& url) = 0;
  // Choices a user made in one renderer that the next of its kind keeps
  // (a drawing's black paper), by name.
  virtual QVariant Carried(const QString& name) const = 0;
  virtual void Carry(const QString& name, const QVariant& value) = 0;

 protected:
  ~TPreviewHost() = default;
};

class TPreviewRenderer : public QObject {
  Q_OBJECT
 public:
  TPreviewRenderer(TPreviewHost& host, TPreviewFile file);
  ~TPreviewRenderer() override;

  // Starts showing the file. True when it is shown (or its showing has
  // ended) on return; false when the renderer calls Completed later.
  virtual bool Start() = 0;
  // Stops any work for the file; the renderer no longer calls its host.
  // Its widgets are taken off screen by the view.
  virtual void Cancel();
  // The kind of view shown: "html", "xmltree", "text", "pdf", "image",
  // "drawing", or "blank" while the file is being read.
  virtual QString Kind() const = 0;
  // What the renderer shows, for tests and finding: the HTML or text, the
  // PDF's title, the element tree as indented text.
  QString Rendered() const { return rendered_; }
  virtual int PageCount() const { return 0; }
  virtual int CurrentPage() const { return -1; }
  virtual QSize ImageSize() const { return {}; }
  // Shows the place and marks it; false when this renderer cannot (the
  // file stays shown as it is). Called once the file is shown.
  virtual bool ShowMark(const TPreviewMark& mark) {
    (void)mark;
    return false;
  }
  // Where the mark stands on the screen, in global coordinates (empty when
  // nothing is marked), for tests.
  virtual QRect MarkedArea() const { return {}; }

  // Every widget the renderer put on screen, for the view to take off.
  QList<QWidget*> Widgets() const;

 protected:
  // Takes ownership of a widget of the renderer (deleted with it).
  template <class W>
  W* Own(W* widget) {
    owned_.push_back(QPointer<QWidget>(widget));
    return widget;
  }
  bool Live() const { return !cancelled_; }
  // The host, as long as the renderer is live (calls after Cancel are
  // dropped by the callers' Live checks).
  TPreviewHost& Host() { return host_; }
  const TPreviewFile& File() const { return file_; }

  QString rendered_;

 private:
  TPreviewHost& host_;
  TPreviewFile file_;
  QList<QPointer<QWidget>> owned_;
  bool cancelled_ = false;
};

// Makes the renderer for a file, or nullptr when it is not this renderer's
// kind. `head` is the file's first kilobyte, `markup` the same after a
// byte order mark and blanks, lower-cased; `ext` the suffix upper-cased.
struct TPreviewSniff {
  const QString& Ext;
  const QByteArray& Head;
  const QByteArray& Markup;
};
using TRendererFactory = std::unique_ptr<TPreviewRenderer> (*)(TPreviewHost&, const TPreviewFile&,
                                                                const TPreviewSniff&);

// Shared by the renderers that read text.

// Text and HTML files larger than this show only their first part.
inline constexpr qint64 kPreviewMaxTextBytes = 5 * 1024 * 1024;
// The encoding a document names for itself: an HTML meta charset or the
// XML declaration's encoding, lower-cased ("" when none).
QString DeclaredCharset(const QByteArray& bytes);
// Decodes a document's bytes by the encoding it names; without one, UTF-8
// when the bytes are valid UTF-8, CP932 otherwise.
QString DecodeDocumentText(const QByteArray& bytes, const QString& declared);
// A byte count in a reader's terms ("1,234 バイト" / "1.2 MB").
QString ByteSizeText(qint64 bytes);
// Up to `max` bytes of the file's start ("" when unreadable); `cut` tells
// whether there was more.
QByteArray ReadFileHead(const QString& file, qint64 max, bool* cut = nullptr);

}  // namespace dlvr
