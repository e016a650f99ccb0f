// Reads a delivery's management files into the record store.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

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
  // Reading INDEX_C.XML also replaces the store's IndexUnknown with the
  // elements of the file that no field took, up to the point where the walk
  // stopped (the end, or a structural error).
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
  // ReadValue of the element whose opening tag is current, noting the
  // element as taken when its value was read.
  std::string Take(TTagReader& r, std::string_view element);
  // Notes that field `field` of the management record now holds the value
  // of the element taken last: the element that held it before is no
  // longer shown anywhere.
  void NoteTextField(std::size_t field);

  DeliveryStore& store_;
  int fileKind_ = 0;
  // The records the file being walked may hold at most (0: not known).
  std::size_t expectedRecords_ = 0;
  bool failed_ = false;
  // While a management file is walked: the elements whose values went into
  // a record (by the position after their opening tag), the element taken
  // last (0 none), and the element each text field of the record holds.
  bool noteTaken_ = false;
  std::unordered_set<std::uint64_t> taken_;
  std::uint64_t lastTaken_ = 0;
  std::vector<std::uint64_t> textHolder_;
};

}  // namespace dlvr
