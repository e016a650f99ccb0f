#include "components/xml_prepare.h"

#include <libxml/tree.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <vector>

#include "platform/paths.h"

namespace dlvr {
namespace {

// An element's text, and its name with its attributes, are shown up to
// this many characters.
constexpr qsizetype kMaxXmlValueChars = 4096;

// The element tree's text for tests and finding stops growing here.
constexpr qsizetype kMaxXmlDumpChars = 1024 * 1024;

QString XmlPreviewString(const xmlChar* s) { return s ? QString::fromUtf8(reinterpret_cast<const char*>(s)) : QString(); }

}  // namespace

std::pair<QString, QString> XmlElementTexts(xmlDoc* doc, xmlNode* node) {
  QString label = XmlPreviewString(node->name);
  QString value;
  for (xmlNode* c = node->children; c; c = c->next)
    if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) value += XmlPreviewString(c->content);
  value = value.trimmed();
  // A long text shows its start; the column cannot show more anyway.
  if (value.size() > kMaxXmlValueChars) value = value.left(kMaxXmlValueChars) + QStringLiteral("…");
  QStringList attrs;
  for (xmlAttr* a = node->properties; a; a = a->next) {
    xmlChar* v = xmlNodeListGetString(doc, a->children, 1);
    attrs << XmlPreviewString(a->name) + QStringLiteral("=\"") + XmlPreviewString(v) + u'"';
    xmlFree(v);
  }
  if (!attrs.isEmpty()) label += u' ' + attrs.join(u' ');
  if (label.size() > kMaxXmlValueChars) label = label.left(kMaxXmlValueChars) + QStringLiteral("…");
  return {label, value};
}

bool XmlHasElementChildren(xmlNode* node) {
  for (xmlNode* c = node->children; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE) return true;
  return false;
}

namespace {

// The element tree as indented text (what RenderedText gives for a tree),
// bounded like the tree itself.
void DumpXmlTree(xmlDoc* doc, TXmlPrepared& out) {
  QStringList dump;
  qsizetype chars = 0;
  int count = 0;
  struct Pending {
    xmlNode* node;
    int depth;
  };
  std::vector<Pending> todo{{xmlDocGetRootElement(doc), 0}};
  while (!todo.empty()) {
    Pending p = todo.back();
    todo.pop_back();
    if (++count > kXmlTreeMaxItems) {
      out.TooMany = true;
      break;
    }
    // The text stops early; the walk goes on to tell how far the tree goes.
    if (chars < kMaxXmlDumpChars) {
      auto [label, value] = XmlElementTexts(doc, p.node);
      dump << QString(p.depth * 2, u' ') + label + (value.isEmpty() ? QString() : QStringLiteral(": ") + value);
      chars += dump.back().size() + 1;
    }
    if (!XmlHasElementChildren(p.node)) continue;
    if (p.depth + 1 >= kXmlTreeMaxDepth) {
      out.TooDeep = true;
      continue;
    }
    std::vector<xmlNode*> kids;
    for (xmlNode* c = p.node->children; c; c = c->next)
      if (c->type == XML_ELEMENT_NODE) kids.push_back(c);
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) todo.push_back({*it, p.depth + 1});
  }
  out.Dump = dump.join(u'\n');
}

}  // namespace

// Transforms the page of records starting at `job.First` (the whole
// document when it has no more records than a page); a failure falls back
// to the tree with a note saying why.
void TransformXmlPage(TXmlJob& job, TXmlPrepared& out) {
  TXmlDocPtr page;
  xmlDoc* shown = job.Doc.get();
  if (job.Records.Nodes.size() > kXmlPageRecords) {
    page = PageDocument(job.Doc.get(), job.Records, job.First, kXmlPageRecords);
    shown = page.get();
  }
  TXsltResult r = SandboxTransformWith(job.Box, shown, job.Stylesheet);
  using S = TXsltResult::Status;
  const QString& href = job.Href;
  switch (r.State) {
    case S::Ok: {
      out.Shown = TXmlPrepared::Kind::Html;
      out.Html = QByteArray(r.Output.data(), static_cast<qsizetype>(r.Output.size()));
      out.Encoding = QString::fromStdString(r.Encoding);
      if (!r.Refused.empty())
        out.Note = QCoreApplication::translate(
                       "TPreviewView", "納品データの外のファイル、または読めないファイルは読み込みませんでした: %1")
                       .arg(QString::fromStdString(r.Refused.front()));
      return;
    }
    case S::NoStylesheet:
    case S::StylesheetMissing:
      out.Note = QCoreApplication::translate("TPreviewView",
                                             "スタイルシート %1 が見つからないため、要素の一覧で表示しています。")
                     .arg(href);
      break;
    case S::StylesheetUnreadable:
      out.Note =
          QCoreApplication::translate("TPreviewView", "スタイルシート %1 を読めないため、要素の一覧で表示しています。")
              .arg(href);
      break;
    case S::TimedOut:
      out.Note = QCoreApplication::translate(
                     "TPreviewView", "スタイルシート %1 の変換に時間がかかりすぎるため、要素の一覧で表示しています。")
                     .arg(href);
      break;
    case S::TooLarge:
      out.Note = QCoreApplication::translate(
                     "TPreviewView", "スタイルシート %1 の変換結果が大きすぎるため、要素の一覧で表示しています。")
                     .arg(href);
      break;
    case S::TransformFailed:
      out.Note = QCoreApplication::translate("TPreviewView",
                                             "スタイルシート %1 で変換できないため、要素の一覧で表示しています。")
                     .arg(href);
      break;
  }
  out.Shown = TXmlPrepared::Kind::Tree;
  if (!job.Cancel) DumpXmlTree(job.Doc.get(), out);
}

namespace {

// The first page of a styled file from the start of it, while the rest is
// still being read: shown as soon as a page of records is complete.
// Reports it through `promise`; true when it did.
bool ReportEarlyXmlPage(TXmlJob& job, xmlDoc* partial, TXmlPromise& promise) {
  TXmlRecords records = FindRecords(partial);
  // The record after the page has begun, so the page's records are whole.
  if (records.Nodes.size() <= kXmlPageRecords) return false;
  const std::string href = StylesheetHref(partial);
  if (href.empty()) {
    // No stylesheet: the tree of the first records, replaced by the whole
    // tree once the file is read.
    auto out = std::make_shared<TXmlPrepared>();
    out->Early = true;
    out->TreeDoc = std::shared_ptr<xmlDoc>(PageDocument(partial, records, 0, kXmlPageRecords).release(), TXmlDocFree());
    if (!out->TreeDoc) return false;
    // One pass: the file's name may hold "%2".
    out->Note = QCoreApplication::translate("TPreviewView", "%1 を読み込んでいます… (先頭の %2 件を表示しています)")
                    .arg(QFileInfo(job.Origin).fileName(), QString::number(kXmlPageRecords));
    DumpXmlTree(out->TreeDoc.get(), *out);
    promise.addResult(out);
    return true;
  }
  TXmlJob early;
  early.Box = job.Box;
  early.Box.Cancel = &job.Cancel;
  early.Href = QString::fromStdString(href);
  early.Stylesheet = ResolveStylesheetHref(ExtractFilePath(job.Origin.toStdString()), href);
  if (early.Stylesheet.empty()) return false;
  early.Doc = PageDocument(partial, records, 0, kXmlPageRecords);
  auto out = std::make_shared<TXmlPrepared>();
  TransformXmlPage(early, *out);
  if (out->Shown != TXmlPrepared::Kind::Html) return false;
  out->Early = true;
  early.Doc.reset();
  promise.addResult(out);
  return true;
}

}  // namespace

// Reads, parses and prepares an XML file for showing: the first page
// through its stylesheet, else its element tree. Runs on any thread; a
// large styled file reports its first page before it is read to the end.
void PrepareXml(const std::shared_ptr<TXmlJob>& job, TXmlPromise& promise) {
  auto out = std::make_shared<TXmlPrepared>();
  bool early = false;
  auto progress = [&](xmlDoc* partial) {
    if (!early) early = ReportEarlyXmlPage(*job, partial, promise);
  };
  TXmlParseResult parsed =
      SandboxParseXml(job->Box, job->Path.toStdString(), job->Origin.toStdString(), progress);
  if (job->Cancel) return;
  if (parsed.Status == TSandboxStatus::NotWellFormed) {
    // Not well-formed, or past the parser's depth and expansion limits:
    // shown as the text it is (also when a first page was shown already).
    out->Shown = TXmlPrepared::Kind::Text;
    out->Note = QCoreApplication::translate("TPreviewView", "XML として読めないため、テキストとして表示しています。");
    promise.addResult(out);
    return;
  }
  if (!parsed) {
    out->Shown = TXmlPrepared::Kind::Refused;
    out->Status = parsed.Status;
    promise.addResult(out);
    return;
  }
  job->Doc = std::move(parsed.Doc);
  const std::string href = StylesheetHref(job->Doc.get());
  if (href.empty()) {
    DumpXmlTree(job->Doc.get(), *out);
    // An early tree is replaced by the whole one.
    out->Early = false;
    promise.addResult(out);
    return;
  }
  job->Href = QString::fromStdString(href);
  job->Stylesheet = ResolveStylesheetHref(ExtractFilePath(job->Origin.toStdString()), href);
  if (job->Stylesheet.empty()) {
    out->Note = QCoreApplication::translate("TPreviewView",
                                            "スタイルシート %1 が見つからないため、要素の一覧で表示しています。")
                    .arg(job->Href);
    DumpXmlTree(job->Doc.get(), *out);
    promise.addResult(out);
    return;
  }
  job->Records = FindRecords(job->Doc.get());
  // The first page is on screen already: the rest only makes paging possible.
  if (!early) TransformXmlPage(*job, *out);
  promise.addResult(early ? nullptr : out);
}

// The same, at once, on the calling thread.
std::shared_ptr<TXmlPrepared> PrepareXmlNow(const std::shared_ptr<TXmlJob>& job) {
  TXmlPromise promise;
  QFuture<std::shared_ptr<TXmlPrepared>> future = promise.future();
  promise.start();
  PrepareXml(job, promise);
  promise.finish();
  return future.resultCount() > 0 ? future.resultAt(future.resultCount() - 1) : nullptr;
}

}  // namespace dlvr
