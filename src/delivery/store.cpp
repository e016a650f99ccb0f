#include "delivery/store.h"

namespace dlvr {

DeliveryStore::DeliveryStore() : IndexRecords(kIndexRecordCount) {}

DeliveryStore& DeliveryStore::Global() {
  static DeliveryStore store;
  return store;
}

void DeliveryStore::ClearRecords(int kind) {
  switch (kind) {
    case -1:
      IndexRecords.assign(kIndexRecordCount, TMdlTreeNodeIndex());
      IndexUnknown.Clear();
      OrderDrawings.clear();
      FinalDrawings.clear();
      Meetings.clear();
      Plans.clear();
      Others.clear();
      break;
    case fkIndex:
      IndexRecords.assign(kIndexRecordCount, TMdlTreeNodeIndex());
      IndexUnknown.Clear();
      break;
    case fkDrawings:
      OrderDrawings.clear();
      break;
    case fkMeet:
      Meetings.clear();
      break;
    case fkPlan:
      Plans.clear();
      break;
    case fkDrawingF:
      FinalDrawings.clear();
      break;
    case fkOthrs:
      Others.clear();
      break;
    default:
      break;
  }
}

void DeliveryStore::ResetDrawFileNames() {
  DrawFileNames.clear();
  drawNameSet_.clear();
  DrawFileDuplicate = false;
}

void DeliveryStore::NoteDrawFileName(const std::string& upperName) {
  if (drawNameSet_.count(upperName)) {
    DrawFileDuplicate = true;
    return;
  }
  drawNameSet_.insert(upperName);
  DrawFileNames.push_back(upperName);
}

}  // namespace dlvr
