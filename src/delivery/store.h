// The records of the loaded delivery, one store for the whole process.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "delivery/records.h"

namespace dlvr {

// File kinds: indexes into IndexRecords and arguments of ClearRecords.
enum FileKind : int {
  fkIndex = 0,
  fkDrawings = 1,
  fkMeet = 2,
  fkPlan = 3,
  fkDrawingF = 4,
  fkPhoto = 5,
  fkOthrs = 6,
  fkUnassigned = 7,
  fkOtherIndex = 8,
};

inline constexpr int kIndexRecordCount = 9;

class DeliveryStore {
 public:
  DeliveryStore();

  // The process-wide store.
  static DeliveryStore& Global();

  // Exactly nine management records, one per file kind.
  std::vector<TMdlTreeNodeIndex> IndexRecords;
  std::vector<TMdlTreeNodeDraw> OrderDrawings;
  std::vector<TMdlTreeNodeDraw> FinalDrawings;
  std::vector<TMdlTreeNodeMeet> Meetings;
  std::vector<TMdlTreeNodePlan> Plans;
  std::vector<TMdlTreeNodeOthrs> Others;

  // Upper-cased drawing file names of the sub-management file being read,
  // and whether one of them came twice. Both reset when a file's root starts.
  TStringList DrawFileNames;
  bool DrawFileDuplicate = false;

  // Sort modes of meetings, plans and other documents (0 = file order).
  unsigned char MeetSortMode = 0;
  unsigned char PlanSortMode = 0;
  unsigned char OthrsSortMode = 0;

  // -1 clears everything; 0 refills IndexRecords with nine empty records;
  // 1, 2, 3, 4, 6 empty the matching record list; anything else does nothing.
  void ClearRecords(int kind);

  // Drawing-name bookkeeping of the drawing reader.
  void ResetDrawFileNames();
  // Adds an upper-cased name; sets DrawFileDuplicate when it was there.
  void NoteDrawFileName(const std::string& upperName);

 private:
  std::unordered_set<std::string> drawNameSet_;
};

}  // namespace dlvr
