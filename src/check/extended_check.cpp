// The full delivery check put together: the data check's rows, the media
// and their count, the edition, the walk of each medium judged by the
// naming rules, the characters and grammar of the management files (a
// worker judging the grammar meanwhile), files named but not found, the
// photos, drawing names, the records' dates; and the findings sorted.
#include "check/extended_check.h"

#include <algorithm>
#include <atomic>
#include <future>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "check/data_check.h"
#include "check/extended_check_internal.h"
#include "platform/fileio.h"
#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr::extended_check_detail {
namespace {

// The management files of a medium, relative to its folder.
constexpr const char* kManagementFiles[] = {"INDEX_C.XML",           "DRAWINGS/DRAWINGS.XML", "MEET/MEET.XML",
                                            "PLAN/PLAN.XML",         "DRAWINGF/DRAWINGF.XML", "PHOTO/PHOTO.XML",
                                            "OTHRS/OTHRS.XML"};

// Folders of a medium written on a CD-R of the guideline's first edition:
// at most 8 levels, paths of at most 255 characters.
constexpr int kMaxDepth = 8;
constexpr std::size_t kMaxPathLength = 255;

// The media holding one path: the first, and any others in turn.
struct TMediaNos {
  bool Any = false;
  int First = 0;
  std::vector<int> Others;
  void Add(int no) {
    if (!Any)
      First = no, Any = true;
    else
      Others.push_back(no);
  }
  std::vector<int> All() const {
    std::vector<int> all{First};
    all.insert(all.end(), Others.begin(), Others.end());
    return all;
  }
};

}  // namespace

// The separator of the items of a list in a message, in the user's language.
std::string ListSeparator() {
  //: Between the items of a list in a message: media numbers, the faults of a name.
  return Tr("ExtendedCheck", "、");
}

// Media numbers as a list ("1、2").
std::string NumberList(const std::vector<int>& numbers) {
  const std::string separator = ListSeparator();
  std::string list;
  for (int no : numbers) list += (list.empty() ? "" : separator) + std::to_string(no);
  return list;
}

namespace {

// The check. `takenRows`, when given, are the data check's rows in place
// of the input's, each let go once it has become a finding.
TCompactFindings CheckDelivery(const TExtendedInput& input, TCheckErrorList* takenRows) {
  TCompactFindings out;
  const std::size_t steps = input.Media.size() * 2 + 1;
  std::size_t done = 0;
  // False once the caller has asked the check to stop.
  auto goOn = [&]() { return !input.Progress || input.Progress(done, steps); };
  // Parsing and validating the management files takes about as long as the
  // walk of every file: a worker does it meanwhile, its findings joined
  // when the management files' step comes. The characters of each file are
  // scanned by whichever thread comes to it first: the worker once it has
  // judged the grammar of all, the check once it has walked every medium.
  // A check stopped before that step reports none of them, whatever the
  // worker had found by then.
  std::atomic<bool> stop{false};
  struct TCharactersOfFile {
    bool Read = false;
    std::vector<TCharacterFinding> Found;
    std::size_t More = 0;
  };
  const std::size_t managementFiles = input.Media.size() * std::size(kManagementFiles);
  const std::unique_ptr<std::atomic<bool>[]> scanTaken(new std::atomic<bool>[managementFiles]);
  for (std::size_t i = 0; i < managementFiles; ++i) scanTaken[i] = false;
  auto scanCharacters = [&input](std::size_t i, TCharactersOfFile& c) {
    const TCheckedMedium& m = input.Media[i / std::size(kManagementFiles)];
    c.Read = ScanFileCharacters(m.Folder + kManagementFiles[i % std::size(kManagementFiles)], 200, c.Found, c.More);
  };
  struct TManagementFilesJudged {
    std::vector<TFinding> Grammar;
    std::vector<TCharactersOfFile> Characters;  // each medium's management files in turn
  };
  auto managementFilesOfAll = [&input, &stop, &scanTaken, &scanCharacters, managementFiles] {
    TManagementFilesJudged judged;
    judged.Characters.resize(managementFiles);
    for (const TCheckedMedium& m : input.Media)
      for (const char* file : kManagementFiles) {
        if (stop) return judged;
        bool failed = false;
        const std::vector<TGrammarFinding> grammar = GrammarOfFile(m.Folder, file, 100, failed);
        if (failed) continue;
        for (const TGrammarFinding& g : grammar)
          judged.Grammar.push_back({TSeverity::Error, std::to_string(m.MediaNo), file, Tr("ExtendedCheck", kGrammar),
                                    g.Line > 0 ? Arg(Tr("ExtendedCheck", "%1 行: %2"), {std::to_string(g.Line), g.Found})
                                               : g.Found});
      }
    for (std::size_t i = 0; i < managementFiles && !stop; ++i)
      if (!scanTaken[i].exchange(true)) scanCharacters(i, judged.Characters[i]);
    return judged;
  };
  std::future<TManagementFilesJudged> worker;
  try {
    worker = std::async(std::launch::async, managementFilesOfAll);
  } catch (...) {  // no thread to be had: done when joined
    worker = std::async(std::launch::deferred, managementFilesOfAll);
  }
  std::optional<TManagementFilesJudged> judged;
  bool managementStep = false, grammarJoined = false;
  // The worker's findings, once it has ended; its grammar findings added
  // in the management files' step (once).
  auto joinWorker = [&]() {
    if (worker.valid()) judged = worker.get();
  };
  auto joinGrammar = [&]() {
    joinWorker();
    if (!managementStep || grammarJoined || !judged) return;
    grammarJoined = true;
    for (const TFinding& f : judged->Grammar) out.Add(f);
  };
  auto finish = [&]() {
    stop = true;
    joinGrammar();
    out.Sort();
    return std::move(out);
  };
  // The findings, each rule put in the user's language once.
  TFindingSink sink(out);
  auto add = [&](TSeverity s, std::string_view medium, std::string_view path, const char* rule,
                 std::string_view found) { sink.Add(s, medium, path, rule, found); };
  const DeliveryStore* store = input.Store;
  const TMdlTreeNodeIndex* index = store && !store->IndexRecords.empty() ? &store->IndexRecords[0] : nullptr;

  // The medium the management files were read from: what they say
  // concerns it.
  const std::string firstMedium = input.Media.empty() ? std::string() : std::to_string(input.Media.front().MediaNo);

  // Class folders whose management file could not be read (or was written
  // in another code than it declares): that is said once, and the files of
  // the folder are not each reported as named nowhere.
  std::set<std::string> unreadFolders;
  std::set<std::string> judgedFields;  // file + '\n' + field name: the data check found fault with it
  // The data check's findings, in its own words, on the management file of
  // their section.
  JudgeDataCheckRows(input, takenRows, firstMedium, sink, unreadFolders, judgedFields);

  for (const TCheckedMedium& m : input.Media)
    for (const char* file : kManagementFiles)
      if (std::string_view(file).find('/') != std::string_view::npos &&
          FileInUtf8(m.Folder + file, [](std::string_view head) {
            return AsciiUpper(DeclarationValue(head, "encoding")) == "SHIFT_JIS";
          }))
        unreadFolders.insert(FolderOf(file));

  // The files the management files name, relative to a medium (as named
  // and upper-cased), and the paths walked: kept in `paths`.
  TCheckTextArena paths;
  TCheckPathIndex listed, listedUpper;
  if (store) {
    std::size_t names = store->OrderDrawings.size() + store->FinalDrawings.size() + input.PhotoFiles.size();
    auto count = [&names](const auto& records) {
      for (const auto& r : records) names += r.Orgs.size();
    };
    count(store->Meetings);
    count(store->Plans);
    count(store->Others);
    listed.Reserve(names);
  }
  std::string named;  // (a name being made)
  auto list = [&](std::string_view folder, std::string_view file) {
    named.assign(folder).append(file);
    if (listed.Has(named)) return;
    listed.Insert(paths.Keep(named));
  };
  if (store) {
    for (const auto& d : store->OrderDrawings)
      if (!d.DrawFile.empty()) list("DRAWINGS/", d.DrawFile);
    for (const auto& d : store->FinalDrawings)
      if (!d.DrawFile.empty()) list("DRAWINGF/", d.DrawFile);
    auto originals = [&](const auto& records, std::string_view folder) {
      for (const auto& r : records)
        for (const TMdlTreeNodeOrg& o : r.Orgs)
          if (!o.OrgFile.empty()) list(folder, o.OrgFile);
    };
    originals(store->Meetings, "MEET/ORG/");
    originals(store->Plans, "PLAN/ORG/");
    originals(store->Others, "OTHRS/ORG/");
  }
  for (const std::string& p : input.PhotoFiles) list(std::string_view(), p);
  // A name that differs only in case is found on a CD (its names have no
  // case), but it is a mistake of its own.
  std::vector<std::string_view> listedAsUpper;  // of each named path
  listedUpper.Reserve(listed.Size());
  listedAsUpper.reserve(listed.Size());
  for (std::uint32_t i = 0; i < listed.Size(); ++i) {
    listedAsUpper.push_back(paths.KeepUpper(listed[i]));
    listedUpper.Insert(listedAsUpper.back());
  }

  // The media: numbers given twice, and the count the delivery declares.
  std::map<int, int> seen;
  for (const TCheckedMedium& m : input.Media) ++seen[m.MediaNo];
  for (const auto& [no, times] : seen)
    if (times > 1)
      add(TSeverity::Error, std::to_string(no), "INDEX_C.XML", kMediaNo,
          Arg(Tr("ExtendedCheck", "メディア番号 %1 の媒体が %2 枚あります"), {std::to_string(no), std::to_string(times)}));
  const long declared = index ? WholeNumber(index->MediaCount) : 0;
  const bool allLoaded = declared <= 0 || static_cast<long>(seen.size()) >= declared;
  // As many media given as declared, one of them twice: that one error,
  // not also a medium short.
  const bool twice = std::any_of(seen.begin(), seen.end(), [](const auto& s) { return s.second > 1; });
  if (declared > 0 && static_cast<long>(seen.size()) != declared &&
      !(twice && static_cast<long>(input.Media.size()) == declared))
    add(static_cast<long>(seen.size()) > declared ? TSeverity::Error : TSeverity::Warning, firstMedium, "INDEX_C.XML",
        kMediaCount,
        Arg(Tr("ExtendedCheck", "メディア総枚数は %1 ですが、読み込んだ媒体は %2 枚です"),
            {std::to_string(declared), std::to_string(seen.size())}));

  // The edition the delivery follows, by its first medium's INDEX_C.XML.
  const TEdition edition = JudgeEdition(input, sink);
  // From the March 2016 edition original files may have 4-character extensions.
  const std::size_t longestExtension = edition.YearMonth >= 201603 ? 4 : 3;
  // From 2017 a drawing's name may carry a user part after its eight characters.
  const bool cadUserPart = edition.YearMonth >= 201703;

  // Each medium's files and folders. The walks are kept, and the paths
  // upper-cased: the sets below hold views of them.
  TCheckPathIndex present;       // relative paths on any medium
  TCheckPathIndex presentUpper;  // upper-cased
  std::vector<std::pair<std::string_view, int>> foundAs;  // of each upper-cased path: as found first, its medium
  TCheckPathIndex wherePath;     // upper-cased paths (not all of them) ...
  std::vector<TMediaNos> whereMedia;  // ... and the media holding each
  std::set<std::string> caseFolders;  // standard folders named in the wrong case (as found)
  // The texts of the findings a walk may make for every file.
  const std::string linkText = Tr("ExtendedCheck", "リンクは納品できません（たどりません）");
  const std::string systemText = Tr("ExtendedCheck", "納品に不要なファイルです");
  const std::string emptyText = Tr("ExtendedCheck", "0 バイトのファイルです");
  const std::string unlistedText = Tr("ExtendedCheck", "管理ファイルに記載のないファイルです");
  const std::string namePattern = Tr("ExtendedCheck", "半角英大文字・数字・_ で 8 文字以内、拡張子 %1 文字以内にします");
  const std::string nameTexts[2] = {Arg(namePattern, {std::to_string(3)}),
                                    Arg(namePattern, {std::to_string(longestExtension)})};
  for (const TCheckedMedium& m : input.Media) {
    const std::string medium = std::to_string(m.MediaNo);
    std::set<std::string> unexpected;  // folders whose contents are not judged again
    std::size_t walked = 0;
    const std::vector<TEntry> walk = Walk(m.Folder, paths);
    present.Reserve(present.Size() + walk.size());
    presentUpper.Reserve(presentUpper.Size() + walk.size());
    foundAs.reserve(presentUpper.Size() + walk.size());
    wherePath.Reserve(wherePath.Size() + walk.size());
    whereMedia.reserve(wherePath.Size() + walk.size());
    for (const TEntry& e : walk) {
      if (++walked % 512 == 0 && !goOn()) return finish();
      const std::string_view folder = EntryFolderView(e.Path), name = EntryNameView(e.Path);
      // What a medium can hold at all is judged everywhere; the rest not
      // again inside a folder the guideline does not know.
      if (e.Link) {
        add(TSeverity::Error, medium, e.Path, kLink, linkText);
        continue;
      }
      if (e.Path.size() > kMaxPathLength)
        add(TSeverity::Error, medium, e.Path, kPathLength,
            Arg(Tr("ExtendedCheck", "%1 文字（%2 文字まで）"),
                {std::to_string(e.Path.size()), std::to_string(kMaxPathLength)}));
      if (e.Folder && e.Depth + 1 > kMaxDepth)
        add(TSeverity::Error, medium, e.Path, kDepth,
            Arg(Tr("ExtendedCheck", "%1 階層目のフォルダ（%2 階層まで）"),
                {std::to_string(e.Depth + 1), std::to_string(kMaxDepth)}));
      if (std::any_of(unexpected.begin(), unexpected.end(), [&](const std::string& u) { return InFolder(e.Path, u); }))
        continue;
      if (e.Folder) {
        if (!IsStandardFolder(e.Path)) {
          if (IsStandardFolder(AsciiUpper(e.Path))) {
            // Its files are still the standard folder's (a CD has no case).
            add(TSeverity::Error, medium, e.Path, kFolderName, Tr("ExtendedCheck", "フォルダ名は半角英大文字で付けます"));
            caseFolders.insert(std::string(e.Path));
          } else {
            // Folders of later editions (台帳, 地質, i-Construction, BIM/CIM)
            // are expected there; their contents are not judged here.
            const std::string top = AsciiUpper(e.Path.substr(0, e.Path.find('/')));
            const bool laterFolder = edition.Later() && (top == "REGISTER" || top == "BORING" || top == "ICON" ||
                                                          top == "BIMCIM" || top == "DRAWINGS" || top == "OTHRS");
            if (!laterFolder)
              add(TSeverity::Warning, medium, e.Path, kUnexpectedFolder, Tr("ExtendedCheck", "要領に定めのないフォルダです"));
            unexpected.insert(std::string(e.Path));
          }
        }
        continue;
      }
      const std::string_view upperPath = paths.KeepUpper(e.Path);
      const std::string_view upperFolder = EntryFolderView(upperPath);
      present.Insert(e.Path);
      bool firstFound = false;
      presentUpper.Insert(upperPath, &firstFound);
      if (firstFound) foundAs.emplace_back(e.Path, m.MediaNo);
      if (IsSystemFile(name)) {
        add(TSeverity::Warning, medium, e.Path, kSystemFile, systemText);
        continue;
      }
      if (e.Size == 0) add(TSeverity::Error, medium, e.Path, kEmptyFile, emptyText);
      // (A path named as found is named upper-cased too.)
      const bool named = listedUpper.Has(upperPath);
      // Photos and their reference drawings are the photo rules' (their
      // names, their listing, their case, their images): one finding each,
      // there.
      const bool photoFolder = upperFolder == "PHOTO/PIC" || upperFolder == "PHOTO/DRA";
      if (named && e.Size > 0 && input.CheckDocument && !photoFolder)
        for (auto& [severity, found] : input.CheckDocument(std::string(m.Folder).append(e.Path)))
          add(severity, medium, e.Path, kDocument, std::move(found));
      const bool original = EndsWithI(folder, "/ORG") || upperFolder == "DRAWINGS/SPEC";
      // A drawing with a user part after its eight characters (2017 on) is
      // judged by the CAD naming rule below.
      const bool drawingUserPart = cadUserPart && (upperFolder == "DRAWINGS" || upperFolder == "DRAWINGF") &&
                                   name.size() > 9 && name[8] == '-';
      const bool nameKept = drawingUserPart || NameFollowsRule(name, false, original ? longestExtension : 3);
      if (!nameKept && !photoFolder)
        add(TSeverity::Error, medium, e.Path, kFileName, nameTexts[original ? 1 : 0]);
      const bool companion = IsCompanion(upperFolder, name);
      // Each medium carries the reference drawings its photos refer to.
      if (!companion && upperFolder != "PHOTO/DRA") {
        bool added = false;
        const std::uint32_t id = wherePath.Insert(upperPath, &added);
        if (added) whereMedia.emplace_back();
        whereMedia[id].Add(m.MediaNo);
      }
      const bool unread = std::any_of(unreadFolders.begin(), unreadFolders.end(),
                                      [&](const std::string& f) { return InFolder(upperPath, f); });
      if (!companion && !named && !unread && !photoFolder && upperFolder != "DRAWINGS/SPEC")
        add(TSeverity::Warning, medium, e.Path, kUnlisted, unlistedText);
    }
    ++done;
    if (!goOn()) return finish();
  }
  // The characters of each medium's management files, and then the grammar
  // the worker has judged meanwhile.
  managementStep = true;
  std::vector<TCharactersOfFile> ownScans(managementFiles);
  std::vector<bool> scannedHere(managementFiles, false);
  for (std::size_t i = 0; i < managementFiles; ++i)
    if (!scanTaken[i].exchange(true)) {
      scanCharacters(i, ownScans[i]);
      scannedHere[i] = true;
    }
  joinWorker();
  std::size_t fileNo = 0;
  for (const TCheckedMedium& m : input.Media) {
    for (const char* file : kManagementFiles) {
      const std::size_t i = fileNo++;
      const TCharactersOfFile* scanned =
          scannedHere[i] ? &ownScans[i] : judged && i < judged->Characters.size() ? &judged->Characters[i] : nullptr;
      // Written in UTF-8 under a Shift_JIS declaration: the grammar says so
      // once; its characters read as Shift-JIS would be noise.
      if (unreadFolders.count(FolderOf(file)) && FileInUtf8(m.Folder + file, nullptr)) continue;
      if (!scanned || !scanned->Read) continue;
      JudgeCharacters(std::to_string(m.MediaNo), file, scanned->Found, scanned->More, judgedFields, sink);
    }
    if (&m == &input.Media.back()) joinGrammar();
    ++done;
    if (!goOn()) return finish();
  }

  // A management file that is no well-formed XML names only what comes
  // before its break: its folder's later files are not each reported as
  // named nowhere (the grammar says why, once).
  {
    const std::string broken = Tr("ExtendedCheck", "整形式の XML ではありません: %1");
    const std::string head = broken.substr(0, broken.find("%1"));
    std::set<std::pair<std::string, std::string>> brokenFolders;  // medium, folder
    // (The grammar's findings are the worker's, joined by now.)
    if (grammarJoined)
      for (const TFinding& f : judged->Grammar)
        if (f.Found.find(head) != std::string::npos && f.Path.find('/') != std::string::npos)
          brokenFolders.insert({f.Medium, AsciiUpper(FolderOf(f.Path))});
    const std::string unlistedRule = Tr("ExtendedCheck", kUnlisted);
    if (!brokenFolders.empty())
      out.EraseIf([&](const TFindingView& f) {
        if (f.Rule != unlistedRule) return false;
        const std::string upper = AsciiUpper(std::string(f.Path));
        return std::any_of(brokenFolders.begin(), brokenFolders.end(), [&](const auto& b) {
          return b.first == f.Medium && upper.rfind(b.second + "/", 0) == 0;
        });
      });
  }

  for (std::uint32_t id = 0; id < wherePath.Size(); ++id)
    if (const TMediaNos& media = whereMedia[id]; !media.Others.empty())
      add(TSeverity::Warning, "", wherePath[id], kSameOnTwoMedia,
          Arg(Tr("ExtendedCheck", "媒体 %1 に同じ名前のファイルがあります"), {NumberList(media.All())}));

  // Files named but found on no medium.
  for (std::uint32_t i = 0; i < listed.Size(); ++i) {
    const std::string path(listed[i]);
    if (present.Has(path)) continue;
    if (const std::string_view upper = listedAsUpper[i];
        upper.substr(0, 10) == "PHOTO/PIC/" || upper.substr(0, 10) == "PHOTO/DRA/")
      continue;  // the photo rules say it
    if (const std::uint32_t at = presentUpper.Find(listedAsUpper[i]); at != TCheckPathIndex::kNone) {
      // Named as listed in a folder named in the wrong case: the folder's
      // finding says it, once for all its files.
      const std::string found(foundAs[at].first);
      if (NameOf(found) == NameOf(path) &&
          std::any_of(caseFolders.begin(), caseFolders.end(),
                      [&](const std::string& f) { return found.rfind(f + "/", 0) == 0 && FolderOf(found) == f; }))
        continue;
      add(TSeverity::Error, std::to_string(foundAs[at].second), path, kListedMissing,
          Arg(Tr("ExtendedCheck", "大文字・小文字の違う %1 があります（名前は記載のとおりに付けます）"), {found}));
      continue;
    }
    if (allLoaded)
      add(TSeverity::Error, firstMedium, path, kListedMissing,
          Tr("ExtendedCheck", "管理ファイルに記載されたファイルが納品物にありません"));
    else
      add(TSeverity::Warning, firstMedium, path, kListedMissing,
          Tr("ExtendedCheck", "読み込んだ媒体にはありません（読み込んでいない媒体にある可能性があります）"));
  }

  // The photos, by the photo rule set.
  if (input.PhotoFindings)
    for (const TFinding& f : input.PhotoFindings()) out.Add(f);

  // Drawing file names by the CAD naming rule, and those named twice.
  if (store) JudgeDrawingNames(input, *store, cadUserPart, firstMedium, sink);

  // The records' dates against the construction period and each other.
  if (store && index) JudgeDates(*store, *index, firstMedium, sink);

  done = steps;
  goOn();
  return finish();
}


}  // namespace
}  // namespace dlvr::extended_check_detail

namespace dlvr {

std::string SeverityName(TSeverity severity) {
  switch (severity) {
    case TSeverity::Error: return Tr("ExtendedCheck", "エラー");
    case TSeverity::Warning: return Tr("ExtendedCheck", "警告");
    case TSeverity::Info: break;
  }
  return Tr("ExtendedCheck", "情報");
}

bool HasProblem(const std::vector<TFinding>& findings) {
  return std::any_of(findings.begin(), findings.end(),
                     [](const TFinding& f) { return f.Severity != TSeverity::Info; });
}

bool HasError(const std::vector<TFinding>& findings) {
  return std::any_of(findings.begin(), findings.end(),
                     [](const TFinding& f) { return f.Severity == TSeverity::Error; });
}

std::vector<TFinding> RunExtendedCheck(const TExtendedInput& input) {
  return extended_check_detail::CheckDelivery(input, nullptr).TakeAll();
}

std::vector<TFinding> RunExtendedCheck(TExtendedInput&& input) { return RunExtendedCheckCompact(std::move(input)).TakeAll(); }

TCompactFindings RunExtendedCheckCompact(TExtendedInput&& input) {
  TCheckErrorList rows = std::move(input.DataCheckRows);
  input.DataCheckRows = {};
  return extended_check_detail::CheckDelivery(input, &rows);
}

}  // namespace dlvr
