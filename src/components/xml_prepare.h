// Preparing an XML file for the preview, off the GUI thread: parsed in the
// sandbox, its first page of records transformed by its stylesheet, or its
// element tree as text; a large styled file reports its first page before
// it is read to the end. Holds no widget.
#pragma once

#include <QFuture>
#include <QPromise>
#include <QString>

#include <atomic>
#include <memory>
#include <string>
#include <utility>

#include "delivery/xml_sandbox.h"

namespace dlvr {

// Element items past this many are left out of the XML tree.
inline constexpr int kXmlTreeMaxItems = 200000;
// Element levels past this depth are left out of the XML tree.
inline constexpr int kXmlTreeMaxDepth = 64;
// Records shown on one page of a styled view.
inline constexpr std::size_t kXmlPageRecords = 50;

// An XML file being shown: what it may read, the parsed document (kept for
// further pages and the tree), its records and stylesheet. Shared between
// the view and the work running for it; `Cancel` tells that work to stop.
struct TXmlJob {
  QString Path, Origin;
  TXmlSandbox Box;
  std::atomic<bool> Cancel{false};
  TXmlDocPtr Doc;
  TXmlRecords Records;
  std::string Stylesheet;
  QString Href;
  std::size_t First = 0;
};

// What preparing an XML file (or one page of it) came to. Made on any
// thread; holds no widget.
struct TXmlPrepared {
  enum class Kind { Text, Refused, Html, Tree } Shown = Kind::Tree;
  TSandboxStatus Status = TSandboxStatus::Ok;
  QString Note;
  QByteArray Html;
  QString Encoding;
  QString Dump;
  bool TooDeep = false, TooMany = false;
  // The first page, made from the start of a file still being read.
  bool Early = false;
  // For an early tree: the start of the file, copied (the job's document is
  // the whole file, once read).
  std::shared_ptr<xmlDoc> TreeDoc;
};

using TXmlPromise = QPromise<std::shared_ptr<TXmlPrepared>>;

// Reads, parses and prepares the job's file: the first page through its
// stylesheet, else its element tree. Runs on any thread; a large styled
// file reports its first page before it is read to the end.
void PrepareXml(const std::shared_ptr<TXmlJob>& job, TXmlPromise& promise);
// The same, at once, on the calling thread.
std::shared_ptr<TXmlPrepared> PrepareXmlNow(const std::shared_ptr<TXmlJob>& job);
// Transforms the page of records starting at `job.First` (the whole
// document when it has no more records than a page); a failure falls back
// to the tree with a note saying why.
void TransformXmlPage(TXmlJob& job, TXmlPrepared& out);

// The label (name and attributes) and the text of an element as the tree
// shows them, each cut at a length a column can show.
std::pair<QString, QString> XmlElementTexts(xmlDoc* doc, xmlNode* node);
bool XmlHasElementChildren(xmlNode* node);

}  // namespace dlvr
