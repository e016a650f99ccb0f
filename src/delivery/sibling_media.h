// The other media of a delivery kept on disk beside one of its media: an
// archive holds the copies of a delivery's CD-Rs in sibling folders
// ("R05-123_CD1/", "R05-123_CD2/"), each with its own INDEX_C.XML.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "delivery/records.h"

namespace dlvr {

struct TSiblingMedium {
  std::string Folder;  // ending in '/'
  int MediaNo = 0;
  // Every field of its management record but the medium number is that of
  // the given medium: the viewer takes it as a further medium of the
  // delivery it shows (otherwise it would take it for another delivery).
  bool SameRecord = false;
};

struct TSiblingMedia {
  // The other media of the delivery, by medium number.
  std::vector<TSiblingMedium> Media;
  // Folders of the delivery left out because their medium number repeats
  // the given medium's or one found before them.
  std::vector<TSiblingMedium> Repeated;
  // Not every folder beside the medium was looked at.
  bool LimitReached = false;
};

// The most sibling folders whose INDEX_C.XML is read in one search, and the
// largest INDEX_C.XML read (far above any real one).
inline constexpr std::size_t kSiblingFolderLimit = 200;
inline constexpr std::uint64_t kSiblingIndexMaxBytes = 4u << 20;

// The other media, in the folders beside `folder` (the children of its
// parent, not deeper), of the delivery whose medium `folder` holds: folders
// whose INDEX_C.XML names the same 工事番号 (not empty) and 発注者コード and
// another medium number within the delivery's メディア総枚数. Nothing when
// the medium has no INDEX_C.XML or its delivery has a single medium.
//
// Folders that are symbolic links are left out, as is an INDEX_C.XML that
// is not a regular file, is a link leading out of its folder, or is larger
// than kSiblingIndexMaxBytes. The folders whose names share the longest
// beginning with the medium's folder are read first; at most `limit` are
// read, and the search ends once every medium of the delivery is found.
// Never throws; nothing is written.
TSiblingMedia FindSiblingMedia(const std::string& folder, std::size_t limit = kSiblingFolderLimit);

// The management record of the medium in `folder` (its INDEX_C.XML found
// without regard to ASCII case, read as ReadIndexRecordFile reads it).
std::optional<TMdlTreeNodeIndex> ReadFolderIndexRecord(const std::string& folder);

// Whether two management records are those of one delivery: every field
// alike but the medium number.
bool SameDeliveryRecord(const TMdlTreeNodeIndex& a, const TMdlTreeNodeIndex& b);

// Two folders that hold the same medium of one delivery: opened together,
// the second would not add a medium but stand for the first.
struct TRepeatedMedium {
  std::string First, Second;  // as given
  int MediaNo = 0;
};

// The first two of `folders` (in the order given) that hold the same medium
// number of one delivery; the same folder named twice (alike once resolved)
// does not count. Nothing when every folder holds a medium of its own or
// another delivery. Never throws; nothing is written.
std::optional<TRepeatedMedium> FindRepeatedMedium(const std::vector<std::string>& folders);

// The management record an INDEX_C.XML file holds: a regular file of at
// most kSiblingIndexMaxBytes (with `refuseLink`, not a link), read with the
// management file reader. Nothing when it cannot be read.
std::optional<TMdlTreeNodeIndex> ReadIndexRecordFile(const std::string& path, bool refuseLink);

}  // namespace dlvr
