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
  // The elements of the management file last read into IndexRecords[0] that
  // no field takes (new elements of later editions, fields under a group
  // they do not belong to, the earlier of two values of one text field, a
  // value broken by a comment), so that a viewer can show them. Replaced by
  // each such read; emptied with IndexRecords.
  TUnknownElements IndexUnknown;

  // Upper-cased drawing file names of the sub-management file being read,
  // and whether one of them came twice. Both reset when a file's root starts.
  TStringList DrawFileNames;
  bool DrawFileDuplicate = false;

  // Sort modes of meetings, plans and other documents (0 = file order).
  unsigned char MeetSortMode = 0;
  unsigned char PlanSortMode = 0;
  unsigned char OthrsSortMode = 0;

  // -1 clears everything; 0 refills IndexRecords with nine empty records
  // (and empties IndexUnknown);
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
