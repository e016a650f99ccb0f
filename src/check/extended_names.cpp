// The naming rules of a medium: the folders it may hold, the names of its
// files and folders, the files left behind by systems and editors, the
// companions of a management file, and drawing file names by the CAD
// naming rule.
#include <map>
#include <set>

#include "check/extended_check_internal.h"
#include "model/cad_names.h"
#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr::extended_check_detail {
namespace {

// The folders a medium may hold, and the management file of each.
struct TStandardFolder {
  const char* Path;
  const char* ManagementFile;  // "" for a sub-folder
};
constexpr TStandardFolder kStandardFolders[] = {
    {"DRAWINGS", "DRAWINGS.XML"}, {"DRAWINGS/SPEC", ""}, {"MEET", "MEET.XML"}, {"MEET/ORG", ""},
    {"PLAN", "PLAN.XML"},         {"PLAN/ORG", ""},      {"DRAWINGF", "DRAWINGF.XML"}, {"PHOTO", "PHOTO.XML"},
    {"PHOTO/PIC", ""},            {"PHOTO/DRA", ""},     {"OTHRS", "OTHRS.XML"},   {"OTHRS/ORG", ""},
};

}  // namespace

bool IsStandardFolder(std::string_view path) {
  return std::any_of(std::begin(kStandardFolders), std::end(kStandardFolders),
                     [&](const TStandardFolder& f) { return path == f.Path; });
}

bool EndsWithI(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && EqualsNoCase(s.substr(s.size() - tail.size()), tail);
}

// A name of upper-case half-width letters, digits and '_': at most 8, a dot
// and at most 3 more for a file (a folder has no dot).
bool NameFollowsRule(std::string_view name, bool folder, std::size_t longestExtension) {
  auto fine = [](std::string_view part, std::size_t most) {
    return !part.empty() && part.size() <= most && std::all_of(part.begin(), part.end(), [](char c) {
      return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
  };
  const std::size_t dot = name.find('.');
  if (folder) return dot == std::string::npos && fine(name, 8);
  if (dot == std::string::npos || name.find('.', dot + 1) != std::string::npos) return false;
  return fine(name.substr(0, dot), 8) && fine(name.substr(dot + 1), longestExtension);
}

// Files that operating systems and editors leave behind.
bool IsSystemFile(std::string_view name) {
  return EqualsNoCase(name, "THUMBS.DB") || EqualsNoCase(name, "DESKTOP.INI") || EqualsNoCase(name, ".DS_STORE") ||
         name.substr(0, 2) == "~$" || EndsWithI(name, ".TMP");
}

// A management file, its DTD or stylesheet in the medium's root or in a
// folder of a management file.
bool IsCompanion(std::string_view folder, std::string_view name) {
  const bool dtdOrXsl = EndsWithI(name, ".DTD") || EndsWithI(name, ".XSL");
  if (folder.empty()) return EqualsNoCase(name, "INDEX_C.XML") || dtdOrXsl;
  for (const TStandardFolder& f : kStandardFolders)
    if (folder == f.Path && *f.ManagementFile) return EqualsNoCase(name, f.ManagementFile) || dtdOrXsl;
  return false;
}

// What is wrong with a drawing file name by the CAD naming rule, "" when it
// keeps it. From the 2017 editions a name may carry a user part after the
// eight characters, led by '-'.
std::string DrawingNameFault(const std::string& file, const std::string& drawName, const TExtendedInput& input,
                             bool userPart) {
  std::string name = file;
  const std::size_t dot = name.rfind('.');
  if (userPart && dot != std::string::npos && dot > 8 && name[8] == '-') name = name.substr(0, 8) + name.substr(dot);
  const TCADFileNameParts p = ParseCADFileName(name, drawName, input.DrawKindLines, input.DrawNameLines);
  if (p.Valid) return std::string();
  if ((dot == std::string::npos ? name.size() : name.rfind('.')) != 8)
    return Tr("ExtendedCheck",
              "拡張子の前が 8 文字ではありません（ライフサイクル・整理番号・図面種類・図面番号・改訂履歴の 8 文字にします）");
  std::string faults;
  auto fault = [&](bool bad, const std::string& what) {
    if (bad) faults += (faults.empty() ? "" : ListSeparator()) + what;
  };
  fault(p.LifeCycle < 0, Tr("ExtendedCheck", "ライフサイクル（1 文字目）が S・D・C・M のどれでもありません"));
  fault(p.SerialDigit.empty(), Tr("ExtendedCheck", "整理番号（2 文字目）が数字ではありません"));
  fault(p.KindName.empty(),
        Arg(Tr("ExtendedCheck", "図面種類（3〜4 文字目）%1 が図面種類の表にありません"), {p.UpperName.substr(2, 2)}));
  fault(p.DrawingNumber.empty(), Tr("ExtendedCheck", "図面番号（5〜7 文字目）が 3 桁の数字ではありません"));
  fault(p.Revision.empty(), Tr("ExtendedCheck", "改訂履歴（8 文字目）が 0〜9・A〜Z ではありません"));
  return faults;
}

void JudgeDrawingNames(const TExtendedInput& input, const DeliveryStore& store, bool cadUserPart,
                       const std::string& firstMedium, TFindingSink& sink) {
  if (!input.DrawKindLines.empty()) {
    auto drawings = [&](const auto& records, const std::string& folder) {
      std::set<std::string> judged;
      for (const TMdlTreeNodeDraw& d : records)
        if (!d.DrawFile.empty() && judged.insert(d.DrawFile).second)
          if (std::string fault = DrawingNameFault(d.DrawFile, d.DrawName, input, cadUserPart); !fault.empty())
            sink.Add(TSeverity::Error, firstMedium, folder + d.DrawFile, kDrawingName, std::move(fault));
    };
    drawings(store.OrderDrawings, "DRAWINGS/");
    drawings(store.FinalDrawings, "DRAWINGF/");
  }
  // A drawing file named by two records: one of them shows another drawing.
  {
    auto twiceNamed = [&](const std::vector<TMdlTreeNodeDraw>& records, const std::string& folder) {
      std::map<std::string, std::vector<int>> byName;  // upper-cased name -> record numbers (1-based)
      for (std::size_t i = 0; i < records.size(); ++i)
        if (!records[i].DrawFile.empty()) byName[AsciiUpper(records[i].DrawFile)].push_back(static_cast<int>(i) + 1);
      for (const auto& [name, numbers] : byName)
        if (numbers.size() > 1)
          sink.Add(TSeverity::Error, firstMedium,
                   folder + records[static_cast<std::size_t>(numbers.front() - 1)].DrawFile, kDrawingTwice,
                   Arg(Tr("ExtendedCheck", "図面情報 %1 件目が同じ図面ファイル名を記載しています"),
                       {NumberList(numbers)}));
    };
    twiceNamed(store.OrderDrawings, "DRAWINGS/");
    twiceNamed(store.FinalDrawings, "DRAWINGF/");
  }
}

}  // namespace dlvr::extended_check_detail
