// Reads a delivery's management files into the record store.
#pragma once

#include <string>

#include "delivery/store.h"
#include "delivery/tag_reader.h"

namespace dlvr {

class TKKTXMLRead {
 public:
  explicit TKKTXMLRead(DeliveryStore& store = DeliveryStore::Global()) : store_(store) {}

  // See DeliveryStore::ClearRecords.
  void ClearRecords(int kind) { store_.ClearRecords(kind); }

  // Reads one management file, its kind chosen by the file name (ASCII case
  // ignored): INDEX_C.XML, DRAWINGS.XML, MEET.XML, PLAN.XML, DRAWINGF.XML,
  // OTHRS.XML. Any other name is ignored. Nothing is cleared first. Returns
  // true when reading failed with an error; what was read before stays.
  bool ReadFile(const std::string& path);

  // Reads another medium's INDEX_C.XML into IndexRecords[8], emptied first.
  // Returns true when reading failed with an error.
  bool ReadOtherIndex(const std::string& path);

  // Walks the file with the current kind. False when the file does not
  // exist or the walk failed, true otherwise.
  bool ParseFile(const std::string& path);

  // Reads from text already in memory (UTF-8) with the given kind; returns
  // true when reading failed. For tests and fuzzing.
  bool ReadText(std::string text, int kind);

  int FileKind() const { return fileKind_; }

  // The kind a file name selects, or -1 for a name that is not read.
  static int KindOfFileName(const std::string& path);

 private:
  void Walk(TTagReader& reader);
  void ReadConstData(TTagReader& r);
  template <class R>
  void ReadGroup(TTagReader& r, R& rec, const char* group);
  template <class R>
  void ReadRoot(TTagReader& r, const char* closeTag, const char* itemElement, std::vector<R>& list);
  template <class R>
  void ReadItem(TTagReader& r, R& rec, const char* itemElement);
  void ReadOrg(TTagReader& r, TMdlTreeNodeOrg& org, const char* const elements[3]);

  DeliveryStore& store_;
  int fileKind_ = 0;
  bool failed_ = false;
};

}  // namespace dlvr
