#include "photo/photo_records.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <bitset>
#include <climits>
#include <optional>
#include <unordered_set>

#include "delivery/xml_sandbox.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr {
namespace {

// What one file may make the reader keep: far above any real photo file,
// low enough that a hostile one cannot exhaust memory.
constexpr std::size_t kMaxRecords = 200000;
constexpr std::size_t kMaxItems = 1000000;  // extra and base fields, drawings, spares
constexpr std::size_t kMaxEntityText = 4096;
constexpr std::size_t kMaxPathParts = 8;

// No DTD, no external entity, nothing from the network; entity references
// stay references (their text is taken from the declaration, never loaded);
// the declaration's encoding is ignored since the text is UTF-8 already.
constexpr int kParserOptions = XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR | XML_PARSE_NOCDATA |
                               XML_PARSE_IGNORE_ENC;

const char* const kRecordElement = "写真情報";
const char* const kBaseElement = "基礎情報";
const char* const kReferenceElement = "付加情報";

enum class TField : int {
  Serial, FileName, JapaneseName, MediaNo, MajorClass, Division, WorkType, Kind, Detail, Title, ClassSpare,
  RefFileName, RefJapaneseName, RefTitle, RefSpare, Place, Date, Representative, Frequency, ControlValue,
  Explanation, Count
};

struct TKnownField {
  std::string_view Name;
  TField Field;
};

constexpr TKnownField kKnownFields[] = {
    {"シリアル番号", TField::Serial},
    {"写真ファイル名", TField::FileName},
    {"写真ファイル日本語名", TField::JapaneseName},
    {"メディア番号", TField::MediaNo},
    {"写真-大分類", TField::MajorClass},
    {"写真区分", TField::Division},
    {"工種", TField::WorkType},
    {"種別", TField::Kind},
    {"細別", TField::Detail},
    {"写真タイトル", TField::Title},
    {"工種区分予備", TField::ClassSpare},
    {"参考図ファイル名", TField::RefFileName},
    {"参考図ファイル日本語名", TField::RefJapaneseName},
    {"参考図タイトル", TField::RefTitle},
    {"付加情報予備", TField::RefSpare},
    {"撮影箇所", TField::Place},
    {"撮影年月日", TField::Date},
    {"代表写真", TField::Representative},
    {"提出頻度写真", TField::Frequency},
    {"施工管理値", TField::ControlValue},
    {"請負者説明文", TField::Explanation},
    {"受注者説明文", TField::Explanation},
};

std::optional<TField> KnownField(std::string_view name) {
  for (const TKnownField& k : kKnownFields)
    if (k.Name == name) return k.Field;
  return std::nullopt;
}

// The scalar field of a record a known element fills (null for the
// repeatable and reference fields).
std::string* RecordField(TPhotoRecord& r, TField f) {
  switch (f) {
    case TField::Serial: return &r.Serial;
    case TField::FileName: return &r.FileName;
    case TField::JapaneseName: return &r.JapaneseName;
    case TField::MediaNo: return &r.MediaNo;
    case TField::MajorClass: return &r.MajorClass;
    case TField::Division: return &r.Division;
    case TField::WorkType: return &r.WorkType;
    case TField::Kind: return &r.Kind;
    case TField::Detail: return &r.Detail;
    case TField::Title: return &r.Title;
    case TField::Place: return &r.Place;
    case TField::Date: return &r.Date;
    case TField::Representative: return &r.Representative;
    case TField::Frequency: return &r.Frequency;
    case TField::ControlValue: return &r.ControlValue;
    case TField::Explanation: return &r.Explanation;
    default: return nullptr;
  }
}

std::string* ReferenceField(TPhotoReference& r, TField f) {
  switch (f) {
    case TField::RefFileName: return &r.FileName;
    case TField::RefJapaneseName: return &r.JapaneseName;
    case TField::RefTitle: return &r.Title;
    default: return nullptr;
  }
}

// One open element.
struct TFrame {
  std::string Name;
  bool HasChild = false;
  std::string Text;
};

// Reads the file as a stream of parser events: what came before a break
// has been seen when the parser stops at it.
class TPhotoReader {
 public:
  TPhotoReader(TPhotoFile& file, std::vector<TPhotoRecord>& records, std::size_t inputBytes)
      : file_(file), records_(records), byteBudget_(inputBytes * 4 + (1u << 20)) {}

  void Read(const std::string& text);
  // Stops reading where the parser stands, the file cut at the reader's bounds.
  void Stop();

 private:
  // The parser's callbacks. Events of the parser's check of an entity's
  // text come from another context and are not the document's.
  static TPhotoReader* Of(void* ctx);
  static void OnStart(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri, int nbNamespaces,
                      const xmlChar** namespaces, int nbAttributes, int nbDefaulted, const xmlChar** attributes);
  static void OnEnd(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri);
  static void OnText(void* ctx, const xmlChar* text, int len);
  static void OnReference(void* ctx, const xmlChar* name);
  static void OnError(void* ctx, xmlErrorPtr error);

  void Open(std::string name, const std::string& dtdVersion);
  void Close();
  void AddText(std::string_view text);
  void AddEntityText(const xmlChar* name);
  void Leaf(const TFrame& frame, std::size_t depth);
  void RecordLeaf(const TFrame& frame, std::size_t depth);
  std::string PathOf(std::size_t from, std::size_t to);
  bool Charge(std::size_t bytes, std::size_t items);
  int Line() const { return ctxt_ && ctxt_->input ? ctxt_->input->line : 0; }

  TPhotoFile& file_;
  std::vector<TPhotoRecord>& records_;
  xmlParserCtxtPtr ctxt_ = nullptr;
  std::vector<TFrame> stack_;
  // Depths (stack sizes) of the open record, base-information and
  // reference-group elements; 0 when none is open.
  std::size_t recordDepth_ = 0, baseDepth_ = 0, groupDepth_ = 0;
  std::bitset<static_cast<std::size_t>(TField::Count)> seen_;     // known fields met in the open record
  std::bitset<static_cast<std::size_t>(TField::Count)> refSeen_;  // drawing fields met in the last drawing
  std::size_t recordCount_ = 0, items_ = 0, bytes_ = 0;
  std::size_t byteBudget_;
  bool stopped_ = false;
  // The first fatal error the parser reported (else the first error).
  bool haveError_ = false, haveFatal_ = false;
  int errorLine_ = 0;
  std::string errorText_;
};

TPhotoReader* TPhotoReader::Of(void* ctx) {
  auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
  auto* self = ctxt ? static_cast<TPhotoReader*>(ctxt->_private) : nullptr;
  return self && self->ctxt_ == ctxt && !self->stopped_ ? self : nullptr;
}

// The parser's message as one line of valid UTF-8: it may quote the input,
// cut in the middle of a character and over several lines.
std::string ReasonText(std::string_view message) {
  std::string out;
  for (std::size_t pos = 0; pos < message.size();) {
    const std::size_t from = pos;
    const char32_t c = NextCodePoint(message, pos);
    if (c == '\n' || c == '\r' || c == '\t')
      out += ' ';
    else if (c == kReplacementChar && pos - from == 1)
      AppendUtf8(out, kReplacementChar);
    else
      out.append(message.substr(from, pos - from));
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// Runs a callback's work; nothing thrown crosses the parser (memory
// running out stops the reading there).
template <class F>
void Guarded(TPhotoReader* self, F&& work) {
  if (!self) return;
  try {
    work();
  } catch (...) {
    self->Stop();
  }
}

void TPhotoReader::OnStart(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar*, int,
                           const xmlChar**, int nbAttributes, int, const xmlChar** attributes) {
  TPhotoReader* self = Of(ctx);
  Guarded(self, [&] {
    std::string name = prefix ? std::string(reinterpret_cast<const char*>(prefix)) + ":" : std::string();
    name += reinterpret_cast<const char*>(localname);
    std::string dtdVersion;
    if (self->stack_.empty())
      for (int i = 0; i < nbAttributes; ++i) {
        const xmlChar** a = attributes + 5 * i;  // localname, prefix, URI, value, end
        if (!a[1] && xmlStrEqual(a[0], BAD_CAST "DTD_version") && a[3] && a[4] >= a[3])
          dtdVersion.assign(reinterpret_cast<const char*>(a[3]), static_cast<std::size_t>(a[4] - a[3]));
      }
    self->Open(std::move(name), dtdVersion);
  });
}

void TPhotoReader::OnEnd(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
  TPhotoReader* self = Of(ctx);
  Guarded(self, [&] { self->Close(); });
}

void TPhotoReader::OnText(void* ctx, const xmlChar* text, int len) {
  TPhotoReader* self = len > 0 ? Of(ctx) : nullptr;
  Guarded(self, [&] {
    self->AddText(std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(len)));
  });
}

void TPhotoReader::OnReference(void* ctx, const xmlChar* name) {
  TPhotoReader* self = Of(ctx);
  Guarded(self, [&] { self->AddEntityText(name); });
}

void TPhotoReader::OnError(void* ctx, xmlErrorPtr error) {
  auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
  auto* r = ctxt ? static_cast<TPhotoReader*>(ctxt->_private) : nullptr;
  if (!r || !error || error->level < XML_ERR_ERROR) return;
  const bool fatal = error->level == XML_ERR_FATAL;
  if (r->haveFatal_ || (r->haveError_ && !fatal)) return;
  r->haveError_ = true;
  r->haveFatal_ = fatal;
  r->errorLine_ = error->line;
  r->errorText_ = ReasonText(error->message ? error->message : "");
}

bool TPhotoReader::Charge(std::size_t bytes, std::size_t items) {
  bytes_ += bytes;
  items_ += items;
  return bytes_ <= byteBudget_ && items_ <= kMaxItems;
}

void TPhotoReader::Stop() {
  if (stopped_) return;
  stopped_ = true;
  file_.Broken = true;
  file_.BrokenLine = Line();
  file_.BrokenReason = Tr("PhotoReader", "読み込める量の上限を超えたため、ここで読込を打ち切りました。");
  xmlStopParser(ctxt_);
}

std::string TPhotoReader::PathOf(std::size_t from, std::size_t to) {
  std::string path;
  const std::size_t parts = to - from;
  for (std::size_t i = from; i < to; ++i) {
    // Deep paths keep their first parts and the last one.
    if (parts > kMaxPathParts && i >= from + kMaxPathParts - 1 && i + 1 < to) {
      if (i == from + kMaxPathParts - 1) path += "/…";
      continue;
    }
    if (!path.empty()) path += '/';
    path += stack_[i].Name;
  }
  return path;
}

void TPhotoReader::Open(std::string name, const std::string& dtdVersion) {
  if (!stack_.empty()) {
    stack_.back().HasChild = true;
    stack_.back().Text.clear();
  } else {
    file_.DtdVersion = dtdVersion;
  }
  stack_.push_back({std::move(name), false, std::string()});
  const std::size_t depth = stack_.size();
  const std::string& n = stack_.back().Name;
  if (recordDepth_ == 0 && depth >= 2 && n == kRecordElement) {
    if (++recordCount_ > kMaxRecords) return Stop();
    recordDepth_ = depth;
    seen_.reset();
    refSeen_.reset();
    records_.emplace_back();
    records_.back().Line = Line();
  } else if (recordDepth_ != 0 && groupDepth_ == 0 && n == kReferenceElement) {
    if (!Charge(0, 1)) return Stop();
    groupDepth_ = depth;
    refSeen_.reset();
    records_.back().References.emplace_back();
  } else if (recordDepth_ == 0 && baseDepth_ == 0 && depth == 2 && n == kBaseElement) {
    baseDepth_ = depth;
  }
}

void TPhotoReader::AddText(std::string_view text) {
  if (stack_.empty() || stack_.back().HasChild) return;
  if (!Charge(text.size(), 0)) return Stop();
  stack_.back().Text.append(text);
}

// An entity reference stays a reference: its text is the literal text of
// its declaration when that holds no markup and no further reference
// (nothing is ever loaded or expanded further).
void TPhotoReader::AddEntityText(const xmlChar* name) {
  xmlEntityPtr entity = name && ctxt_->myDoc ? xmlGetDocEntity(ctxt_->myDoc, name) : nullptr;
  if (!entity || !entity->content || entity->etype != XML_INTERNAL_GENERAL_ENTITY) return;
  std::string_view content(reinterpret_cast<const char*>(entity->content));
  if (content.size() > kMaxEntityText || content.find_first_of("<&") != std::string_view::npos) return;
  AddText(content);
}

void TPhotoReader::RecordLeaf(const TFrame& frame, std::size_t depth) {
  TPhotoRecord& r = records_.back();
  auto extra = [&] {
    std::string path = PathOf(recordDepth_, depth);
    if (!Charge(path.size(), 1)) return Stop();
    r.Extra.push_back({std::move(path), frame.Text});
  };
  const std::optional<TField> known = KnownField(frame.Name);
  if (!known) return extra();
  const auto bit = static_cast<std::size_t>(*known);
  if (*known == TField::ClassSpare) {
    if (!Charge(0, 1)) return Stop();
    r.ClassSpares.push_back(frame.Text);
    return;
  }
  if (*known == TField::RefFileName || *known == TField::RefJapaneseName || *known == TField::RefTitle ||
      *known == TField::RefSpare) {
    // A drawing field the current drawing already has is an extra field
    // inside a 付加情報 group, and starts the next drawing outside one.
    const bool spare = *known == TField::RefSpare;
    if (r.References.empty() || (!spare && refSeen_[bit] && groupDepth_ == 0)) {
      if (!Charge(0, 1)) return Stop();
      r.References.emplace_back();
      refSeen_.reset();
    } else if (!spare && refSeen_[bit]) {
      return extra();
    }
    TPhotoReference& ref = r.References.back();
    if (spare) {
      if (!Charge(0, 1)) return Stop();
      ref.Spares.push_back(frame.Text);
    } else {
      refSeen_[bit] = true;
      *ReferenceField(ref, *known) = frame.Text;
    }
    return;
  }
  // A known field met again is kept as an extra field.
  if (seen_[bit]) return extra();
  seen_[bit] = true;
  *RecordField(r, *known) = frame.Text;
}

void TPhotoReader::Leaf(const TFrame& frame, std::size_t depth) {
  if (recordDepth_ != 0 && depth > recordDepth_) return RecordLeaf(frame, depth);
  if (depth < 2) return;  // the root's own text
  std::string path = baseDepth_ != 0 && depth > baseDepth_ ? PathOf(baseDepth_, depth) : PathOf(1, depth);
  if (!Charge(path.size(), 1)) return Stop();
  file_.BaseInfo.push_back({std::move(path), frame.Text});
}

void TPhotoReader::Close() {
  if (stack_.empty()) return;
  const std::size_t depth = stack_.size();
  const TFrame& frame = stack_.back();
  if (depth == recordDepth_) {
    recordDepth_ = 0;
    groupDepth_ = 0;
  } else if (depth == groupDepth_) {
    groupDepth_ = 0;
  } else if (depth == baseDepth_) {
    baseDepth_ = 0;
  } else if (!frame.HasChild) {
    Leaf(frame, depth);
  }
  stack_.pop_back();
}

void TPhotoReader::Read(const std::string& text) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) {
    file_.Broken = true;
    file_.BrokenReason = text.empty() ? Tr("PhotoReader", "ファイルが空です。") : Tr("PhotoReader", "ファイルが大きすぎます。");
    return;
  }
  xmlInitParser();
  ctxt_ = xmlCreateMemoryParserCtxt(text.data(), static_cast<int>(text.size()));
  if (!ctxt_ || !ctxt_->sax) {
    if (ctxt_) xmlFreeParserCtxt(ctxt_);
    file_.Broken = true;
    file_.BrokenReason = Tr("PhotoReader", "ファイルを読み込めません。");
    return;
  }
  xmlCtxtUseOptions(ctxt_, kParserOptions);
  ctxt_->_private = this;
  // The document's events come here; the declarations of the internal
  // subset still go to the parser's own handlers, for the entities.
  xmlSAXHandler* sax = ctxt_->sax;
  sax->startElementNs = &TPhotoReader::OnStart;
  sax->endElementNs = &TPhotoReader::OnEnd;
  sax->characters = &TPhotoReader::OnText;
  sax->ignorableWhitespace = &TPhotoReader::OnText;
  sax->cdataBlock = &TPhotoReader::OnText;
  sax->reference = &TPhotoReader::OnReference;
  sax->comment = nullptr;
  sax->processingInstruction = nullptr;
  sax->warning = nullptr;
  sax->error = nullptr;
  sax->fatalError = nullptr;
  sax->serror = &TPhotoReader::OnError;
  xmlParseDocument(ctxt_);
  if (!stopped_ && (!ctxt_->wellFormed || haveFatal_)) {
    file_.Broken = true;
    file_.BrokenLine = haveError_ ? errorLine_ : Line();
    file_.BrokenReason = haveError_ && !errorText_.empty() ? errorText_ : Tr("PhotoReader", "XML として正しくありません。");
  }
  // The record the break cut is not kept: only whole records are.
  if (file_.Broken && recordDepth_ != 0) records_.pop_back();
  if (ctxt_->myDoc) xmlFreeDoc(ctxt_->myDoc);
  ctxt_->myDoc = nullptr;
  xmlFreeParserCtxt(ctxt_);
  ctxt_ = nullptr;
}

// The last part of a path ("ソフトウェア情報/ソフトウェア名" -> "ソフトウェア名").
std::string_view LastPart(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The first base field of that name, wherever it stands; "" when none.
std::string BaseValue(const TPhotoFile& file, std::string_view name) {
  for (const TPhotoExtra& e : file.BaseInfo)
    if (LastPart(e.Element) == name) return e.Value;
  return std::string();
}

std::string Trimmed(std::string_view s) {
  const std::size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string_view::npos) return std::string();
  const std::size_t b = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(a, b - a + 1));
}

// The folder a folder-name field names on a medium: relative to the
// medium's root ("PHOTO/PIC"), else to its PHOTO folder ("PIC"). "" when
// the value is not a plain relative path or names no folder inside the
// medium.
std::string NamedFolder(const std::string& medium, const std::string& value) {
  std::string rel = ToSlashes(Trimmed(value));
  while (!rel.empty() && rel.back() == '/') rel.pop_back();
  if (rel.empty() || rel[0] == '/' || rel.find(':') != std::string::npos) return std::string();
  for (std::size_t start = 0;;) {
    const std::size_t slash = rel.find('/', start);
    const std::string part = rel.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (part.empty() || part == "." || part == "..") return std::string();
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  for (const std::string& base : {medium, medium + "PHOTO/"}) {
    const std::string dir = ResolveCase(base + rel);
    if (DirExists(dir) && !LeadsOutside(dir, medium)) return WithTrailingSlash(dir);
  }
  return std::string();
}

std::string FolderOn(const std::string& medium, const std::string& named, const char* standard) {
  std::string dir = named.empty() ? std::string() : NamedFolder(medium, named);
  return dir.empty() ? NamedFolder(medium, standard) : dir;
}

}  // namespace

void ParsePhotoXml(std::string_view bytes, TPhotoFile& file, std::vector<TPhotoRecord>& records) {
  try {
    TPhotoReader reader(file, records, bytes.size());
    reader.Read(DecodeDeliveryText(bytes));
  } catch (...) {
    // Memory ran out before the parser started: nothing is read.
    file.Broken = true;
    file.BrokenReason = Tr("PhotoReader", "ファイルを読み込めません。");
  }
  file.Standard = BaseValue(file, "適用要領基準");
}

void TPhotoStore::Load(const std::vector<TPhotoMedium>& media) {
  files_.clear();
  records_.clear();
  media_.clear();
  std::vector<std::string> seen;
  std::unordered_set<std::string> listed;  // シリアル番号, 写真ファイル名 and メディア番号 of the records kept
  for (const TPhotoMedium& m : media) {
    const std::string folder = WithTrailingSlash(m.Folder);
    const std::string canonical = CanonicalPath(folder);
    if (std::find(seen.begin(), seen.end(), canonical.empty() ? folder : canonical) != seen.end()) continue;
    seen.push_back(canonical.empty() ? folder : canonical);
    TPhotoMediumFolders medium;
    medium.MediaNo = m.MediaNo;
    medium.Folder = folder;
    const std::string photoDir = ResolveCase(folder + "PHOTO");
    if (std::optional<std::string> xml = DirExists(photoDir) ? FileInFolder(photoDir, "PHOTO.XML", folder)
                                                             : std::nullopt) {
      TPhotoFile file;
      file.MediaNo = m.MediaNo;
      file.MediumFolder = folder;
      file.XmlPath = *xml;
      file.FirstRecord = records_.size();
      TXmlSandbox box;
      box.Folders = {folder};
      std::string bytes;
      const TSandboxStatus status = SandboxReadFile(box, *xml, bytes);
      if (status == TSandboxStatus::Ok) {
        ParsePhotoXml(bytes, file, records_);
        // A record an earlier medium's file listed is that photo again: the
        // same serial number, file name and medium. A photo of the same
        // serial and name on another medium is another photo.
        auto key = [](const TPhotoRecord& r) { return r.Serial + '\n' + r.FileName + '\n' + r.MediaNo; };
        const auto firstNew = records_.begin() + static_cast<std::ptrdiff_t>(file.FirstRecord);
        const auto kept =
            std::remove_if(firstNew, records_.end(), [&](const TPhotoRecord& r) { return listed.count(key(r)) > 0; });
        file.Repeated = static_cast<std::size_t>(records_.end() - kept);
        records_.erase(kept, records_.end());
        for (auto it = records_.begin() + static_cast<std::ptrdiff_t>(file.FirstRecord); it != records_.end(); ++it)
          listed.insert(key(*it));
      } else {
        file.Broken = true;
        file.BrokenReason = SandboxStatusText(status);
      }
      file.RecordCount = records_.size() - file.FirstRecord;
      for (std::size_t i = file.FirstRecord; i < records_.size(); ++i) records_[i].FileIndex = static_cast<int>(files_.size());
      medium.FileIndex = static_cast<int>(files_.size());
      files_.push_back(std::move(file));
    }
    media_.push_back(std::move(medium));
  }

  // The folders of every medium: named by its own file, else by the first.
  for (TPhotoMediumFolders& medium : media_) {
    const TPhotoFile* names =
        medium.FileIndex >= 0 ? &files_[static_cast<std::size_t>(medium.FileIndex)] : files_.empty() ? nullptr : &files_[0];
    medium.PhotoFolder = FolderOn(medium.Folder, names ? BaseValue(*names, "写真フォルダ名") : "", "PHOTO/PIC");
    medium.DrawingFolder = FolderOn(medium.Folder, names ? BaseValue(*names, "参考図フォルダ名") : "", "PHOTO/DRA");
    if (medium.FileIndex >= 0) {
      TPhotoFile& file = files_[static_cast<std::size_t>(medium.FileIndex)];
      file.PhotoFolder = medium.PhotoFolder;
      file.DrawingFolder = medium.DrawingFolder;
    }
  }

  // The files: on the medium of the record's メディア番号 first, then on the
  // medium of its PHOTO.XML, then on the others in load order.
  std::vector<TCaseResolver> resolvers;
  resolvers.reserve(media_.size());
  for (const TPhotoMediumFolders& medium : media_) resolvers.emplace_back(medium.Folder);
  std::vector<std::size_t> order;
  auto find = [&](const std::string& name, std::string TPhotoMediumFolders::*folder) {
    for (std::size_t i : order) {
      const std::string& dir = media_[i].*folder;
      if (dir.empty()) continue;
      std::string path = resolvers[i].FileIn(dir, name);
      if (!path.empty()) return path;
    }
    return std::string();
  };
  for (TPhotoRecord& r : records_) {
    const long number = WholeNumber(r.MediaNo);
    const TPhotoFile& file = files_[static_cast<std::size_t>(r.FileIndex)];
    order.clear();
    for (std::size_t i = 0; i < media_.size(); ++i)
      if (number > 0 && media_[i].MediaNo == number) order.push_back(i);
    for (std::size_t i = 0; i < media_.size(); ++i)
      if (media_[i].Folder == file.MediumFolder && std::find(order.begin(), order.end(), i) == order.end())
        order.push_back(i);
    for (std::size_t i = 0; i < media_.size(); ++i)
      if (std::find(order.begin(), order.end(), i) == order.end()) order.push_back(i);
    r.Path = IsPlainFileName(r.FileName) ? find(r.FileName, &TPhotoMediumFolders::PhotoFolder) : std::string();
    r.Exists = !r.Path.empty();
    for (TPhotoReference& ref : r.References)
      ref.Path = IsPlainFileName(ref.FileName) ? find(ref.FileName, &TPhotoMediumFolders::DrawingFolder) : std::string();
  }
}

}  // namespace dlvr
