// The data check's rows as findings of the full check, in its own words,
// on the management file of their section (or at the document a row is
// about).
#include <set>
#include <string>
#include <tuple>

#include "check/extended_check_internal.h"
#include "platform/translate.h"

namespace dlvr::extended_check_detail {

void JudgeDataCheckRows(const TExtendedInput& input, TCheckErrorList* takenRows, const std::string& firstMedium,
                        TFindingSink& sink, std::set<std::string>& unreadFolders,
                        std::set<std::string>& judgedFields) {
  // Each section's management file, and the folder of the documents its
  // records name: a row about a document stands at the document.
  static const std::tuple<const char*, const char*, const char*> kSections[] = {
      {"工事管理", "INDEX_C.XML", ""},
      {"発注図面管理", "DRAWINGS/DRAWINGS.XML", "DRAWINGS/"},
      {"打合せ簿管理", "MEET/MEET.XML", "MEET/ORG/"},
      {"施工計画書管理", "PLAN/PLAN.XML", "PLAN/ORG/"},
      {"完成図面管理", "DRAWINGF/DRAWINGF.XML", "DRAWINGF/"},
      {"その他管理", "OTHRS/OTHRS.XML", "OTHRS/ORG/"}};
  const TCheckErrorList& dataRows = takenRows ? *takenRows : input.DataCheckRows;
  const std::string dataPattern = Tr("ExtendedCheck", "%1: %2");
  for (std::size_t r = 0; r < dataRows.size(); ++r) {
    const TCheckErrorRow& row = dataRows[r];
    std::string path, documents;
    for (const auto& [section, file, folder] : kSections)
      if (row[0] == Tr("DataCheck", section)) path = file, documents = folder;
    if (row[3] == Tr("DataCheck", kManagementFileItem) && row[4] == Tr("DataCheck", kUnreadableFileState) &&
        path.find('/') != std::string::npos)
      unreadFolders.insert(FolderOf(path));
    judgedFields.insert((path.empty() ? row[2] : path) + '\n' + row[3]);
    const bool document = !documents.empty() && !row[2].empty() && row[2] != NameOf(path) &&
                          row[2].find('/') == std::string::npos;
    std::string what;
    for (const std::string* part : {&row[1], &row[3]})
      if (!part->empty()) what += (what.empty() ? "" : " ") + *part;
    sink.AddArgs(TSeverity::Error, firstMedium, document ? documents + row[2] : path.empty() ? row[2] : path,
                 kDataCheck, dataPattern, {what, row[4]});
    if (takenRows) (*takenRows)[r] = {};
  }
  if (takenRows) TCheckErrorList().swap(*takenRows);
}

}  // namespace dlvr::extended_check_detail
