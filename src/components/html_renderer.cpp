#include "components/html_renderer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <string>

#include "components/text_fill.h"
#include "components/text_renderer.h"
#include "platform/paths.h"

namespace dlvr {
namespace {

// An image or style sheet a page refers to is read up to this size.
constexpr std::uint64_t kMaxPageResourceBytes = 32ull * 1024 * 1024;

QImage RefusedResourceImage() {
  QImage box(16, 16, QImage::Format_ARGB32);
  box.fill(QColor(224, 224, 224));
  QPainter paint(&box);
  paint.setPen(QColor(128, 128, 128));
  paint.drawRect(0, 0, 15, 15);
  return box;
}

class THtmlRenderer : public TPreviewRenderer {
 public:
  using TPreviewRenderer::TPreviewRenderer;
  QString Kind() const override { return kind_; }

  bool Start() override {
    bool cut = false;
    const QByteArray bytes = ReadFileHead(File().Path, kPreviewMaxTextBytes, &cut);
    rendered_ = DecodeDocumentText(bytes, DeclaredCharset(bytes));
    if (cut) {
      // Laying out a page this large would hold the program up; its text is
      // shown instead.
      Host().SetNote(QCoreApplication::translate(
                         "TPreviewView", "ファイルが大きいため (%1)、先頭の %2 だけをテキストとして表示しています。")
                         .arg(ByteSizeText(File().Size), ByteSizeText(kPreviewMaxTextBytes)));
      kind_ = QStringLiteral("text");
      QPlainTextEdit* view = Own(NewPreviewTextView());
      Host().Present(view);
      FillPlainTextInPieces(view, rendered_);
      return true;
    }
    kind_ = QStringLiteral("html");
    auto* browser = Own(new TSandboxBrowser(Host(), File()));
    browser->ShowPage(rendered_, File().OriginFolder());
    Host().Present(browser);
    return true;
  }

 private:
  QString kind_ = QStringLiteral("blank");
};

}  // namespace

TSandboxBrowser::TSandboxBrowser(TPreviewHost& host, const TPreviewFile& file)
    : host_(host), file_(file), box_(file.Sandbox(kMaxPageResourceBytes)) {
  setObjectName(QStringLiteral("HtmlView"));
  setOpenLinks(false);
  QPalette paper = palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    paper.setColor(group, QPalette::Base, Qt::white);
    paper.setColor(group, QPalette::Window, Qt::white);
    paper.setColor(group, QPalette::Text, Qt::black);
    paper.setColor(group, QPalette::WindowText, Qt::black);
    paper.setColor(group, QPalette::Link, QColor(0, 0, 238));
    paper.setColor(group, QPalette::LinkVisited, QColor(85, 26, 139));
  }
  // The roles set stay when the desktop's palette changes later.
  setPalette(paper);
  connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) { FollowLink(url); });
}

void TSandboxBrowser::ShowPage(const QString& htmlText, const QString& folder) {
  document()->clear();
  document()->setBaseUrl(QUrl::fromLocalFile(folder + u'/'));
  setHtml(htmlText);
}

void TSandboxBrowser::FollowLink(const QUrl& url) {
  QUrl target = url.isRelative() ? QUrl::fromLocalFile(file_.OriginFolder() + u'/').resolved(url) : url;
  if (!target.isLocalFile()) {
    host_.OpenExternally(target);
    return;
  }
  // A link leads only to files the page itself may read.
  const std::string local = ResolveCase(target.toLocalFile().toStdString());
  if (SandboxCanonical(file_.Sandbox(), local).empty()) {
    host_.SetNote(QCoreApplication::translate("TPreviewView", "納品データの外のファイルは開きません: %1")
                      .arg(target.toLocalFile()));
    return;
  }
  if (QFileInfo(QString::fromStdString(local)).isFile())
    host_.Follow(QString::fromStdString(local));
  else
    host_.OpenExternally(target);
}

// An image is always answered with an image: given no image (empty bytes,
// or bytes that do not decode), the text engine would load the name itself,
// from anywhere (relative to the process's folder, a FIFO blocking for
// good). What is refused or unreadable shows as a framed grey box.
QVariant TSandboxBrowser::loadResource(int type, const QUrl& name) {
  const bool image = type == QTextDocument::ImageResource;
  const QVariant refused = image ? QVariant(RefusedResourceImage()) : QVariant(QByteArray());
  QString local;
  if (name.isLocalFile())
    local = name.toLocalFile();
  else if (name.scheme().isEmpty())
    local = name.path();
  if (local.isEmpty() || QDir::isRelativePath(local)) {
    // Relative names were resolved against the base already; anything left
    // is a network address or another scheme. Data URLs carry their bytes
    // and are decoded by the document itself.
    if (name.scheme().compare(u"data", Qt::CaseInsensitive) == 0) return QVariant();
    return refused;
  }
  local.replace(u'\\', u'/');
  std::string path = ResolveCase(QDir::cleanPath(local).toStdString());
  std::string bytes;
  if (SandboxReadFile(box_, path, bytes) != TSandboxStatus::Ok) return refused;
  const QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
  if (!image) return QVariant(data);
  const QImage decoded = QImage::fromData(data);
  return decoded.isNull() ? refused : QVariant(decoded);
}

std::unique_ptr<TPreviewRenderer> MakeHtmlRenderer(TPreviewHost& host, const TPreviewFile& file,
                                                   const TPreviewSniff& sniff) {
  if (sniff.Ext == u"HTM" || sniff.Ext == u"HTML" || sniff.Markup.startsWith("<!doctype html") ||
      sniff.Markup.startsWith("<html"))
    return std::make_unique<THtmlRenderer>(host, file);
  return nullptr;
}

}  // namespace dlvr
