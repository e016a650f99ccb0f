#include "search/sources.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "delivery/store.h"
#include "model/tree_view.h"
#include "photo/photo_records.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "sxf/read_drawing.h"

namespace dlvr::search {
namespace {

// ---- the delivery's files ------------------------------------------------

// The size and time of a file (zero when it cannot be read).
void StatInto(TSearchFile& f) {
  struct stat st {};
  if (f.Path.empty() || ::stat(f.Path.c_str(), &st) != 0) return;
  f.Size = static_cast<std::uint64_t>(st.st_size);
  f.MTime = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// `path` inside `folder` (ending in '/'), else its file name.
std::string RelativeTo(const std::string& path, const std::string& folder) {
  if (!folder.empty() && path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0)
    return path.substr(folder.size());
  return ExtractFileName(path);
}

void AddField(std::vector<TUnit>& units, const std::string& caption, const char* name, const std::string& value) {
  if (value.empty()) return;
  units.push_back({TWhere::Field, 0, caption.empty() ? std::string(name) : caption + " / " + name, value});
}

void AddFieldList(std::vector<TUnit>& units, const std::string& caption, const char* name,
                  const std::vector<std::string>& values) {
  std::string joined;
  for (const std::string& v : values)
    if (!v.empty()) joined += (joined.empty() ? "" : " ") + v;
  AddField(units, caption, name, joined);
}

// A record's fields by their element names; an original file's fields by
// the element names of the record that holds it.
template <class R>
void AddRecord(std::vector<TUnit>& units, const std::string& caption, const R& record,
               const char* const* orgElements = nullptr) {
  for (const TFieldDef<R>& f : R::Fields()) {
    if (f.Text) {
      AddField(units, caption, f.Element, record.*f.Text);
    } else if (f.List) {
      AddFieldList(units, caption, f.Element, record.*f.List);
    } else if (f.Orgs) {
      for (const TMdlTreeNodeOrg& o : record.*f.Orgs) {
        const char* const* names = orgElements;
        AddField(units, caption, names ? names[0] : "OrgFile", o.OrgFile);
        AddField(units, caption, names ? names[1] : "OrgSoftVersion", o.OrgSoftVersion);
        AddField(units, caption, names ? names[2] : "OrgContent", o.OrgContent);
      }
    }
  }
}

// A photo record's fields, named as in the photo management file.
void AddPhotoRecord(std::vector<TUnit>& units, const TPhotoRecord& r) {
  const std::string caption = r.Title.empty() ? r.FileName : r.Title;
  const std::pair<const char*, const std::string TPhotoRecord::*> fields[] = {
      {"シリアル番号", &TPhotoRecord::Serial},     {"写真ファイル名", &TPhotoRecord::FileName},
      {"写真ファイル日本語名", &TPhotoRecord::JapaneseName}, {"メディア番号", &TPhotoRecord::MediaNo},
      {"写真-大分類", &TPhotoRecord::MajorClass},  {"写真区分", &TPhotoRecord::Division},
      {"工種", &TPhotoRecord::WorkType},           {"種別", &TPhotoRecord::Kind},
      {"細別", &TPhotoRecord::Detail},             {"写真タイトル", &TPhotoRecord::Title},
      {"撮影箇所", &TPhotoRecord::Place},          {"撮影年月日", &TPhotoRecord::Date},
      {"代表写真", &TPhotoRecord::Representative}, {"提出頻度写真", &TPhotoRecord::Frequency},
      {"施工管理値", &TPhotoRecord::ControlValue}, {"請負者説明文", &TPhotoRecord::Explanation},
  };
  for (const auto& [name, member] : fields) AddField(units, caption, name, r.*member);
  AddFieldList(units, caption, "工種区分予備", r.ClassSpares);
  for (const TPhotoReference& ref : r.References) AddField(units, caption, "参考図ファイル名", ref.FileName);
  for (const TPhotoExtra& e : r.Extra) AddField(units, caption, e.Element.c_str(), e.Value);
}

// Collects the files while the tree is walked: what the model says of
// them, the disk not looked at (SettleDeliveryFiles does that).
class TFileList {
 public:
  // A file at `path` (inside `folder`, the medium's, ending in '/') of
  // medium `media`; "" for `path` when missing. Its index.
  // A management file (`records`) is searched in its records' fields,
  // not as an XML file.
  long Add(const std::string& path, const std::string& relPath, const std::string& folder, int media, bool exists,
           bool records = false) {
    TListedFile& l = files_.emplace_back();
    l.File.RelPath = relPath;
    l.File.Medium = media;
    l.File.Root = folder;
    l.Path = path;
    l.Exists = exists;
    l.Records = records;
    return static_cast<long>(files_.size()) - 1;
  }
  // A document of the tree: `name` in `dir` as the model gives them,
  // looked for (its case resolved, kept inside `folder`) when settled;
  // `missingRel` its place when it cannot be.
  void AddDocument(const std::string& dir, const std::string& name, const std::string& missingRel,
                   const std::string& folder, int media, bool exists) {
    const long at = Add(std::string(), missingRel, folder, media, exists);
    TListedFile& l = files_[static_cast<std::size_t>(at)];
    if (!dir.empty() && IsPlainFileName(name)) l.Dir = dir, l.Name = name;
  }
  TSearchFile& At(long i) { return files_[static_cast<std::size_t>(i)].File; }
  std::size_t Count() const { return files_.size(); }
  std::vector<TListedFile> Take() { return std::move(files_); }

 private:
  std::vector<TListedFile> files_;
};

// The medium the records were read from and its folder.
std::pair<int, std::string> RecordsMedium(TMdlTreeView& view) {
  int media = view.LoadedMedia().empty() ? 1 : view.LoadedMedia().front();
  std::string folder = view.MediumFolder(media);
  if (folder.empty() && !view.ReachableMedia().empty()) {
    media = view.ReachableMedia().front().MediaNo;
    folder = view.ReachableMedia().front().Folder;
  }
  return {media, folder};
}

// The photo management files of `reachable` (medium, folder) with their
// records' fields, and the photos.
void AddPhotos(const std::vector<std::pair<int, std::string>>& reachable, TFileList& list) {
  std::vector<TPhotoMedium> media;
  for (const auto& [number, folder] : reachable) media.push_back({number, folder});
  TPhotoStore photos;
  photos.Load(media);
  std::vector<long> xmlOf;
  for (const TPhotoFile& f : photos.Files()) {
    const std::string folder = WithTrailingSlash(f.MediumFolder);
    xmlOf.push_back(list.Add(f.XmlPath, std::string(), folder, f.MediaNo, true, true));
  }
  for (const TPhotoRecord& r : photos.Records()) {
    const auto fi = static_cast<std::size_t>(r.FileIndex);
    if (fi < xmlOf.size() && xmlOf[fi] >= 0) AddPhotoRecord(list.At(xmlOf[fi]).Units, r);
  }
  for (const TPhotoRecord& r : photos.Records()) {
    if (r.Path.empty()) continue;
    const auto fi = static_cast<std::size_t>(r.FileIndex);
    const TPhotoFile& f = photos.Files()[std::min(fi, photos.Files().size() - 1)];
    // The medium whose folder holds the photo.
    int media = f.MediaNo;
    std::string folder = WithTrailingSlash(f.MediumFolder);
    for (const auto& [number, mediumFolder] : reachable)
      if (r.Path.compare(0, mediumFolder.size(), mediumFolder) == 0) media = number, folder = mediumFolder;
    list.Add(r.Path, std::string(), folder, media, true);
  }
}

void Walk(TMdlTreeView& view, TTreeItem* item, TFileList& list, std::map<int, long>& manage, TDeliveryListing& listing) {
  if (!item) return;
  DeliveryStore& store = view.Store();
  const int level = view.NodeLevel(item);
  const int cls = view.NodeClass(item);
  // Plain names for the lambda below (a structured binding cannot be
  // captured before C++20, and some compilers still refuse it).
  const auto recordsMedium = RecordsMedium(view);
  const int recMedia = recordsMedium.first;
  const std::string& recFolder = recordsMedium.second;
  const auto manageFile = [&](int c) -> long {
    if (auto it = manage.find(c); it != manage.end()) return it->second;
    long at = -1;
    if (c >= 1 && c < kDocClassCount && DocClassTable[c].Xml[0] && c != 5) {
      const std::string folder = ResolveCase(JoinPath(recFolder, DocClassTable[c].Folder));
      const std::string path = ResolveCase(JoinPath(folder, DocClassTable[c].Xml));
      at = list.Add(path, std::string(DocClassTable[c].Folder) + "/" + DocClassTable[c].Xml, recFolder, recMedia, true, true);
    }
    manage[c] = at;
    return at;
  };
  if ((level == nlFileClass || level == nlRecordClass) && cls == 5 && listing.PhotosAt == TDeliveryListing::kNoPhotos) {
    listing.PhotosAt = list.Count();
  } else if (level == nlFileClass || level == nlRecordClass) {
    manageFile(cls);
  } else if (level == nlRecord && (cls == 2 || cls == 3 || cls == 6)) {
    const long at = manageFile(cls);
    const auto n = static_cast<std::size_t>(view.NodeNumber(item));
    if (at >= 0) {
      std::vector<TUnit>& units = list.At(at).Units;
      if (cls == 2 && n < store.Meetings.size()) AddRecord(units, item->Caption(), store.Meetings[n], TMdlTreeNodeMeet::OrgElements);
      if (cls == 3 && n < store.Plans.size()) AddRecord(units, item->Caption(), store.Plans[n], TMdlTreeNodePlan::OrgElements);
      if (cls == 6 && n < store.Others.size()) AddRecord(units, item->Caption(), store.Others[n], TMdlTreeNodeOthrs::OrgElements);
    }
  } else if (level == nlFile) {
    if (cls == 1 || cls == 4) {
      const long at = manageFile(cls);
      const auto& drawings = cls == 1 ? store.OrderDrawings : store.FinalDrawings;
      const auto n = static_cast<std::size_t>(view.NodeNumber(item));
      if (at >= 0 && n < drawings.size()) AddRecord(list.At(at).Units, item->Caption(), drawings[n]);
    }
    const TMdlTreeItemData* data = view.NodeData(item);
    const std::string folder = view.ItemMediumFolder(item);
    const int media = view.NodeMedia(item) > 0 ? view.NodeMedia(item) : recMedia;
    // Where the model looks for the file (GetFileItem(item, 1) without
    // looking): its class's folder of the medium.
    const std::string name = view.GetFileItem(item, 0);
    std::string dir;
    if (cls == 1 || cls == 4) dir = folder + DocClassTable[cls].Folder;
    if (cls == 2 || cls == 3 || cls == 6) dir = folder + DocClassTable[cls].Folder + "/Org";
    if (cls == 5 || cls == 13) dir = folder + "DRAWINGS/SPEC";
    std::string rel;
    if (cls >= 0 && cls < kDocClassCount) rel = std::string(DocClassTable[cls].Folder) + "/" + ExtractFileName(name);
    list.AddDocument(dir, name, rel, folder, media, data && data->Exists);
  }
  for (int i = 0; i < item->Count(); ++i) Walk(view, item->Item(i), list, manage, listing);
}

// ---- reading a file's contents --------------------------------------------

// The first `n` bytes of a file, opened without blocking; `regular` false
// (and nothing read) for a folder, FIFO, device or socket.
std::string HeadOf(const std::string& path, std::size_t n, bool& regular) {
  regular = false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return std::string();
  struct stat st {};
  std::string head(n, '\0');
  ssize_t got = 0;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    regular = true;
    got = ::read(fd, head.data(), n);
  }
  ::close(fd);
  head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return head;
}

bool ValidUtf8Text(std::string_view s) {
  for (std::size_t pos = 0; pos < s.size();) {
    const std::size_t at = pos;
    if (NextCodePoint(s, pos) == kReplacementChar) {
      // U+FFFD written as such is valid; an invalid byte advances by one.
      if (pos - at != 3 || s.substr(at, 3) != "\xEF\xBF\xBD") return false;
    }
  }
  return true;
}

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// The charset an XML declaration or an HTML meta names, lower case; "".
std::string DeclaredCharsetOf(std::string_view bytes) {
  const std::string head = LowerAscii(std::string(bytes.substr(0, 4096)));
  const auto valueAfter = [&](std::size_t at) {
    while (at < head.size() && (head[at] == ' ' || head[at] == '=' || head[at] == '"' || head[at] == '\''))
      ++at;
    std::size_t end = at;
    while (end < head.size() && (std::isalnum(static_cast<unsigned char>(head[end])) || std::strchr("_.:-", head[end])))
      ++end;
    return head.substr(at, end - at);
  };
  if (std::size_t at = head.find("charset"); at != std::string::npos) return valueAfter(at + 7);
  if (head.find("<?xml") != std::string::npos) {
    const std::size_t decl = head.find("<?xml");
    const std::size_t end = head.find("?>", decl);
    const std::size_t enc = head.find("encoding", decl);
    if (enc != std::string::npos && (end == std::string::npos || enc < end)) return valueAfter(enc + 8);
  }
  return std::string();
}

bool IsCp932Name(const std::string& n) {
  for (const char* c : {"shift_jis", "shift-jis", "sjis", "x-sjis", "cp932", "windows-31j", "ms932", "ms_kanji"})
    if (n == c) return true;
  return false;
}

std::vector<TUnit> LinesOf(const std::string& text) {
  std::vector<TUnit> units;
  int number = 0;
  for (std::string_view line : SplitLines(text)) {
    ++number;
    if (line.find_first_not_of(" \t\f\v") == std::string_view::npos) continue;
    units.push_back({TWhere::Line, number, std::string(), std::string(line)});
  }
  return units;
}

std::vector<TUnit> ReadTextFile(const TSearchFile& file, std::string& reason) {
  std::string bytes;
  switch (ReadRegularFile(file.Path, kMaxTextFileBytes, bytes)) {
    case TReadStatus::Ok: break;
    case TReadStatus::TooLarge: reason = "too large"; return {};
    default: reason = "unreadable"; return {};
  }
  std::string text = DecodeAsPreview(bytes);
  if (file.Content != TContent::Text) text = StripMarkup(text);
  return LinesOf(text);
}

std::vector<TUnit> ReadDrawingTexts(const TSearchFile& file, std::string& reason) {
  if (file.Size > kMaxDrawingBytes) {
    reason = "too large";
    return {};
  }
  if (sxf::SniffMode(file.Path).empty()) return {};  // not a drawing: its name is what there is
  sxf::TBudget budget;
  budget.Primitives = 1'000'000;
  budget.Points = 4'000'000;
  budget.Bytes = std::uint64_t{256} << 20;
  const sxf::TDrawing drawing = sxf::ReadDrawing(file.Path, budget);
  std::string text;
  for (const auto& [name, value] : drawing.Attributes)
    if (!value.empty()) text += name + ": " + value + "\n";
  for (const sxf::TPrimitive& p : drawing.Primitives)
    if (p.Kind == sxf::TKind::Text && !p.Text().empty()) text += p.Text() + "\n";
  if (text.empty()) {
    if (drawing.Stop.Broken) reason = "broken: " + drawing.Stop.Reason;
    return {};
  }
  return {{TWhere::Drawing, 0, std::string(), text}};
}

std::vector<TUnit> ReadPdfPages(const TSearchFile& file, const TExtractors& extractors, const std::atomic<bool>* cancel,
                                std::string& reason) {
  if (!extractors.Pdf) {
    reason = "no PDF reader";
    return {};
  }
  TPdfText pdf = extractors.Pdf(file.Path, cancel);
  reason = pdf.Reason;
  std::vector<TUnit> units;
  for (std::size_t i = 0; i < pdf.Pages.size(); ++i)
    if (!pdf.Pages[i].empty()) units.push_back({TWhere::Page, static_cast<int>(i + 1), std::string(), std::move(pdf.Pages[i])});
  return units;
}

}  // namespace

std::string DecodeAsPreview(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return std::string(bytes.substr(3));
  const std::string declared = DeclaredCharsetOf(bytes);
  if (declared == "utf-8" || declared == "utf8") return std::string(bytes);
  if (declared.empty() || IsCp932Name(declared)) {
    if (declared.empty() && ValidUtf8Text(bytes)) return std::string(bytes);
    return Cp932ToUtf8(bytes);
  }
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, void (*)(UConverter*)> conv(ucnv_open(declared.c_str(), &status), ucnv_close);
  if (U_FAILURE(status) || !conv) return Cp932ToUtf8(bytes);
  const icu::UnicodeString text(bytes.data(), static_cast<int32_t>(bytes.size()), conv.get(), status);
  if (U_FAILURE(status)) return Cp932ToUtf8(bytes);
  std::string out;
  text.toUTF8String(out);
  return out;
}

std::string StripMarkup(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  // Keeps the line breaks of what is skipped, so lines keep their numbers.
  const auto skipTo = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to && i < text.size(); ++i)
      if (text[i] == '\n') out += '\n';
  };
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == '<') {
      std::size_t end;
      if (text.compare(pos, 4, "<!--") == 0) {
        end = text.find("-->", pos + 4);
        end = end == std::string_view::npos ? text.size() : end + 3;
      } else if (text.compare(pos, 9, "<![CDATA[") == 0) {
        end = text.find("]]>", pos + 9);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end;
        out.append(text.substr(pos + 9, stop - pos - 9));
        pos = end == std::string_view::npos ? text.size() : end + 3;
        continue;
      } else {
        end = text.find('>', pos + 1);
        end = end == std::string_view::npos ? text.size() : end + 1;
        // A script's or a style's contents are no text either.
        const std::string tag = LowerAscii(std::string(text.substr(pos + 1, std::min<std::size_t>(6, end - pos))));
        for (const char* name : {"script", "style"}) {
          if (tag.compare(0, std::strlen(name), name) != 0) continue;
          const std::string close = std::string("</") + name;
          std::size_t at = end;
          while (at < text.size()) {
            at = text.find("</", at);
            if (at == std::string_view::npos) break;
            if (LowerAscii(std::string(text.substr(at, close.size()))) == close) break;
            at += 2;
          }
          if (at == std::string_view::npos) at = text.size();
          const std::size_t closeEnd = text.find('>', at);
          skipTo(pos, at);
          pos = at;
          end = closeEnd == std::string_view::npos ? text.size() : closeEnd + 1;
          break;
        }
      }
      skipTo(pos, end);
      // A tag parts words: "<td>a</td><td>b</td>" reads "a b".
      if (!out.empty() && out.back() != ' ' && out.back() != '\n') out += ' ';
      pos = end;
      continue;
    }
    if (c == '&') {
      const std::size_t semi = text.find(';', pos);
      if (semi != std::string_view::npos && semi - pos <= 10) {
        const std::string name(text.substr(pos + 1, semi - pos - 1));
        char32_t cp = 0;
        if (name == "lt") cp = '<';
        else if (name == "gt") cp = '>';
        else if (name == "amp") cp = '&';
        else if (name == "quot") cp = '"';
        else if (name == "apos") cp = '\'';
        else if (name == "nbsp") cp = ' ';
        else if (name.size() > 1 && name[0] == '#') {
          const bool hex = name[1] == 'x' || name[1] == 'X';
          const std::string digits = name.substr(hex ? 2 : 1);
          if (!digits.empty() && digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") == std::string::npos)
            cp = static_cast<char32_t>(std::stoul(digits, nullptr, hex ? 16 : 10));
          if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacementChar;
        }
        if (cp) {
          AppendUtf8(out, cp);
          pos = semi + 1;
          continue;
        }
      }
    }
    out += c;
    ++pos;
  }
  return out;
}

TContent ContentByName(const std::string& name) {
  const std::string ext = AsciiUpper(ExtractFileExt(name));
  if (ext == ".PDF") return TContent::Pdf;
  if (ext == ".TXT" || ext == ".CSV" || ext == ".LOG") return TContent::Text;
  if (ext == ".HTM" || ext == ".HTML") return TContent::Html;
  if (ext == ".XML") return TContent::Xml;
  if (ext == ".P21" || ext == ".SFC" || ext == ".P2Z" || ext == ".SFZ") return TContent::Sxf;
  return TContent::Other;
}

TDeliveryListing ListDeliveryFiles(TMdlTreeView& view) {
  TDeliveryListing listing;
  TFileList list;
  std::map<int, long> manage;
  const auto [recMedia, recFolder] = RecordsMedium(view);
  if (!recFolder.empty()) {
    const long index = list.Add(ResolveCase(JoinPath(recFolder, "INDEX_C.XML")), "INDEX_C.XML", recFolder, recMedia, true, true);
    TTreeItem* root = view.Tree().Root();
    if (index >= 0)
      AddRecord(list.At(index).Units, root ? root->Caption() : std::string(), view.Store().IndexRecords[fkIndex]);
  }
  for (int i = 0; i < view.Tree().TopCount(); ++i) Walk(view, view.Tree().TopItem(i), list, manage, listing);
  for (const auto& m : view.ReachableMedia()) listing.PhotoMedia.emplace_back(m.MediaNo, m.Folder);
  if (listing.PhotosAt == TDeliveryListing::kNoPhotos && !listing.PhotoMedia.empty()) listing.PhotosAt = list.Count();
  listing.Files = list.Take();
  return listing;
}

void ReadSizeAndTime(TSearchFile& f) { StatInto(f); }

std::vector<TSearchFile> SettleDeliveryFiles(TDeliveryListing listing, const std::atomic<bool>* cancel,
                                             bool sizesLater) {
  std::vector<TListedFile> listed = std::move(listing.Files);
  if (listing.PhotosAt <= listed.size()) {
    TFileList photos;
    AddPhotos(listing.PhotoMedia, photos);
    std::vector<TListedFile> more = photos.Take();
    listed.insert(listed.begin() + static_cast<std::ptrdiff_t>(listing.PhotosAt), std::make_move_iterator(more.begin()),
                  std::make_move_iterator(more.end()));
  }
  std::vector<TSearchFile> files;
  files.reserve(listed.size());
  std::set<std::pair<int, std::string>> seen;
  // A medium's folders listed once for all its documents.
  std::map<std::string, TCaseResolver> resolvers;
  for (TListedFile& l : listed) {
    if (cancel && *cancel) return {};
    TSearchFile& f = l.File;
    std::string path = l.Path;
    bool found = false;  // a regular file inside the medium
    if (!l.Name.empty()) {
      TCaseResolver& resolver = resolvers.try_emplace(f.Root, f.Root).first->second;
      path = resolver.FileIn(resolver.Resolve(l.Dir), l.Name);
      found = !path.empty();
      // Not there: where the model would have looked.
      if (!found) path = DeliveryFilePath(l.Dir, l.Name, f.Root);
    }
    // A document found is where it was found; another file where it was named.
    if (f.RelPath.empty() || (!l.Name.empty() && !path.empty())) f.RelPath = RelativeTo(path, f.Root);
    if (!seen.insert({f.Medium, f.RelPath}).second) continue;
    if (l.Exists && !path.empty() &&
        (found || (FileExists(path) && (f.Root.empty() || !LeadsOutside(path, f.Root)))))
      f.Path = path;
    if (!sizesLater) StatInto(f);
    f.Content = f.Path.empty() || l.Records ? TContent::None : ContentByName(f.RelPath);
    f.Units.insert(f.Units.begin(), {TWhere::Name, 0, std::string(), ExtractFileName(f.RelPath)});
    files.push_back(std::move(f));
  }
  // Media in order; within a medium the walk's order stays.
  std::stable_sort(files.begin(), files.end(),
                   [](const TSearchFile& a, const TSearchFile& b) { return a.Medium < b.Medium; });
  return files;
}

std::vector<TSearchFile> DeliveryFiles(TMdlTreeView& view) { return SettleDeliveryFiles(ListDeliveryFiles(view)); }

std::vector<TUnit> ReadContents(const TSearchFile& file, const std::string& mediumFolder, const TExtractors& extractors,
                                const std::atomic<bool>* cancel, std::string& reason) {
  reason.clear();
  if (file.Path.empty() || file.Content == TContent::None) return {};
  if (!mediumFolder.empty() && LeadsOutside(file.Path, mediumFolder)) {
    reason = "link out of the delivery";
    return {};
  }
  // What a file is by its content comes first: a PDF under another name
  // is read as a PDF.
  bool regular = false;
  const std::string head = HeadOf(file.Path, 5, regular);
  if (!regular) {
    reason = "not a regular file";
    return {};
  }
  if (head == "%PDF-") return ReadPdfPages(file, extractors, cancel, reason);
  switch (file.Content) {
    case TContent::Pdf: reason = "not a PDF"; return {};
    case TContent::Sxf: return ReadDrawingTexts(file, reason);
    case TContent::Text:
    case TContent::Html:
    case TContent::Xml: return ReadTextFile(file, reason);
    case TContent::None:
    case TContent::Other: break;
  }
  return {};
}

}  // namespace dlvr::search
