#include "delivery/sibling_media.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "delivery/kkt_xml_read.h"
#include "delivery/store.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace dlvr {
namespace {

// The management record of the medium in `folder`, when it holds a regular
// INDEX_C.XML of bounded size that stays inside the folder.
std::optional<TMdlTreeNodeIndex> ReadIndexRecord(const std::string& folder) {
  return ReadFolderIndexRecord(folder);
}

}  // namespace

std::optional<TMdlTreeNodeIndex> ReadFolderIndexRecord(const std::string& folder) {
  const std::optional<std::string> path = FileInFolder(folder, "INDEX_C.XML");
  if (!path) return std::nullopt;
  return ReadIndexRecordFile(*path, false);
}

bool SameDeliveryRecord(const TMdlTreeNodeIndex& a, const TMdlTreeNodeIndex& b) {
  for (const auto& f : TMdlTreeNodeIndex::Fields()) {
    if (f.Text == &TMdlTreeNodeIndex::MediaNo) continue;
    if (f.Text && a.*f.Text != b.*f.Text) return false;
    if (f.List && a.*f.List != b.*f.List) return false;
  }
  return true;
}

std::optional<TRepeatedMedium> FindRepeatedMedium(const std::vector<std::string>& folders) {
  struct Seen {
    std::size_t Index;
    std::string Canonical;
    TMdlTreeNodeIndex Record;
  };
  std::vector<Seen> seen;
  for (std::size_t i = 0; i < folders.size(); ++i) {
    std::optional<TMdlTreeNodeIndex> record = ReadFolderIndexRecord(folders[i]);
    if (!record) continue;
    const std::string canonical = WithTrailingSlash(CanonicalPath(folders[i]));
    for (const Seen& s : seen)
      if (s.Canonical != canonical && WholeNumber(s.Record.MediaNo) == WholeNumber(record->MediaNo) && SameDeliveryRecord(s.Record, *record))
        return TRepeatedMedium{folders[s.Index], folders[i], static_cast<int>(WholeNumber(record->MediaNo))};
    seen.push_back({i, canonical, std::move(*record)});
  }
  return std::nullopt;
}

namespace {

std::size_t CommonPrefix(const std::string& a, const std::string& b) {
  return static_cast<std::size_t>(std::mismatch(a.begin(), a.begin() + std::min(a.size(), b.size()), b.begin()).first -
                                  a.begin());
}

TSiblingMedia Find(const std::string& given, std::size_t limit) {
  TSiblingMedia result;
  std::error_code ec;
  std::filesystem::path self = std::filesystem::absolute(given, ec);
  if (ec) return result;
  if (!self.has_filename()) self = self.parent_path();  // "x/" names "x"
  const std::string name = self.filename().string();
  const std::string parent = self.parent_path().string();
  if (name.empty() || name == "." || name == ".." || parent.empty()) return result;
  const std::string medium = WithTrailingSlash(self.string());

  const std::optional<TMdlTreeNodeIndex> own = ReadIndexRecord(medium);
  if (!own || own->KojiNo.empty()) return result;
  const long count = WholeNumber(own->MediaCount);
  const long ownNo = WholeNumber(own->MediaNo);
  if (count <= 1 || ownNo < 1 || ownNo > count) return result;

  // The folders most like the medium's own name first: the other media of
  // an archived delivery mostly differ from it in the last characters.
  std::vector<std::string> candidates = ListFolders(parent);
  std::stable_sort(candidates.begin(), candidates.end(), [&](const std::string& a, const std::string& b) {
    return CommonPrefix(a, name) > CommonPrefix(b, name);
  });
  const std::string selfCanonical = CanonicalPath(medium);
  std::vector<bool> found(static_cast<std::size_t>(count) + 1, false);
  found[static_cast<std::size_t>(ownNo)] = true;
  std::size_t read = 0;
  long missing = count - 1;
  for (const std::string& candidate : candidates) {
    if (missing == 0) break;
    const std::string folder = JoinPath(parent, candidate);
    if (candidate == name || std::filesystem::is_symlink(folder, ec) || CanonicalPath(folder) == selfCanonical)
      continue;
    if (read == limit) {
      result.LimitReached = true;
      break;
    }
    ++read;
    const std::optional<TMdlTreeNodeIndex> other = ReadIndexRecord(folder);
    if (!other || other->KojiNo != own->KojiNo || other->OrdererCode != own->OrdererCode) continue;
    const long no = WholeNumber(other->MediaNo);
    if (no < 1 || no > count) continue;
    TSiblingMedium m{WithTrailingSlash(folder), static_cast<int>(no), SameDeliveryRecord(*own, *other)};
    if (found[static_cast<std::size_t>(no)]) {
      result.Repeated.push_back(std::move(m));
      continue;
    }
    found[static_cast<std::size_t>(no)] = true;
    --missing;
    result.Media.push_back(std::move(m));
  }
  std::sort(result.Media.begin(), result.Media.end(),
            [](const TSiblingMedium& a, const TSiblingMedium& b) { return a.MediaNo < b.MediaNo; });
  return result;
}

}  // namespace

TSiblingMedia FindSiblingMedia(const std::string& folder, std::size_t limit) {
  try {
    return Find(folder, limit);
  } catch (...) {  // memory ran out, a name the file system library refused
    return {};
  }
}

std::optional<TMdlTreeNodeIndex> ReadIndexRecordFile(const std::string& path, bool refuseLink) {
  std::string bytes;
  if (ReadRegularFile(path, kSiblingIndexMaxBytes, bytes, refuseLink) != TReadStatus::Ok) return std::nullopt;
  DeliveryStore store;
  TKKTXMLRead(store).ReadText(DecodeDeliveryText(bytes), fkIndex);
  return std::move(store.IndexRecords[fkIndex]);
}

}  // namespace dlvr
