#include "cli/scan_media.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "delivery/kkt_xml_read.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr::scan {
namespace {

// The bytes of a medium's management files (INDEX_C.XML and those of the
// class folders under their usual names), by which the check's time is
// guessed; a few stats, no listing.
std::uint64_t ManagementBytes(const std::string& medium) {
  std::uint64_t bytes = 0;
  for (const char* file : {"INDEX_C.XML", "DRAWINGS/DRAWINGS.XML", "MEET/MEET.XML", "PLAN/PLAN.XML",
                           "DRAWINGF/DRAWINGF.XML", "OTHRS/OTHRS.XML", "PHOTO/PHOTO.XML"}) {
    struct stat st {};
    if (::lstat(JoinPath(medium, file).c_str(), &st) == 0 && S_ISREG(st.st_mode))
      bytes += static_cast<std::uint64_t>(st.st_size);
  }
  return bytes;
}

}  // namespace

// The media under `dir`: a folder with INDEX_C.XML is one and is not
// searched further; links are not followed. Their records are read later.
// The first folder of more than one subfolder has them searched on `jobs`
// threads, found in the same order.
void FindMedia(const std::string& dir, const std::string& rel, int depth, std::vector<TMedium>& media,
               std::ostream& err, int jobs) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) {
    err << "dlvr: scan: " << Arg(Tr("CliScan", "フォルダを読めません: %1"), {dir}) << "\n";
    return;
  }
  std::vector<std::string> names;
  std::string index;  // the INDEX_C.XML of a medium: a regular file, or a link that stays inside
  bool viaLink = false;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (name.size() == 11 && AsciiUpper(name) == "INDEX_C.XML" && (index.empty() || name == "INDEX_C.XML")) {
      if (e->d_type == DT_REG)
        index = JoinPath(dir, name);
      else if (const std::optional<std::string> file = FileInFolder(dir, "INDEX_C.XML")) {
        index = *file;
        viaLink = true;
      } else if (e->d_type != DT_DIR && e->d_type != DT_LNK) {
        // A FIFO, a device or a socket by that name: a delivery whose check
        // fails (and says why), never one passed over in silence.
        index = JoinPath(dir, name);
      }
    }
    struct stat st {};
    if (e->d_type == DT_DIR || (e->d_type == DT_UNKNOWN && ::lstat(JoinPath(dir, name).c_str(), &st) == 0 &&
                                S_ISDIR(st.st_mode)))
      names.push_back(name);
  }
  ::closedir(d);
  if (!index.empty()) {
    TMedium m;
    m.Folder = dir;
    m.Rel = rel;
    m.Index = std::move(index);
    m.ViaLink = viaLink;
    media.push_back(std::move(m));
    return;
  }
  if (depth == kMaxDepth) {
    if (!names.empty())
      err << "dlvr: scan: "
          << Arg(Tr("CliScan", "%1 階層より深いフォルダは調べません: %2"), {std::to_string(kMaxDepth), dir}) << "\n";
    return;
  }
  std::sort(names.begin(), names.end());
  auto sub = [&](const std::string& name) { return rel == "." ? name : rel + "/" + name; };
  if (jobs <= 1 || names.size() < 2) {
    for (const std::string& name : names)
      FindMedia(JoinPath(dir, name), sub(name), depth + 1, media, err, names.size() == 1 ? jobs : 1);
    return;
  }
  std::vector<std::vector<TMedium>> found(names.size());
  std::vector<std::ostringstream> notes(names.size());
  ParallelFor(names.size(), jobs, [&](std::size_t i) {
    try {
      FindMedia(JoinPath(dir, names[i]), sub(names[i]), depth + 1, found[i], notes[i]);
    } catch (const std::exception& e) {  // memory ran out
      notes[i] << "dlvr: scan: " << JoinPath(dir, names[i]) << ": " << e.what() << "\n";
    }
  });
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::move(found[i].begin(), found[i].end(), std::back_inserter(media));
    err << notes[i].str();
  }
}

namespace {

// The media beside a medium whose record tells of further media.
const std::vector<TSiblingMedium>& SiblingsOf(TMedium& m) {
  if (!m.SiblingsRead && WholeNumber(m.Record.MediaCount) > 1) m.Siblings = FindSiblingMedia(m.Folder).Media;
  m.SiblingsRead = true;
  return m.Siblings;
}

}  // namespace

// What the grouping and the order of the checks need of each medium, read
// on `jobs` threads: its record (read as the sibling search reads it: bounded
// in size) and the bytes of its management files; then the media beside the
// first medium of several in each folder, which the grouping asks for (the
// further ones of the folder are mostly taken in by it, and asked only when
// not).
void ReadMedia(std::vector<TMedium>& media, int jobs) {
  ParallelFor(media.size(), jobs, [&](std::size_t i) {
    TMedium& m = media[i];
    try {
      m.Record = ReadIndexRecordFile(m.Index, !m.ViaLink).value_or(TMdlTreeNodeIndex());
      m.Weight = ManagementBytes(m.Folder);
    } catch (const std::exception&) {  // memory ran out: a medium without record, checked alone
      m.Record = TMdlTreeNodeIndex();
    }
  });
  std::vector<std::size_t> firsts;
  std::set<std::string> parents;
  for (std::size_t i = 0; i < media.size(); ++i)
    if (WholeNumber(media[i].Record.MediaCount) > 1 && parents.insert(ExtractFilePath(media[i].Folder)).second)
      firsts.push_back(i);
  ParallelFor(firsts.size(), jobs, [&](std::size_t k) {
    try {
      SiblingsOf(media[firsts[k]]);
    } catch (const std::exception&) {  // memory ran out: asked again by the grouping
      media[firsts[k]].SiblingsRead = false;
    }
  });
}

// The deliveries of the media found: a medium with further media beside it
// (same record but the medium number, found under ROOT too) takes them in;
// a medium so taken is no delivery of its own.
std::vector<TDelivery> GroupMedia(std::vector<TMedium>& media) {
  std::map<std::string, std::size_t> byFolder;
  for (std::size_t i = 0; i < media.size(); ++i) byFolder[media[i].Folder] = i;
  std::vector<bool> taken(media.size(), false);
  std::vector<TDelivery> deliveries;
  for (std::size_t i = 0; i < media.size(); ++i) {
    if (taken[i]) continue;
    std::vector<std::size_t> group{i};
    for (const TSiblingMedium& s : SiblingsOf(media[i])) {
      // The sibling search names them below the same absolute folder.
      const std::string folder =
          s.Folder.size() > 1 && s.Folder.back() == '/' ? s.Folder.substr(0, s.Folder.size() - 1) : s.Folder;
      auto it = byFolder.find(folder);
      if (s.SameRecord && it != byFolder.end() && !taken[it->second] && it->second != i) group.push_back(it->second);
    }
    std::stable_sort(group.begin(), group.end(), [&](std::size_t a, std::size_t b) {
      return WholeNumber(media[a].Record.MediaNo) < WholeNumber(media[b].Record.MediaNo);
    });
    TDelivery d;
    d.Rel = media[group.front()].Rel;
    d.KojiNo = media[group.front()].Record.KojiNo;
    d.KojiName = media[group.front()].Record.KojiName;
    for (std::size_t m : group) {
      taken[m] = true;
      d.Folders.push_back(media[m].Folder);
      d.Weight += media[m].Weight;
    }
    deliveries.push_back(std::move(d));
  }
  std::sort(deliveries.begin(), deliveries.end(),
            [](const TDelivery& a, const TDelivery& b) { return a.Rel < b.Rel; });
  return deliveries;
}

}  // namespace dlvr::scan
