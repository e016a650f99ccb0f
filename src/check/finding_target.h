// Where a finding of a check lives in the document tree: the item that shows
// what the finding is about (the record, the file, the drawing, the class of
// a management file), or, when the tree has no such item (a stray file, a
// folder), the nearest one (the class of its folder, the root). A photo of
// the photo folder is named as well, for the photo window.
//
// A row of the data check names its record only by section, naming value
// and file; when several records share those, the row is told apart by
// checking each candidate record alone and counting the identical rows that
// came before it in the list. Reads the tree and the store only; never
// throws.
#pragma once

#include <cstddef>
#include <string>

#include "check/data_check.h"
#include "check/extended_check.h"

namespace dlvr {

class TMdlTreeView;
class TTreeItem;

// A finding as a list window reports it: a row of the data check's error
// list (its index there and its five texts) or a finding of the delivery
// check.
struct TFindingRef {
  bool DataCheck = false;
  std::size_t Row = 0;
  TCheckErrorRow Texts;
  TFinding Finding;

  static TFindingRef OfDataCheck(std::size_t row, const TCheckErrorRow& texts) {
    TFindingRef r;
    r.DataCheck = true;
    r.Row = row;
    r.Texts = texts;
    return r;
  }
  static TFindingRef OfDelivery(const TFinding& finding) {
    TFindingRef r;
    r.Finding = finding;
    return r;
  }
};

struct TFindingTarget {
  // The item to select: the finding's own, else the nearest; null only
  // when no delivery is loaded.
  TTreeItem* Item = nullptr;
  // Whether Item is the finding's own item (not the nearest one).
  bool Exact = false;
  // What the finding names ("MEET/ORG/M001_01.PDF", "MEET0001.PDF"), for
  // saying that it has no item.
  std::string Named;
  // A photo or reference drawing of the photo folder: its path relative to
  // its medium ("PHOTO/PIC/P0000001.JPG") and the medium (0 when not
  // given); "" for anything else.
  std::string PhotoPath;
  int PhotoMedium = 0;
};

// The target of a finding in the tree the view holds now. A data check row
// is looked up in view.ErrorList at its index when the texts there are the
// same (else as the first of its kind).
TFindingTarget FindFindingTarget(TMdlTreeView& view, const TFindingRef& ref);

}  // namespace dlvr
