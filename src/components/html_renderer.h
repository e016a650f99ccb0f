// HTML pages (.HTM, .HTML, or markup that starts as HTML) in a text
// browser that reads a page's images and style sheets only through the
// delivery's sandbox; a page too large to lay out shows its first part as
// text. The browser also shows XML transformed by its stylesheet.
#pragma once

#include <QTextBrowser>

#include <memory>

#include "components/preview_renderer.h"

namespace dlvr {

std::unique_ptr<TPreviewRenderer> MakeHtmlRenderer(TPreviewHost& host, const TPreviewFile& file,
                                                   const TPreviewSniff& sniff);

// The text browser of the preview ("HtmlView"). Images and style sheets a
// page refers to come only from regular files inside the sandbox's folders,
// each size-capped; nothing comes from the network, and a refused image is
// a placeholder (never the document's own fallback, which would read any
// local file). A link leads to a file of the delivery (shown in the
// preview) or to the desktop's handler.
//
// A page is paper: dark text on a light background whatever the desktop's
// colours, so that a page's own light cell colours keep the default dark
// text readable under a dark desktop palette too.
class TSandboxBrowser : public QTextBrowser {
 public:
  TSandboxBrowser(TPreviewHost& host, const TPreviewFile& file);

  // Shows the page, its relative references resolved against `folder`.
  void ShowPage(const QString& htmlText, const QString& folder);

  QVariant loadResource(int type, const QUrl& name) override;

 private:
  void FollowLink(const QUrl& url);

  TPreviewHost& host_;
  const TPreviewFile file_;
  TXmlSandbox box_;
};

}  // namespace dlvr
