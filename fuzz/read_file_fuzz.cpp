// Fuzzes the management file readers through the file system and from memory.
//
// The first input byte chooses the file: its low three bits the name
// (INDEX_C.XML, DRAWINGS.XML, MEET.XML, PLAN.XML, DRAWINGF.XML, OTHRS.XML, or
// two names that are not read), bit 3 whether the file is written in lower
// case while the reader is asked for the upper-case name (a CD mounted with
// other case). The rest is the file's content.
//
// Reading the file and reading its decoded text from memory must fill the
// store alike; and whatever the content, the store stays well-formed.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "delivery/kkt_xml_read.h"
#include "delivery/store.h"
#include "fuzz_support.h"
#include "platform/fileio.h"
#include "platform/tempfs.h"
#include "platform/text.h"

using namespace dlvr;
using dlvr::fuzz::CountText;
using dlvr::fuzz::IsValidUtf8;

using dlvr::fuzz::WorkDir;

namespace {

const char* const kNames[8] = {"INDEX_C.XML", "DRAWINGS.XML", "MEET.XML", "PLAN.XML",
                               "DRAWINGF.XML", "OTHRS.XML", "PHOTO.XML", "INDEX_C.DTD"};
const int kKinds[8] = {fkIndex, fkDrawings, fkMeet, fkPlan, fkDrawingF, fkOthrs, -1, -1};

// A value taken from one element: one line of valid UTF-8.
void CheckValue(const std::string& v) {
  FUZZ_CHECK(IsValidUtf8(v));
  FUZZ_CHECK(v.find_first_of("\r\n") == std::string::npos);
}

template <class R>
void CheckRecord(const R& rec) {
  for (const auto& f : R::Fields()) {
    if (f.Text) CheckValue(rec.*f.Text);
    if (f.List)
      for (const std::string& v : rec.*f.List) CheckValue(v);
  }
}

template <class R>
void CheckRecordWithOrgs(const R& rec) {
  CheckRecord(rec);
  for (const TMdlTreeNodeOrg& org : rec.Orgs) {
    CheckValue(org.OrgFile);
    CheckValue(org.OrgSoftVersion);
    CheckValue(org.OrgContent);
  }
}

bool SameOrg(const TMdlTreeNodeOrg& a, const TMdlTreeNodeOrg& b) {
  return a.OrgFile == b.OrgFile && a.OrgSoftVersion == b.OrgSoftVersion && a.OrgContent == b.OrgContent;
}

template <class R>
bool SameRecord(const R& a, const R& b) {
  for (const auto& f : R::Fields()) {
    if (f.Text && a.*f.Text != b.*f.Text) return false;
    if (f.List && a.*f.List != b.*f.List) return false;
    if (f.Orgs) {
      const auto& x = a.*f.Orgs;
      const auto& y = b.*f.Orgs;
      if (x.size() != y.size()) return false;
      for (std::size_t i = 0; i < x.size(); ++i)
        if (!SameOrg(x[i], y[i])) return false;
    }
  }
  return true;
}

template <class R>
bool SameList(const std::vector<R>& a, const std::vector<R>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!SameRecord(a[i], b[i])) return false;
  return true;
}

bool SameStore(const DeliveryStore& a, const DeliveryStore& b) {
  if (a.IndexRecords.size() != b.IndexRecords.size()) return false;
  for (std::size_t i = 0; i < a.IndexRecords.size(); ++i)
    if (!SameRecord(a.IndexRecords[i], b.IndexRecords[i])) return false;
  return SameList(a.OrderDrawings, b.OrderDrawings) && SameList(a.FinalDrawings, b.FinalDrawings) &&
         SameList(a.Meetings, b.Meetings) && SameList(a.Plans, b.Plans) && SameList(a.Others, b.Others) &&
         a.DrawFileNames == b.DrawFileNames && a.DrawFileDuplicate == b.DrawFileDuplicate;
}

bool EmptyIndex(const TMdlTreeNodeIndex& rec) { return SameRecord(rec, TMdlTreeNodeIndex()); }

// What holds for a store filled from one file of the given kind.
void CheckStore(const DeliveryStore& s, int kind, const std::string& text) {
  FUZZ_CHECK(s.IndexRecords.size() == static_cast<std::size_t>(kIndexRecordCount));
  // Only the record of the file's own kind is written.
  for (int i = 0; i < kIndexRecordCount; ++i)
    if (i != kind) FUZZ_CHECK(EmptyIndex(s.IndexRecords[static_cast<std::size_t>(i)]));
  for (const auto& rec : s.IndexRecords) CheckRecord(rec);
  for (const auto& rec : s.OrderDrawings) CheckRecord(rec);
  for (const auto& rec : s.FinalDrawings) CheckRecord(rec);
  for (const auto& rec : s.Meetings) CheckRecordWithOrgs(rec);
  for (const auto& rec : s.Plans) CheckRecordWithOrgs(rec);
  for (const auto& rec : s.Others) CheckRecordWithOrgs(rec);

  // Drawings go to the list of their file's kind.
  if (kind == fkDrawings) FUZZ_CHECK(s.FinalDrawings.empty());
  if (kind == fkDrawingF) FUZZ_CHECK(s.OrderDrawings.empty());

  // Every record and original file stands for an element in the text.
  FUZZ_CHECK(s.OrderDrawings.size() + s.FinalDrawings.size() <= CountText(text, "<図面情報"));
  FUZZ_CHECK(s.Meetings.size() <= CountText(text, "<打合せ簿情報"));
  FUZZ_CHECK(s.Plans.size() <= CountText(text, "<施工計画書情報"));
  FUZZ_CHECK(s.Others.size() <= CountText(text, "<その他資料情報"));
  std::size_t orgs = 0;
  for (const auto& rec : s.Meetings) orgs += rec.Orgs.size();
  for (const auto& rec : s.Plans) orgs += rec.Orgs.size();
  for (const auto& rec : s.Others) orgs += rec.Orgs.size();
  FUZZ_CHECK(orgs <= CountText(text, "<オリジナルファイル情報"));

  // The drawing file names are upper case and listed once each.
  for (std::size_t i = 0; i < s.DrawFileNames.size(); ++i) {
    const std::string& name = s.DrawFileNames[i];
    FUZZ_CHECK(AsciiUpper(name) == name);
    for (std::size_t j = 0; j < i; ++j) FUZZ_CHECK(s.DrawFileNames[j] != name);
  }
  // Each name noted comes from its own element.
  FUZZ_CHECK(s.DrawFileNames.size() <= CountText(text, "<図面ファイル名>"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned selector = data[0];
  std::string_view content(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string name = kNames[selector & 7];
  const int kind = kKinds[selector & 7];
  const bool lowerOnDisk = (selector & 8) != 0;

  WorkDir work;
  const std::string& dir = work.Path();
  const std::string diskPath = dir + (lowerOnDisk ? AsciiLower(name) : name);
  FUZZ_CHECK(WriteWholeFile(diskPath, content));

  DeliveryStore fromFile;
  TKKTXMLRead fileReader(fromFile);
  bool fileFailed = fileReader.ReadFile(dir + name);
  ::unlink(diskPath.c_str());

  if (kind < 0) {
    // A name that is not a management file is not read.
    FUZZ_CHECK(!fileFailed);
    FUZZ_CHECK(SameStore(fromFile, DeliveryStore()));
    return 0;
  }
  FUZZ_CHECK(fileReader.FileKind() == kind);

  const std::string text = DecodeDeliveryText(content);
  CheckStore(fromFile, kind, text);

  // The same text from memory fills the store alike.
  DeliveryStore fromText;
  TKKTXMLRead textReader(fromText);
  bool textFailed = textReader.ReadText(text, kind);
  FUZZ_CHECK(textFailed == fileFailed);
  FUZZ_CHECK(SameStore(fromFile, fromText));

  // Reading the file a second time appends a second copy of each record and
  // leaves the first copy as it was.
  if (!fileFailed && (selector & 0x10)) {
    DeliveryStore twice;
    TKKTXMLRead twiceReader(twice);
    twiceReader.ReadText(text, kind);
    twiceReader.ReadText(text, kind);
    FUZZ_CHECK(twice.Meetings.size() == 2 * fromText.Meetings.size());
    FUZZ_CHECK(twice.Plans.size() == 2 * fromText.Plans.size());
    FUZZ_CHECK(twice.Others.size() == 2 * fromText.Others.size());
    FUZZ_CHECK(twice.OrderDrawings.size() == 2 * fromText.OrderDrawings.size());
    FUZZ_CHECK(twice.FinalDrawings.size() == 2 * fromText.FinalDrawings.size());
    for (std::size_t i = 0; i < fromText.Meetings.size(); ++i)
      FUZZ_CHECK(SameRecord(twice.Meetings[i], fromText.Meetings[i]));
  }

  // Another medium's INDEX_C.XML goes to its own slot only.
  if (kind == fkIndex && (selector & 0x20)) {
    DeliveryStore other;
    TKKTXMLRead otherReader(other);
    FUZZ_CHECK(WriteWholeFile(diskPath, content));
    otherReader.ReadOtherIndex(diskPath);
    ::unlink(diskPath.c_str());
    CheckStore(other, fkOtherIndex, text);
    FUZZ_CHECK(SameRecord(other.IndexRecords[fkOtherIndex], fromFile.IndexRecords[fkIndex]));
  }
  return 0;
}
