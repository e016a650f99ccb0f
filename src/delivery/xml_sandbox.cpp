#include "delivery/xml_sandbox.h"

#include <sys/stat.h>
#include <unistd.h>

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/uri.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>
#include <libxslt/documents.h>
#include <libxslt/imports.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/translate.h"

namespace dlvr {
namespace {

// Options for every document the sandbox parses. The DTD is read when it is
// there (default attributes, entities) and its absence is no error; entities
// are expanded within libxml2's limits (no XML_PARSE_HUGE); nothing comes
// from the network.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_DTDLOAD | XML_PARSE_DTDATTR | XML_PARSE_NOENT |
                              XML_PARSE_NOWARNING | XML_PARSE_NOERROR | XML_PARSE_NOCDATA;

// The sandbox in force on this thread, with its folders in canonical form.
struct TActive {
  const TXmlSandbox* Box = nullptr;
  std::vector<std::string> Roots;
  // The folder relative references resolve against when libxml2 gives no
  // base of its own.
  std::string BaseFolder;
  std::vector<std::string> Refused;
  // What libxslt reported (the start of it).
  std::string Log;
};
thread_local TActive* tActive = nullptr;

bool Inside(const std::string& canonical, const std::vector<std::string>& roots) {
  for (const std::string& r : roots) {
    if (canonical == r) return true;
    if (canonical.size() > r.size() && canonical.compare(0, r.size(), r) == 0 &&
        (r.back() == '/' || canonical[r.size()] == '/'))
      return true;
  }
  return false;
}

std::vector<std::string> CanonicalRoots(const TXmlSandbox& box) {
  std::vector<std::string> roots;
  for (const std::string& f : box.Folders) {
    if (f.empty()) continue;
    std::string c = CanonicalPath(f);
    struct stat st {};
    if (!c.empty() && stat(c.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) roots.push_back(c);
  }
  return roots;
}

TSandboxStatus ReadCanonical(const std::string& canonical, std::uint64_t maxBytes, std::string& bytes) {
  // The canonical path holds no link: one put in its place since is refused.
  switch (ReadRegularFile(canonical, maxBytes, bytes, true)) {
    case TReadStatus::Ok: return TSandboxStatus::Ok;
    case TReadStatus::NotRegular: return TSandboxStatus::NotRegular;
    case TReadStatus::TooLarge: return TSandboxStatus::TooLarge;
    case TReadStatus::Link: return TSandboxStatus::Outside;
    case TReadStatus::Unreadable: break;
  }
  return TSandboxStatus::Unreadable;
}

TSandboxStatus ReadInside(const std::vector<std::string>& roots, std::uint64_t maxBytes, const std::string& path,
                          std::string& bytes) {
  bytes.clear();
  std::string canonical = CanonicalPath(path);
  if (canonical.empty() || !Inside(canonical, roots)) return TSandboxStatus::Outside;
  return ReadCanonical(canonical, maxBytes, bytes);
}

// Puts the sandbox in force on this thread for the life of the scope, with
// libxml2's error output collected instead of printed.
class TScope {
 public:
  TScope(const TXmlSandbox& box, std::string baseFolder);
  ~TScope();
  TScope(const TScope&) = delete;
  TScope& operator=(const TScope&) = delete;
  TActive& Active() { return active_; }

 private:
  TActive active_;
  TActive* outer_;
  void* errorCtx_;
  xmlGenericErrorFunc errorFunc_;
};

void QuietError(void*, const char*, ...) {}

// libxslt reports through one process-wide function: quiet while a sandbox
// is in force on the calling thread, printed as libxslt would otherwise.
void XsltError(void*, const char* msg, ...) {
  va_list args;
  va_start(args, msg);
  if (!tActive) {
    std::vfprintf(stderr, msg, args);
  } else if (tActive->Log.size() < 4096) {
    char buf[1024];
    std::vsnprintf(buf, sizeof buf, msg, args);
    tActive->Log += buf;
  }
  va_end(args);
}

xmlExternalEntityLoader gPreviousEntityLoader = nullptr;
xsltDocLoaderFunc gPreviousDocLoader = nullptr;

bool HasScheme(const std::string& url) {
  std::size_t colon = url.find(':');
  if (colon == std::string::npos || colon == 0) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    char c = url[i];
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (i > 0 && ((c >= '0' && c <= '9') || c == '+' ||
                                                                              c == '-' || c == '.'));
    if (!ok) return false;
  }
  return true;
}

// The local path a URL given to a loader names; "" for anything else (a
// network address, another scheme).
std::string LocalPathOf(const char* rawUrl, const char* directory) {
  if (!rawUrl || !*rawUrl) return std::string();
  std::string url = rawUrl;
  if (url.rfind("file://localhost/", 0) == 0 || url.rfind("FILE://localhost/", 0) == 0)
    url = url.substr(16);
  else if (url.rfind("file:///", 0) == 0 || url.rfind("FILE:///", 0) == 0)
    url = url.substr(7);
  else if (url.rfind("file:/", 0) == 0 && url.rfind("file://", 0) != 0)
    url = url.substr(5);
  else if (HasScheme(url))
    return std::string();
  if (url.empty()) return std::string();
  if (url[0] != '/') {
    std::string base = directory && *directory ? std::string(directory) : tActive ? tActive->BaseFolder : "";
    if (base.empty()) return std::string();
    url = JoinPath(base, url);
  }
  return url;
}

// Reads a loader's file: as named, else with its %-escapes undone (libxml2
// escapes the paths it builds from a base).
TSandboxStatus ReadForLoader(const std::string& path, std::string& bytes, std::string& used) {
  used = path;
  TSandboxStatus status = ReadInside(tActive->Roots, tActive->Box->MaxFileBytes, path, bytes);
  if (status == TSandboxStatus::Outside && path.find('%') != std::string::npos) {
    if (char* plain = xmlURIUnescapeString(path.c_str(), 0, nullptr)) {
      used = plain;
      xmlFree(plain);
      status = ReadInside(tActive->Roots, tActive->Box->MaxFileBytes, used, bytes);
    }
  }
  if (status != TSandboxStatus::Ok) tActive->Refused.push_back(used);
  return status;
}

// Every DTD, external entity, stylesheet and document() target libxml2 or
// libxslt loads while a sandbox is in force comes through here.
xmlParserInputPtr SandboxEntityLoader(const char* url, const char* id, xmlParserCtxtPtr ctxt) {
  if (!tActive) return gPreviousEntityLoader ? gPreviousEntityLoader(url, id, ctxt) : nullptr;
  std::string path = LocalPathOf(url, ctxt ? ctxt->directory : nullptr);
  if (path.empty()) {
    tActive->Refused.push_back(url ? url : "");
    return nullptr;
  }
  std::string bytes, used;
  if (ReadForLoader(path, bytes, used) != TSandboxStatus::Ok || bytes.size() > INT_MAX) return nullptr;
  xmlParserInputBufferPtr buf =
      xmlParserInputBufferCreateMem(bytes.data(), static_cast<int>(bytes.size()), XML_CHAR_ENCODING_NONE);
  if (!buf) return nullptr;
  xmlParserInputPtr input = xmlNewIOInputStream(ctxt, buf, XML_CHAR_ENCODING_NONE);
  if (!input) {
    xmlFreeParserInputBuffer(buf);
    return nullptr;
  }
  input->filename = reinterpret_cast<const char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(used.c_str())));
  return input;
}

// Stylesheets, their includes and imports, and document() targets: parsed
// without the network and within libxml2's limits whatever libxslt asks.
xmlDocPtr SandboxDocLoader(const xmlChar* uri, xmlDictPtr dict, int options, void* ctxt, xsltLoadType type) {
  if (tActive) options = (options | XML_PARSE_NONET) & ~XML_PARSE_HUGE & ~XML_PARSE_XINCLUDE;
  return gPreviousDocLoader(uri, dict, options, ctxt, type);
}

// libxslt's own read check, in force for document(), xsl:include and
// xsl:import; it sees the same rules as the loaders.
int SandboxReadCheck(xsltSecurityPrefsPtr, xsltTransformContextPtr, const char* value) {
  if (!tActive) return 1;
  std::string path = LocalPathOf(value, nullptr);
  if (path.empty()) {
    tActive->Refused.push_back(value ? value : "");
    return 0;
  }
  std::string canonical = CanonicalPath(path);
  if (canonical.empty() && path.find('%') != std::string::npos) {
    if (char* plain = xmlURIUnescapeString(path.c_str(), 0, nullptr)) {
      canonical = CanonicalPath(plain);
      xmlFree(plain);
    }
  }
  if (canonical.empty() || !Inside(canonical, tActive->Roots)) {
    tActive->Refused.push_back(path);
    return 0;
  }
  return 1;
}

xsltSecurityPrefsPtr gPrefs = nullptr;

// libxml2 and libxslt are set up once for the process: the aliases of the
// delivery encoding, the loaders and the security preferences. Outside a
// sandbox call the loaders defer to the ones they replaced.
void InitOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    // Delivery files say Shift_JIS and mean CP932.
    xmlAddEncodingAlias("CP932", "SHIFT_JIS");
    xmlAddEncodingAlias("CP932", "SHIFT-JIS");
    xmlAddEncodingAlias("CP932", "SJIS");
    gPreviousEntityLoader = xmlGetExternalEntityLoader();
    xmlSetExternalEntityLoader(SandboxEntityLoader);
    gPreviousDocLoader = xsltDocDefaultLoader;
    xsltSetLoaderFunc(SandboxDocLoader);
    xsltSetGenericErrorFunc(nullptr, XsltError);
    gPrefs = xsltNewSecurityPrefs();
    xsltSetSecurityPrefs(gPrefs, XSLT_SECPREF_READ_FILE, SandboxReadCheck);
    xsltSetSecurityPrefs(gPrefs, XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
    xsltSetSecurityPrefs(gPrefs, XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
    xsltSetSecurityPrefs(gPrefs, XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
    xsltSetSecurityPrefs(gPrefs, XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);
    // Stylesheet includes and imports are checked with the default
    // preferences, the transform with its own: both are these.
    xsltSetDefaultSecurityPrefs(gPrefs);
  });
}

TScope::TScope(const TXmlSandbox& box, std::string baseFolder) : outer_(tActive) {
  InitOnce();
  active_.Box = &box;
  active_.Roots = CanonicalRoots(box);
  active_.BaseFolder = std::move(baseFolder);
  tActive = &active_;
  errorCtx_ = xmlGenericErrorContext;
  errorFunc_ = xmlGenericError;
  xmlSetGenericErrorFunc(nullptr, QuietError);
}

TScope::~TScope() {
  xmlSetGenericErrorFunc(errorCtx_, errorFunc_);
  tActive = outer_;
}

std::string FolderOf(const std::string& path) {
  std::string folder = ExtractFilePath(path);
  return folder.empty() ? std::string("./") : folder;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// The value of the pseudo-attribute `name` in a processing instruction's
// content ("" when absent).
std::string PseudoAttribute(const std::string& content, const std::string& name) {
  std::size_t pos = 0;
  while ((pos = content.find(name, pos)) != std::string::npos) {
    bool startsWord = pos == 0 || content[pos - 1] == ' ' || content[pos - 1] == '\t' || content[pos - 1] == '\r' ||
                      content[pos - 1] == '\n';
    std::size_t p = pos + name.size();
    pos = p;
    if (!startsWord) continue;
    while (p < content.size() && (content[p] == ' ' || content[p] == '\t' || content[p] == '\r' || content[p] == '\n'))
      ++p;
    if (p >= content.size() || content[p] != '=') continue;
    ++p;
    while (p < content.size() && (content[p] == ' ' || content[p] == '\t' || content[p] == '\r' || content[p] == '\n'))
      ++p;
    if (p >= content.size() || (content[p] != '"' && content[p] != '\'')) continue;
    char quote = content[p++];
    std::size_t end = content.find(quote, p);
    if (end == std::string::npos) return std::string();
    std::string value = content.substr(p, end - p);
    std::size_t a = value.find_first_not_of(" \t\r\n");
    std::size_t b = value.find_last_not_of(" \t\r\n");
    return a == std::string::npos ? std::string() : value.substr(a, b - a + 1);
  }
  return std::string();
}

// Stops a transform that runs past its time by setting the state libxslt
// checks between instructions.
class TWatchdog {
 public:
  TWatchdog(xsltTransformContextPtr ctxt, int ms, const std::atomic<bool>* cancel) {
    if (ms <= 0 && !cancel) return;
    thread_ = std::thread([this, ctxt, ms, cancel] {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
      std::unique_lock<std::mutex> lock(mutex_);
      // Looks at the cancel flag every few milliseconds until the deadline.
      while (!done_) {
        if ((cancel && cancel->load()) || (ms > 0 && std::chrono::steady_clock::now() >= deadline)) {
          fired_ = true;
          __atomic_store_n(reinterpret_cast<int*>(&ctxt->state), static_cast<int>(XSLT_STATE_STOPPED),
                           __ATOMIC_RELAXED);
          return;
        }
        cv_.wait_for(lock, std::chrono::milliseconds(cancel ? 10 : std::max(ms, 1)));
      }
    });
  }
  ~TWatchdog() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  bool Fired() const { return fired_; }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
  std::atomic<bool> fired_{false};
  std::thread thread_;
};

struct StyleFree {
  void operator()(xsltStylesheet* s) const { xsltFreeStylesheet(s); }
};
using StylePtr = std::unique_ptr<xsltStylesheet, StyleFree>;

TXsltResult Transform(const TXmlSandbox& box, xmlDoc* doc, const std::string& stylesheetPath, TXsltResult result) {
  TScope scope(box, FolderOf(stylesheetPath));
  using S = TXsltResult::Status;
  auto finish = [&](S state) {
    result.State = state;
    result.Refused = std::move(scope.Active().Refused);
    result.Messages = std::move(scope.Active().Log);
    if (state != S::Ok) {
      result.Output.clear();
      result.Encoding.clear();
    }
    return result;
  };
  if (!doc) return finish(S::TransformFailed);
  auto cancelled = [&box] { return box.Cancel && box.Cancel->load(); };
  if (cancelled()) return finish(S::TimedOut);
  // The stylesheet is read through the loaders like any other file: one
  // outside the rules is refused there and the parse fails.
  // Named as a URI: libxslt's read check parses the name as one, and
  // includes resolve against it.
  xmlChar* uri = xmlPathToURI(reinterpret_cast<const xmlChar*>(stylesheetPath.c_str()));
  StylePtr style(uri ? xsltParseStylesheetFile(uri) : nullptr);
  xmlFree(uri);
  if (!style) return finish(S::StylesheetUnreadable);
  xsltTransformContextPtr ctxt = xsltNewTransformContext(style.get(), doc);
  if (!ctxt) return finish(S::TransformFailed);
  xsltSetCtxtSecurityPrefs(gPrefs, ctxt);
  ctxt->parserOptions = (ctxt->parserOptions | XML_PARSE_NONET) & ~XML_PARSE_HUGE;
  TXmlDocPtr out;
  bool timedOut = false;
  {
    TWatchdog watchdog(ctxt, box.TimeoutMs, box.Cancel);
    out.reset(xsltApplyStylesheetUser(style.get(), doc, nullptr, nullptr, nullptr, ctxt));
    timedOut = watchdog.Fired();
  }
  xsltFreeTransformContext(ctxt);
  if (timedOut || cancelled()) return finish(S::TimedOut);
  if (!out) return finish(S::TransformFailed);
  xmlChar* text = nullptr;
  int len = 0;
  if (xsltSaveResultToString(&text, &len, out.get(), style.get()) != 0 || !text) {
    xmlFree(text);
    return finish(S::TransformFailed);
  }
  if (static_cast<std::uint64_t>(len) > box.MaxOutputBytes) {
    xmlFree(text);
    return finish(S::TooLarge);
  }
  result.Output.assign(reinterpret_cast<const char*>(text), static_cast<std::size_t>(len));
  xmlFree(text);
  const xmlChar* encoding = nullptr;
  XSLT_GET_IMPORT_PTR(encoding, style.get(), encoding)
  result.Encoding = encoding ? Lower(reinterpret_cast<const char*>(encoding)) : std::string();
  return finish(S::Ok);
}

}  // namespace

void TXmlDocFree::operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }

std::string SandboxStatusText(TSandboxStatus status) {
  switch (status) {
    case TSandboxStatus::Ok: return std::string();
    case TSandboxStatus::Outside: return Tr("XmlSandbox", "納品データの外にあるか、存在しません。");
    case TSandboxStatus::NotRegular: return Tr("XmlSandbox", "通常のファイルではありません。");
    case TSandboxStatus::TooLarge: return Tr("XmlSandbox", "ファイルが大きすぎます。");
    case TSandboxStatus::Unreadable: return Tr("XmlSandbox", "ファイルを読み込めません。");
    case TSandboxStatus::NotWellFormed: return Tr("XmlSandbox", "XML として正しくありません。");
  }
  return std::string();
}

std::string SandboxCanonical(const TXmlSandbox& sandbox, const std::string& path) {
  std::string canonical = CanonicalPath(path);
  return !canonical.empty() && Inside(canonical, CanonicalRoots(sandbox)) ? canonical : std::string();
}

TSandboxStatus SandboxReadFile(const TXmlSandbox& sandbox, const std::string& path, std::string& bytes) {
  return ReadInside(CanonicalRoots(sandbox), sandbox.MaxFileBytes, path, bytes);
}

TXmlParseResult SandboxParseXml(const TXmlSandbox& sandbox, const std::string& path, const std::string& basePath) {
  return SandboxParseXml(sandbox, path, basePath, nullptr);
}

TXmlParseResult SandboxParseXml(const TXmlSandbox& sandbox, const std::string& path, const std::string& basePath,
                                const std::function<void(xmlDoc* partial)>& progress, std::size_t pieceBytes) {
  // Pieces of the file fed to the parser between two looks at the document.
  const std::size_t kPiece = std::max<std::size_t>(pieceBytes, 4);
  TXmlParseResult result;
  const std::string base = basePath.empty() ? path : basePath;
  TScope scope(sandbox, FolderOf(base));
  std::string bytes;
  result.Status = ReadInside(scope.Active().Roots, sandbox.MaxFileBytes, path, bytes);
  if (result.Status != TSandboxStatus::Ok) return result;
  // The first piece holds the declaration, so that the encoding is known.
  const std::size_t first = std::min(bytes.size(), progress ? kPiece : bytes.size());
  xmlParserCtxtPtr ctxt =
      xmlCreatePushParserCtxt(nullptr, nullptr, bytes.data(), static_cast<int>(std::min<std::size_t>(first, 4)),
                              base.c_str());
  if (!ctxt) {
    result.Status = TSandboxStatus::Unreadable;
    return result;
  }
  xmlCtxtUseOptions(ctxt, kParseOptions);
  if (!ctxt->directory)
    ctxt->directory = reinterpret_cast<char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(FolderOf(base).c_str())));
  std::size_t at = std::min<std::size_t>(first, 4);
  bool cancelled = false;
  while (ctxt->wellFormed) {
    const std::size_t n = std::min(at < first ? first - at : kPiece, bytes.size() - at);
    const bool last = at + n >= bytes.size();
    xmlParseChunk(ctxt, bytes.data() + at, static_cast<int>(n), last ? 1 : 0);
    at += n;
    if (last) break;
    if (sandbox.Cancel && sandbox.Cancel->load()) {
      cancelled = true;
      break;
    }
    if (progress && ctxt->myDoc && ctxt->wellFormed) progress(ctxt->myDoc);
  }
  TXmlDocPtr doc(ctxt->myDoc);
  ctxt->myDoc = nullptr;
  if (cancelled) {
    xmlFreeParserCtxt(ctxt);
    result.Status = TSandboxStatus::Unreadable;
    return result;
  }
  if (!ctxt->wellFormed || !doc || !xmlDocGetRootElement(doc.get())) {
    const xmlError* e = xmlCtxtGetLastError(ctxt);
    result.Status = TSandboxStatus::NotWellFormed;
    result.Line = e ? e->line : 0;
    if (e && e->message) {
      result.Reason = e->message;
      while (!result.Reason.empty() && (result.Reason.back() == '\n' || result.Reason.back() == ' '))
        result.Reason.pop_back();
    }
    xmlFreeParserCtxt(ctxt);
    return result;
  }
  xmlFreeParserCtxt(ctxt);
  result.Doc = std::move(doc);
  result.Status = TSandboxStatus::Ok;
  return result;
}

std::string StylesheetHref(xmlDoc* doc) {
  if (!doc) return std::string();
  for (xmlNode* n = doc->children; n; n = n->next) {
    if (n->type == XML_ELEMENT_NODE) break;
    if (n->type != XML_PI_NODE || xmlStrcmp(n->name, BAD_CAST "xml-stylesheet") != 0 || !n->content) continue;
    std::string href = PseudoAttribute(reinterpret_cast<const char*>(n->content), "href");
    if (!href.empty()) return href;
  }
  return std::string();
}

std::string ResolveStylesheetHref(const std::string& folder, const std::string& href) {
  std::string rel = ToSlashes(href);
  if (rel.empty() || rel[0] == '/' || rel.find(':') != std::string::npos) return std::string();
  std::size_t start = 0;
  while (true) {
    std::size_t slash = rel.find('/', start);
    std::string part = rel.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (part.empty() || part == "." || part == "..") return std::string();
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  std::string path = ResolveCase(JoinPath(folder, rel));
  return FileExists(path) ? path : std::string();
}

TXsltResult SandboxTransformWith(const TXmlSandbox& sandbox, xmlDoc* doc, const std::string& stylesheetPath) {
  TXsltResult result;
  result.Href = stylesheetPath;
  return Transform(sandbox, doc, stylesheetPath, std::move(result));
}

TXsltResult SandboxTransform(const TXmlSandbox& sandbox, xmlDoc* doc, const std::string& basePath) {
  TXsltResult result;
  result.Href = StylesheetHref(doc);
  if (result.Href.empty()) {
    result.State = TXsltResult::Status::NoStylesheet;
    return result;
  }
  std::string path = ResolveStylesheetHref(FolderOf(basePath), result.Href);
  if (path.empty()) {
    result.State = TXsltResult::Status::StylesheetMissing;
    return result;
  }
  return Transform(sandbox, doc, path, std::move(result));
}

TXmlRecords FindRecords(xmlDoc* doc) {
  TXmlRecords records;
  xmlNode* root = doc ? xmlDocGetRootElement(doc) : nullptr;
  if (!root) return records;
  std::unordered_map<std::string, std::size_t> counts;
  std::size_t best = 0;
  for (xmlNode* c = root->children; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE) continue;
    std::size_t n = ++counts[reinterpret_cast<const char*>(c->name)];
    if (n > best) {
      best = n;
      records.Name = reinterpret_cast<const char*>(c->name);
    }
  }
  if (best < 2) {
    records.Name.clear();
    return records;
  }
  records.Nodes.reserve(best);
  for (xmlNode* c = root->children; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE && records.Name == reinterpret_cast<const char*>(c->name))
      records.Nodes.push_back(c);
  return records;
}

TXmlDocPtr PageDocument(xmlDoc* doc, const TXmlRecords& records, std::size_t first, std::size_t count) {
  xmlNode* root = doc ? xmlDocGetRootElement(doc) : nullptr;
  if (!root) return nullptr;
  TXmlDocPtr page(xmlNewDoc(doc->version ? doc->version : BAD_CAST "1.0"));
  if (!page) return nullptr;
  if (doc->URL) page->URL = xmlStrdup(doc->URL);
  // The root with its attributes (defaults from the DTD included) only.
  xmlNode* pageRoot = xmlDocCopyNode(root, page.get(), 2);
  if (!pageRoot) return nullptr;
  xmlDocSetRootElement(page.get(), pageRoot);
  std::size_t index = 0;
  const std::size_t end = first + count < first ? SIZE_MAX : first + count;
  for (xmlNode* c = root->children; c; c = c->next) {
    const bool record = c->type == XML_ELEMENT_NODE && !records.Name.empty() &&
                        records.Name == reinterpret_cast<const char*>(c->name);
    if (record && (index++ < first || index > end)) continue;
    if (xmlNode* copy = xmlDocCopyNode(c, page.get(), 1)) xmlAddChild(pageRoot, copy);
  }
  return page;
}

}  // namespace dlvr
