// Writes small deliveries for tests: Shift-JIS management files with the
// given records, and the document files that a medium carries.
#pragma once

#include <string>
#include <vector>

#include "support/fixtures.h"

namespace dlvr::test {

struct MeetSpec {
  std::string Kind = "協議";
  std::string ManageClass;
  std::string IssueDate;
  std::vector<std::string> Orgs;  // original file names
};

struct MediumSpec {
  int MediaNo = 1;
  int MediaCount = 1;
  std::string KojiName = "テスト工事";
  std::vector<MeetSpec> Meetings;
  std::vector<std::string> Plans;      // plan names, one original each: P<n>.PDF
  std::vector<std::string> Drawings;   // drawing file names for DRAWINGS.XML
  std::vector<std::string> FilesHere;  // paths (relative to the medium) of documents on this medium
  bool WithMeetXml = true;
};

// Writes the medium into `folder` (created). Returns the folder with '/'.
std::string WriteMedium(const std::string& folder, const MediumSpec& spec);

}  // namespace dlvr::test
