#include "photo/photo_check.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "platform/paths.h"
#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr {
namespace {

// The 状態 texts, shown in the user's language (context "PhotoCheck").
const char* const kEmpty = DLVR_TR_NOOP("PhotoCheck", "情報未記入");
const char* const kBadName = DLVR_TR_NOOP("PhotoCheck", "ファイル名が不正");
const char* const kMissing = DLVR_TR_NOOP("PhotoCheck", "ファイルなし");
const char* const kNotListed = DLVR_TR_NOOP("PhotoCheck", "管理ファイルに記載なし");
const char* const kBadDate = DLVR_TR_NOOP("PhotoCheck", "日付が不正");
// A warning: a photo may be taken before the work starts (着手前).
const char* const kOutsidePeriod = DLVR_TR_NOOP("PhotoCheck", "工期外の日付（着手前の撮影もあるため警告）");
const char* const kNotZeroOrOne = DLVR_TR_NOOP("PhotoCheck", "0 か 1 ではない値");
// The 項目名 of a finding about the management file itself.
const char* const kManagementFile = DLVR_TR_NOOP("PhotoCheck", "管理ファイル");

// The items of the photo management file the findings name, shown in the
// user's language under the guideline's item names (context "FieldNames").
const char* const kSerial = DLVR_TR_NOOP("FieldNames", "シリアル番号");
const char* const kPhotoFile = DLVR_TR_NOOP("FieldNames", "写真ファイル名");
const char* const kMediaNo = DLVR_TR_NOOP("FieldNames", "メディア番号");
const char* const kMajorClass = DLVR_TR_NOOP("FieldNames", "写真-大分類");
const char* const kTitle = DLVR_TR_NOOP("FieldNames", "写真タイトル");
const char* const kDate = DLVR_TR_NOOP("FieldNames", "撮影年月日");
const char* const kRepresentative = DLVR_TR_NOOP("FieldNames", "代表写真");
const char* const kFrequency = DLVR_TR_NOOP("FieldNames", "提出頻度写真");
const char* const kRefFile = DLVR_TR_NOOP("FieldNames", "参考図ファイル名");
const char* const kRefTitle = DLVR_TR_NOOP("FieldNames", "参考図タイトル");

// Well-known image editors, as they name themselves in EXIF Software
// (matched anywhere in the text, without regard to ASCII case).
constexpr std::string_view kEditors[] = {
    "photoshop", "lightroom", "gimp", "paint.net", "paintshop", "paint shop pro", "affinity photo",
    "pixelmator", "photoscape", "picasa", "acdsee", "snapseed", "darktable", "rawtherapee", "luminar",
    "photodirector", "photo-paint", "jtrim", "fotor", "capture one", "photo editor", "photoworks",
};

std::string FoundEditor(const std::string& software) {
  const std::string lower = AsciiLower(software);
  for (std::string_view e : kEditors)
    if (lower.find(e) != std::string::npos) return software;
  return std::string();
}

// Blank: nothing but spaces, tabs, line breaks and ideographic spaces.
bool Blank(std::string_view s) {
  for (std::size_t pos = 0; pos < s.size();) {
    const char32_t c = NextCodePoint(s, pos);
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != 0x3000) return false;
  }
  return true;
}

bool Digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int Number(std::string_view s) {
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

// A CCYY-MM-DD date of the calendar.
bool ValidDate(std::string_view s) {
  if (s.size() != 10 || s[4] != '-' || s[7] != '-' || !Digits(s.substr(0, 4)) || !Digits(s.substr(5, 2)) ||
      !Digits(s.substr(8, 2)))
    return false;
  const int y = Number(s.substr(0, 4)), m = Number(s.substr(5, 2)), d = Number(s.substr(8, 2));
  if (m < 1 || m > 12 || d < 1) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

// A side of the construction period as a CCYY-MM-DD date: written so, or
// with '/' between its parts ("2024/03/15"), the date the writer meant;
// "" for anything else (that side stays open).
std::string PeriodDate(std::string s) {
  if (s.size() == 10 && s[4] == '/' && s[7] == '/') s[4] = s[7] = '-';
  return ValidDate(s) ? s : std::string();
}

// The date of an EXIF date-time ("2024:05:10 09:30:00" -> "2024-05-10"),
// "" when it holds none.
std::string ExifDate(const std::string& dateTime) {
  if (dateTime.size() < 10) return std::string();
  std::string d = dateTime.substr(0, 10);
  if (d[4] != ':' || d[7] != ':') return std::string();
  d[4] = d[7] = '-';
  return ValidDate(d) ? d : std::string();
}

// The version of a file's format: 1 for the first ("1.00", "01"), 5 for
// "05"; 0 when not given (then the rules of the newest apply).
int VersionOf(const TPhotoFile& file) { return static_cast<int>(std::max(0L, LeadingNumber(file.DtdVersion))); }
bool From(int version, int since) { return version == 0 || version >= since; }

bool UpperName(std::string_view body) {
  return !body.empty() && std::all_of(body.begin(), body.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
}

// A file name by the rule: `lead` + 7 digits, or in the first version up
// to 80 characters in all of upper-case letters, digits and '_'; with one of
// the extensions.
bool NameByRule(const std::string& name, char lead, int version, std::initializer_list<std::string_view> exts) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  const std::string_view body = std::string_view(name).substr(0, dot), ext = std::string_view(name).substr(dot);
  if (std::find(exts.begin(), exts.end(), ext) == exts.end()) return false;
  if (version == 1) return name.size() <= 80 && UpperName(body);
  return body.size() == 8 && body[0] == lead && Digits(body.substr(1));
}

// The 状態 of a file of another format than allowed: `plain` when its format
// is unknown, else `named` with the format found (both marked "PhotoCheck").
std::string OtherFormat(const char* plain, const char* named, const std::string& format) {
  return format.empty() ? Tr("PhotoCheck", plain) : Arg(Tr("PhotoCheck", named), {AsciiUpper(format)});
}

// The facts of every file, read on the machine's cores.
std::unordered_map<std::string, TImageFacts> ReadAllFacts(const std::vector<std::string>& paths) {
  std::vector<TImageFacts> facts(paths.size());
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < paths.size();) facts[i] = ReadImageFacts(paths[i]);
  };
  const unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), 8u));
  const std::size_t threads = std::min<std::size_t>(cores, (paths.size() + 31) / 32);
  std::vector<std::thread> pool;
  for (std::size_t t = 1; t < threads; ++t) {
    try {
      pool.emplace_back(work);
    } catch (...) {
      break;  // no thread to be had: this one does the rest
    }
  }
  work();
  for (std::thread& t : pool) t.join();
  std::unordered_map<std::string, TImageFacts> byPath;
  byPath.reserve(paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) byPath.emplace(paths[i], std::move(facts[i]));
  return byPath;
}

class TChecker {
 public:
  TChecker(const TPhotoStore& store, const TPhotoCheckPeriod& period)
      : store_(store), start_(PeriodDate(period.Start)), end_(PeriodDate(period.End)) {
    // A period that ends before it starts judges no date (the delivery
    // check names it once, on INDEX_C.XML).
    if (!start_.empty() && !end_.empty() && end_ < start_) start_.clear(), end_.clear();
  }

  std::vector<TPhotoFinding> Run() {
    std::vector<std::string> paths;
    for (const TPhotoRecord& r : store_.Records()) {
      if (!r.Path.empty()) paths.push_back(r.Path);
      for (const TPhotoReference& ref : r.References)
        if (!ref.Path.empty()) paths.push_back(ref.Path);
    }
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    facts_ = ReadAllFacts(paths);
    listed_.insert(paths.begin(), paths.end());
    // The records naming each photo file: the file where it lies, else its
    // name on the medium the record names.
    for (std::size_t i = 0; i < store_.Records().size(); ++i) {
      const TPhotoRecord& r = store_.Records()[i];
      if (!Blank(r.FileName)) sharing_[FileKey(r)].push_back(static_cast<int>(i));
    }

    for (std::size_t f = 0; f < store_.Files().size(); ++f) {
      const TPhotoFile& file = store_.Files()[f];
      const int version = VersionOf(file);
      for (std::size_t i = file.FirstRecord; i < file.FirstRecord + file.RecordCount; ++i)
        Record(static_cast<int>(i), version);
      if (file.Broken) {
        const std::string state =
            file.BrokenLine > 0
                ? Arg(Tr("PhotoCheck", "%1行目: %2"), {std::to_string(file.BrokenLine), file.BrokenReason})
                : file.BrokenReason;
        findings_.push_back(
            {ExtractFileName(file.XmlPath), Tr("PhotoCheck", kManagementFile), state, -1, file.XmlPath});
      }
    }
    Strays();
    return std::move(findings_);
  }

 private:
  // A finding about `field` (an item marked "FieldNames"); `state` as shown.
  void Add(const std::string& name, const char* field, const std::string& state, int record, const std::string& path,
           bool warning = false) {
    findings_.push_back({name, Tr("FieldNames", field), state, record, path, warning});
  }

  static std::string FileKey(const TPhotoRecord& r) {
    return r.Exists ? r.Path : AsciiUpper(r.FileName) + '\n' + r.MediaNo;
  }

  // The name a file is stored under when it differs from the listed one
  // (only in case: it was found), else "".
  static std::string OtherCase(const std::string& listed, const std::string& path) {
    const std::string stored = ExtractFileName(path);
    return path.empty() || stored == listed ? std::string() : stored;
  }

  const TImageFacts& FactsOf(const std::string& path) { return facts_[path]; }

  void Record(int index, int version) {
    const TPhotoRecord& r = store_.Records()[static_cast<std::size_t>(index)];
    auto add = [&](const char* field, const std::string& state, bool warning = false) {
      Add(r.FileName, field, state, index, r.Path, warning);
    };
    const std::pair<const char*, const std::string*> required[] = {
        {kSerial, &r.Serial},
        {kPhotoFile, &r.FileName},
        {From(version, 2) ? kMediaNo : nullptr, &r.MediaNo},
        {From(version, 2) ? kMajorClass : nullptr, &r.MajorClass},
        {From(version, 2) ? kTitle : nullptr, &r.Title},
        {From(version, 4) ? kDate : nullptr, &r.Date},
        {From(version, 5) ? kRepresentative : nullptr, &r.Representative},
        {From(version, 5) ? kFrequency : nullptr, &r.Frequency},
    };
    for (const auto& [field, value] : required)
      if (field && Blank(*value)) add(field, Tr("PhotoCheck", kEmpty));
    // On a medium that is not loaded its files may well be there.
    const long medium = WholeNumber(r.MediaNo);
    const auto& media = store_.Media();
    // (A medium whose own number is unreadable may be any of them.)
    const bool loaded = medium <= 0 || std::any_of(media.begin(), media.end(), [&](const TPhotoMediumFolders& m) {
                          return m.MediaNo == medium || m.MediaNo <= 0;
                        });
    const std::string notLoaded =
        loaded ? std::string() : Arg(Tr("PhotoCheck", "%1枚目のメディアが読み込まれていません"), {std::to_string(medium)});

    if (!Blank(r.FileName)) {
      if (!NameByRule(r.FileName, 'P', version, {".JPG"})) add(kPhotoFile, Tr("PhotoCheck", kBadName));
      if (!r.Exists) {
        add(kPhotoFile, loaded ? Tr("PhotoCheck", kMissing) : notLoaded, !loaded);
      } else {
        // On another loaded medium than the one its record names.
        const auto holds = [&](const TPhotoMediumFolders& m) { return r.Path.rfind(m.Folder, 0) == 0; };
        const bool named = medium > 0 && std::any_of(media.begin(), media.end(), [&](const TPhotoMediumFolders& m) {
                             return m.MediaNo == medium;
                           });
        if (named && std::none_of(media.begin(), media.end(), [&](const TPhotoMediumFolders& m) {
              return m.MediaNo == medium && holds(m);
            })) {
          const auto holder = std::find_if(media.begin(), media.end(), holds);
          add(kPhotoFile, Arg(Tr("PhotoCheck", "%1枚目のメディアになく、%2枚目にあります"),
                              {std::to_string(medium), holder == media.end() ? "?" : std::to_string(holder->MediaNo)}));
        }
        if (const std::string stored = OtherCase(r.FileName, r.Path); !stored.empty())
          add(kPhotoFile, Arg(Tr("PhotoCheck", "大文字・小文字の違う名前（%1）で保存"), {stored}));
        const TImageFacts& facts = FactsOf(r.Path);
        if (facts.Format != "jpeg") {
          add(kPhotoFile, OtherFormat(DLVR_TR_NOOP("PhotoCheck", "JPEG以外"), DLVR_TR_NOOP("PhotoCheck", "JPEG以外（%1）"),
                                      facts.Format));
        } else {
          const long pixels = static_cast<long>(facts.Width) * facts.Height;
          if (pixels > 0 && (pixels < kPhotoMinPixels || pixels > kPhotoMaxPixels))
            add(kPhotoFile,
                Arg(Tr("PhotoCheck", "画素数が範囲外（%1×%2）"), {std::to_string(facts.Width), std::to_string(facts.Height)}),
                true);
          const std::string editor = FoundEditor(facts.Software);
          if (!editor.empty()) add(kPhotoFile, Arg(Tr("PhotoCheck", "編集ソフトの記録あり（%1）"), {editor}));
        }
      }
      // A file named by more records: one finding, on the first of them.
      const std::vector<int>& sharing = sharing_[FileKey(r)];
      if (sharing.size() > 1 && sharing.front() == index) {
        std::string serials;
        for (int i : sharing) {
          const std::string& serial = store_.Records()[static_cast<std::size_t>(i)].Serial;
          serials += (serials.empty() ? "" : "、") + (Blank(serial) ? "?" : serial);
        }
        add(kPhotoFile, Arg(Tr("PhotoCheck", "%1件の記録（シリアル番号 %2）が同じファイルを指しています"),
                            {std::to_string(sharing.size()), serials}));
      }
    }

    if (!Blank(r.Date)) {
      if (!ValidDate(r.Date)) {
        add(kDate, Tr("PhotoCheck", kBadDate));
      } else {
        if ((!start_.empty() && r.Date < start_) || (!end_.empty() && r.Date > end_))
          add(kDate, Tr("PhotoCheck", kOutsidePeriod), true);
        if (r.Exists) {
          const TImageFacts& facts = FactsOf(r.Path);
          const std::string exif = facts.Format == "jpeg" ? ExifDate(facts.DateTimeOriginal) : std::string();
          if (!exif.empty() && exif != r.Date) add(kDate, Arg(Tr("PhotoCheck", "Exif撮影日（%1）と不一致"), {exif}));
        }
      }
    }
    if (From(version, 5))
      for (const auto& [field, value] : {std::pair{kRepresentative, &r.Representative}, std::pair{kFrequency, &r.Frequency}})
        if (!Blank(*value) && *value != "0" && *value != "1") add(field, Tr("PhotoCheck", kNotZeroOrOne));

    for (const TPhotoReference& ref : r.References) {
      auto addRef = [&](const char* field, const std::string& state, bool warning = false) {
        Add(Blank(ref.FileName) ? r.FileName : ref.FileName, field, state, index, ref.Path, warning);
      };
      if (Blank(ref.FileName)) {
        addRef(kRefFile, Tr("PhotoCheck", kEmpty));
      } else {
        if (!NameByRule(ref.FileName, 'D', version, {".JPG", ".TIF"})) addRef(kRefFile, Tr("PhotoCheck", kBadName));
        if (ref.Path.empty()) {
          addRef(kRefFile, loaded ? Tr("PhotoCheck", kMissing) : notLoaded, !loaded);
        } else {
          if (const std::string stored = OtherCase(ref.FileName, ref.Path); !stored.empty())
            addRef(kRefFile, Arg(Tr("PhotoCheck", "大文字・小文字の違う名前（%1）で保存"), {stored}));
          const std::string& format = FactsOf(ref.Path).Format;
          if (format != "jpeg" && format != "tiff")
            addRef(kRefFile, OtherFormat(DLVR_TR_NOOP("PhotoCheck", "JPEG・TIFF以外"),
                                         DLVR_TR_NOOP("PhotoCheck", "JPEG・TIFF以外（%1）"), format));
        }
      }
      if (From(version, 5) && Blank(ref.Title)) addRef(kRefTitle, Tr("PhotoCheck", kEmpty));
    }
  }

  // Files of the photo and drawing folders that no record names. The PHOTO
  // folder's own companions (the management file, its DTD and stylesheet)
  // are no photos when that folder is named as the photo folder.
  void Strays() {
    std::unordered_set<std::string> folders;
    for (const TPhotoMediumFolders& m : store_.Media()) {
      const int version = m.FileIndex >= 0 ? VersionOf(store_.Files()[static_cast<std::size_t>(m.FileIndex)]) : 0;
      const std::string photoDir = WithTrailingSlash(ResolveCase(m.Folder + "PHOTO"));
      for (auto [dir, field] : {std::pair{&m.PhotoFolder, kPhotoFile}, std::pair{&m.DrawingFolder, kRefFile}}) {
        if (dir->empty() || !folders.insert(*dir).second) continue;
        for (const std::string& name : ListFiles(*dir)) {
          const std::string path = JoinPath(*dir, name);
          if (listed_.count(path)) continue;
          const std::string ext = AsciiUpper(ExtractFileExt(name));
          if (*dir == photoDir && (EqualsNoCase(name, "PHOTO.XML") || ext == ".DTD" || ext == ".XSL")) continue;
          Add(name, field, Tr("PhotoCheck", kNotListed), -1, path);
          const bool byRule = field == kPhotoFile ? NameByRule(name, 'P', version, {".JPG"})
                                                  : NameByRule(name, 'D', version, {".JPG", ".TIF"});
          if (!byRule) Add(name, field, Tr("PhotoCheck", kBadName), -1, path);
        }
      }
    }
  }

  const TPhotoStore& store_;
  std::string start_, end_;
  std::unordered_map<std::string, TImageFacts> facts_;
  std::unordered_set<std::string> listed_;
  std::unordered_map<std::string, std::vector<int>> sharing_;  // FileKey -> records, in store order
  std::vector<TPhotoFinding> findings_;
};

}  // namespace

std::vector<TPhotoFinding> CheckPhotos(const TPhotoStore& store, const TPhotoCheckPeriod& period) {
  return TChecker(store, period).Run();
}

}  // namespace dlvr
