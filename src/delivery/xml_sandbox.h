// The sandbox every XML, XSLT and HTML resource of a delivery passes through
// on its way to a preview or an HTML export. A delivery is untrusted input,
// so inside the sandbox:
// - only regular files are read (opened without blocking and checked after
//   opening: never a device, FIFO or socket), each at most MaxFileBytes;
// - only files whose canonical path (symbolic links resolved) lies inside one
//   of the sandbox's folders; a link that leads outside is refused;
// - nothing comes from the network, nothing is written, no folder is made;
// - libxml2 keeps its default depth and entity-expansion limits;
// - the same rules hold for the document, its DTD and external entities, the
//   stylesheet, xsl:include, xsl:import and document().
// A transform that runs longer than TimeoutMs is stopped.
//
// The sandbox is in force on the calling thread for the duration of each
// call below; libxml2 and libxslt used outside these calls keep their own
// behaviour. Every function may be called on any thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _xmlDoc xmlDoc;
typedef struct _xmlNode xmlNode;

namespace dlvr {

// The largest file the sandbox reads: far above any real management file.
inline constexpr std::uint64_t kSandboxMaxFileBytes = 128ull * 1024 * 1024;

struct TXmlSandbox {
  // Folders whose regular files may be read (compared by canonical path).
  // With none, nothing may be read.
  std::vector<std::string> Folders;
  // The largest file read, in bytes.
  std::uint64_t MaxFileBytes = kSandboxMaxFileBytes;
  // The longest a transform may run, in milliseconds (0: no limit).
  int TimeoutMs = 30000;
  // The largest transform result, in bytes.
  std::uint64_t MaxOutputBytes = 64ull * 1024 * 1024;
  // Set by another thread to stop a transform in progress (it then ends as
  // TimedOut); null for none. Must outlive the call.
  const std::atomic<bool>* Cancel = nullptr;
};

enum class TSandboxStatus {
  Ok,
  Outside,       // the path lies outside the sandbox's folders (or does not exist)
  NotRegular,    // a folder, device, FIFO or socket
  TooLarge,      // larger than MaxFileBytes
  Unreadable,    // could not be opened or read
  NotWellFormed, // read, but not well-formed XML (or past libxml2's limits)
};

// Why a status came about, in the user's language ("" for Ok).
std::string SandboxStatusText(TSandboxStatus status);

// The canonical path of `path` when it names an existing entry inside one of
// the sandbox's folders; "" otherwise.
std::string SandboxCanonical(const TXmlSandbox& sandbox, const std::string& path);

// Reads a whole file under the sandbox's rules. `bytes` is empty unless Ok.
TSandboxStatus SandboxReadFile(const TXmlSandbox& sandbox, const std::string& path, std::string& bytes);

struct TXmlDocFree {
  void operator()(xmlDoc* doc) const;
};
using TXmlDocPtr = std::unique_ptr<xmlDoc, TXmlDocFree>;

// A parsed document, or why there is none.
struct TXmlParseResult {
  TSandboxStatus Status = TSandboxStatus::Unreadable;
  TXmlDocPtr Doc;
  // For NotWellFormed: the line where parsing stopped (1-based, 0 unknown)
  // and libxml2's reason.
  int Line = 0;
  std::string Reason;
  explicit operator bool() const { return Status == TSandboxStatus::Ok; }
};

// Parses the XML file `path` inside the sandbox. Relative references (DTD,
// entities, stylesheet) resolve against `basePath`, the place the document
// stands in the delivery (a preview copy names its original); `path` itself
// when empty. Entities are expanded within libxml2's limits.
TXmlParseResult SandboxParseXml(const TXmlSandbox& sandbox, const std::string& path,
                                const std::string& basePath = std::string());

// The same, parsing `pieceBytes` at a time: after each piece `progress` is
// given the document as far as it is read (its last element may be
// incomplete), on the calling thread; it may copy from it but not change
// it. Stops early when the sandbox's Cancel flag is set (then Unreadable).
TXmlParseResult SandboxParseXml(const TXmlSandbox& sandbox, const std::string& path, const std::string& basePath,
                                const std::function<void(xmlDoc* partial)>& progress,
                                std::size_t pieceBytes = 256 * 1024);

// The href of the first xml-stylesheet instruction anywhere in the
// document's prolog; "" when there is none.
std::string StylesheetHref(xmlDoc* doc);

// The file a stylesheet reference names, by the delivery's path rules: a
// relative path ('\' taken as '/') without "..", "." or empty components,
// without a scheme or drive, each component matched without regard to ASCII
// case under `folder`. "" when the reference breaks a rule or names no
// regular file.
std::string ResolveStylesheetHref(const std::string& folder, const std::string& href);

struct TXsltResult {
  enum class Status {
    Ok,
    NoStylesheet,         // the document names none
    StylesheetMissing,    // the reference breaks the path rules or names no file
    StylesheetUnreadable, // refused by the sandbox, or not a usable stylesheet
    TransformFailed,      // the transform failed or produced nothing
    TimedOut,             // stopped after TimeoutMs, or cancelled
    TooLarge,             // the result exceeds MaxOutputBytes
  };
  Status State = Status::NoStylesheet;
  std::string Href;      // the reference as the document gives it
  std::string Output;    // the result, in the stylesheet's output encoding
  std::string Encoding;  // that encoding, lower-cased ("" when not named)
  // Reads the sandbox refused during the call (canonical or given paths).
  std::vector<std::string> Refused;
  // What libxslt reported during the call (its first 4 KB), for a reason.
  std::string Messages;
  explicit operator bool() const { return State == Status::Ok; }
};

// Transforms a document parsed by SandboxParseXml (its base path given
// again) through the stylesheet its prolog names.
TXsltResult SandboxTransform(const TXmlSandbox& sandbox, xmlDoc* doc, const std::string& basePath);

// The same with a stylesheet file chosen by the caller.
TXsltResult SandboxTransformWith(const TXmlSandbox& sandbox, xmlDoc* doc, const std::string& stylesheetPath);

// The records of a large document, for showing it a page at a time: the
// child elements of the root that share the name most of them have (the
// meetings of a meeting file, the drawings of a drawing file). Empty when
// the root has fewer than two children of one name.
struct TXmlRecords {
  std::string Name;
  std::vector<xmlNode*> Nodes;  // owned by the document
};
TXmlRecords FindRecords(xmlDoc* doc);

// A new document holding the root with its attributes, every child of the
// root that is not a record, and the records [first, first + count), all in
// their places: what a stylesheet shows of it is what it shows of those
// records in the whole document. Null when `doc` has no root.
TXmlDocPtr PageDocument(xmlDoc* doc, const TXmlRecords& records, std::size_t first, std::size_t count);

}  // namespace dlvr
