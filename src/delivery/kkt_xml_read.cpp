#include "delivery/kkt_xml_read.h"

#include <cstring>
#include <type_traits>

#include "platform/paths.h"
#include "platform/text.h"

namespace dlvr {
namespace {

const char* const kFileNames[] = {"INDEX_C.XML", "DRAWINGS.XML", "MEET.XML", "PLAN.XML", "DRAWINGF.XML", "OTHRS.XML"};
const int kFileKinds[] = {fkIndex, fkDrawings, fkMeet, fkPlan, fkDrawingF, fkOthrs};

bool StartsWithUpper(const std::string& tag, const char* prefix) {
  std::size_t n = std::strlen(prefix);
  return tag.size() >= n && AsciiUpper(std::string_view(tag).substr(0, n)) == prefix;
}

template <class R>
void StoreValue(R& rec, const TFieldDef<R>& f, std::string value) {
  if (f.Text)
    rec.*f.Text = std::move(value);
  else if (f.List)
    (rec.*f.List).push_back(std::move(value));
}

// A drawing keeps its 予備 values in one text, joined with "、".
void StoreValue(TMdlTreeNodeDraw& rec, const TFieldDef<TMdlTreeNodeDraw>& f, std::string value) {
  if (f.Text == &TMdlTreeNodeDraw::Reserve) {
    if (rec.Reserve.empty())
      rec.Reserve = std::move(value);
    else
      rec.Reserve += "、" + value;
    return;
  }
  rec.*f.Text = std::move(value);
}

}  // namespace

int TKKTXMLRead::KindOfFileName(const std::string& path) {
  std::string name = AsciiUpper(ExtractFileName(path));
  for (std::size_t i = 0; i < std::size(kFileNames); ++i)
    if (name == kFileNames[i]) return kFileKinds[i];
  return -1;
}

bool TKKTXMLRead::ReadFile(const std::string& path) {
  int kind = KindOfFileName(path);
  if (kind < 0) return false;
  fileKind_ = kind;
  failed_ = false;
  ParseFile(path);
  return failed_;
}

bool TKKTXMLRead::ReadOtherIndex(const std::string& path) {
  fileKind_ = fkOtherIndex;
  store_.IndexRecords[fkOtherIndex].Clear();
  failed_ = false;
  ParseFile(path);
  return failed_;
}

bool TKKTXMLRead::ParseFile(const std::string& path) {
  failed_ = false;
  std::string resolved = ResolveCase(path);
  if (!FileExists(resolved)) return false;
  TTagReader reader;
  if (!reader.LoadFromFile(resolved)) {
    failed_ = true;
    return false;
  }
  Walk(reader);
  return !failed_;
}

bool TKKTXMLRead::ReadText(std::string text, int kind) {
  fileKind_ = kind;
  failed_ = false;
  TTagReader reader;
  reader.LoadFromText(std::move(text));
  Walk(reader);
  return failed_;
}

void TKKTXMLRead::Walk(TTagReader& r) {
  if (fileKind_ < 0 || fileKind_ >= kIndexRecordCount) fileKind_ = fkUnassigned;
  r.ReadNextTag();
  while (!r.IsStopTag("")) {
    const std::string& tag = r.Tag();
    if (StartsWithUpper(tag, "CONSTDATA")) {
      ReadConstData(r);
    } else if (StartsWithUpper(tag, "DRAWINGDATA")) {
      ReadRoot(r, "/DRAWINGDATA", "図面情報", fileKind_ == fkDrawings ? store_.OrderDrawings : store_.FinalDrawings);
    } else if (StartsWithUpper(tag, "MEETDATA")) {
      ReadRoot(r, "/MEETDATA", "打合せ簿情報", store_.Meetings);
    } else if (StartsWithUpper(tag, "PLANDATA")) {
      ReadRoot(r, "/PLANDATA", "施工計画書情報", store_.Plans);
    } else if (StartsWithUpper(tag, "OTHRSDATA")) {
      ReadRoot(r, "/OTHRSDATA", "その他資料情報", store_.Others);
    } else {
      r.ReadNextTag();
    }
  }
  if (r.Failed()) failed_ = true;
}

// Reads the elements of one group (or of the fields directly in an item when
// `group` is "") into `rec` until the group's closing tag.
template <class R>
void TKKTXMLRead::ReadGroup(TTagReader& r, R& rec, const char* group) {
  const std::string close = std::string("/") + group;
  while (!r.IsStopTag(close)) {
    for (const TFieldDef<R>& f : R::Fields()) {
      if ((f.Text || f.List) && std::strcmp(f.Group, group) == 0 && r.Tag() == f.Element) {
        StoreValue(rec, f, r.ReadValue(f.Element));
        break;
      }
    }
    r.ReadNextTag();
  }
}

void TKKTXMLRead::ReadConstData(TTagReader& r) {
  static const char* const kGroups[] = {"基礎情報", "ソフトウェア情報", "工事件名等", "場所情報", "施設情報", "発注者情報", "請負者情報"};
  TMdlTreeNodeIndex& rec = store_.IndexRecords[static_cast<std::size_t>(fileKind_)];
  while (!r.IsStopTag("/CONSTDATA")) {
    for (const char* group : kGroups)
      if (AsciiUpper(r.Tag()) == group) ReadGroup(r, rec, group);
    if (AsciiUpper(r.Tag()) == "予備") rec.Reserves.push_back(r.ReadValue("予備"));
    r.ReadNextTag();
  }
}

template <class R>
void TKKTXMLRead::ReadRoot(TTagReader& r, const char* closeTag, const char* itemElement, std::vector<R>& list) {
  store_.ResetDrawFileNames();
  while (!r.IsStopTag(closeTag)) {
    std::string upper = AsciiUpper(r.Tag());
    if (upper == "ソフトウェア情報") {
      ReadGroup(r, store_.IndexRecords[static_cast<std::size_t>(fileKind_)], "ソフトウェア情報");
    } else if (upper == itemElement) {
      list.emplace_back();
      ReadItem(r, list.back(), itemElement);
    }
    r.ReadNextTag();
  }
}

void TKKTXMLRead::ReadOrg(TTagReader& r, TMdlTreeNodeOrg& org, const char* const elements[3]) {
  std::string* const fields[3] = {&org.OrgFile, &org.OrgSoftVersion, &org.OrgContent};
  while (!r.IsStopTag("/オリジナルファイル情報")) {
    for (int i = 0; i < 3; ++i) {
      if (r.Tag() == elements[i]) {
        *fields[i] = r.ReadValue(elements[i]);
        break;
      }
    }
    r.ReadNextTag();
  }
}

template <class R>
void TKKTXMLRead::ReadItem(TTagReader& r, R& rec, const char* itemElement) {
  const std::string close = std::string("/") + itemElement;
  while (!r.IsStopTag(close)) {
    const std::string& tag = r.Tag();
    bool handled = false;
    for (const TFieldDef<R>& f : R::Fields()) {
      if (f.Group[0] == '\0' && f.Text && tag == f.Element) {
        std::string value = r.ReadValue(f.Element);
        if constexpr (std::is_same_v<R, TMdlTreeNodeDraw>) {
          if (f.Text == &TMdlTreeNodeDraw::DrawFile) store_.NoteDrawFileName(AsciiUpper(value));
        }
        rec.*f.Text = std::move(value);
        handled = true;
        break;
      }
    }
    if (!handled) {
      if constexpr (std::is_same_v<R, TMdlTreeNodeDraw>) {
        for (const char* group : {"場所情報", "基準点情報", "その他"}) {
          if (r.Tag() == group) {
            ReadGroup(r, rec, group);
            break;
          }
        }
      } else {
        if (r.Tag() == "その他") {
          ReadGroup(r, rec, "その他");
        } else if (AsciiUpper(r.Tag()) == "オリジナルファイル情報") {
          rec.Orgs.emplace_back();
          ReadOrg(r, rec.Orgs.back(), R::OrgElements);
        }
      }
    }
    r.ReadNextTag();
  }
}

}  // namespace dlvr
