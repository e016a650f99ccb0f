#include "compare/delivery_diff.h"

#include <algorithm>
#include <deque>
#include <map>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

#include "check/viewer_model.h"
#include "compare/file_digests.h"
#include "model/tree_view.h"
#include "delivery/prompts.h"
#include "platform/drive.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace dlvr {

const char* TChange::KindName(TChangeKind kind) {
  switch (kind) {
    case TChangeKind::Added: return "added";
    case TChangeKind::Removed: return "removed";
    case TChangeKind::Changed: return "changed";
    case TChangeKind::Moved: return "moved";
  }
  return "";
}

const char* TChange::WhatName(TChangeWhat what) {
  switch (what) {
    case TChangeWhat::File: return "file";
    case TChangeWhat::Record: return "record";
    case TChangeWhat::Field: return "field";
  }
  return "";
}

namespace {

// --- loading ---

void TakeRecords(DeliveryStore& store, const std::vector<TMdlTreeView::TLoadedMedium>& media, TComparedDelivery& out,
                 bool photos) {
  if (!store.IndexRecords.empty()) out.Index = store.IndexRecords[fkIndex];
  out.OrderDrawings = store.OrderDrawings;
  out.FinalDrawings = store.FinalDrawings;
  out.Meetings = store.Meetings;
  out.Plans = store.Plans;
  out.Others = store.Others;
  for (const auto& m : media) out.Media.push_back({m.MediaNo, m.Folder});
  if (photos) ReadComparedPhotos(out);
}

// While it lives, the calling thread reads every folder as a fixed disk and
// asks nobody; the thread's earlier rules come back after.
class TComparedReadScope {
 public:
  TComparedReadScope() {
    SetThreadDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
    SetThreadPromptService(&SilentPrompts());
  }
  ~TComparedReadScope() {
    SetThreadDriveTypeOverride(nullptr);
    SetThreadPromptService(nullptr);
  }
  TComparedReadScope(const TComparedReadScope&) = delete;
  TComparedReadScope& operator=(const TComparedReadScope&) = delete;
};

// --- alignment of the items of a list ---

// The items of two lists paired: (old, new) places, -1 for none. Items of
// equal key are anchors (a longest common subsequence); between anchors the
// rest is paired by position, what is left over added or removed. Lists too
// long for the table are paired by position alone.
std::vector<std::pair<int, int>> AlignDiffItems(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  const std::size_t n = a.size(), m = b.size();
  std::vector<std::pair<int, int>> anchors;
  if (n * m <= 4'000'000) {
    std::vector<std::uint32_t> lcs((n + 1) * (m + 1), 0);
    auto at = [&](std::size_t i, std::size_t j) -> std::uint32_t& { return lcs[i * (m + 1) + j]; };
    for (std::size_t i = n; i-- > 0;)
      for (std::size_t j = m; j-- > 0;)
        at(i, j) = a[i] == b[j] ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
    for (std::size_t i = 0, j = 0; i < n && j < m;) {
      if (a[i] == b[j]) {
        anchors.emplace_back(static_cast<int>(i++), static_cast<int>(j++));
      } else if (at(i + 1, j) >= at(i, j + 1)) {
        ++i;
      } else {
        ++j;
      }
    }
  }
  std::vector<std::pair<int, int>> out;
  int i0 = 0, j0 = 0;
  anchors.emplace_back(static_cast<int>(n), static_cast<int>(m));
  for (auto [ia, jb] : anchors) {
    const int common = std::min(ia - i0, jb - j0);
    for (int k = 0; k < common; ++k) out.emplace_back(i0 + k, j0 + k);
    for (int j = j0 + common; j < jb; ++j) out.emplace_back(-1, j);
    for (int i = i0 + common; i < ia; ++i) out.emplace_back(i, -1);
    if (ia < static_cast<int>(n) && jb < static_cast<int>(m)) out.emplace_back(ia, jb);
    i0 = ia + 1;
    j0 = jb + 1;
  }
  return out;
}

std::string Indexed(const std::string& name, int index) { return name + "[" + std::to_string(index + 1) + "]"; }

// --- the changes of one record ---

// Where the changes of one record go: its class and places, and the printed
// place of the record ("打合せ簿 / 工程打合せ").
struct TRecordSink {
  std::vector<TChange>& Out;
  int Class = 0;
  int OldRecord = -1, NewRecord = -1;
  std::string Place;

  void Field(TChangeKind kind, const std::string& field, const std::string& oldValue, const std::string& newValue) {
    TChange c;
    c.Kind = kind;
    c.What = TChangeWhat::Field;
    c.Where = Place + " / " + field;
    c.Old = oldValue;
    c.New = newValue;
    c.Class = Class;
    c.OldRecord = OldRecord;
    c.NewRecord = NewRecord;
    c.Field = field;
    Out.push_back(std::move(c));
  }
  void Record(TChangeKind kind) {
    TChange c;
    c.Kind = kind;
    c.What = TChangeWhat::Record;
    c.Where = Place;
    c.Class = Class;
    c.OldRecord = OldRecord;
    c.NewRecord = NewRecord;
    Out.push_back(std::move(c));
  }
};

void DiffText(TRecordSink& sink, const std::string& field, const std::string& a, const std::string& b) {
  if (a != b) sink.Field(TChangeKind::Changed, field, a, b);
}

void DiffList(TRecordSink& sink, const std::string& field, const std::vector<std::string>& a,
              const std::vector<std::string>& b) {
  if (a == b) return;
  for (auto [i, j] : AlignDiffItems(a, b)) {
    if (i >= 0 && j >= 0) {
      DiffText(sink, Indexed(field, j), a[static_cast<std::size_t>(i)], b[static_cast<std::size_t>(j)]);
    } else if (j >= 0) {
      sink.Field(TChangeKind::Added, Indexed(field, j), std::string(), b[static_cast<std::size_t>(j)]);
    } else {
      sink.Field(TChangeKind::Removed, Indexed(field, i), a[static_cast<std::size_t>(i)], std::string());
    }
  }
}

// List items of structure, aligned by a key of each and compared by `fields`.
template <class T, class Key, class Fields>
void DiffStructList(TRecordSink& sink, const std::string& field, const std::vector<T>& a, const std::vector<T>& b,
                    const Key& key, const Fields& fields) {
  std::vector<std::string> ka, kb;
  for (const T& t : a) ka.push_back(key(t));
  for (const T& t : b) kb.push_back(key(t));
  for (auto [i, j] : AlignDiffItems(ka, kb)) {
    if (i >= 0 && j >= 0) {
      fields(Indexed(field, j) + " / ", a[static_cast<std::size_t>(i)], b[static_cast<std::size_t>(j)]);
    } else if (j >= 0) {
      sink.Field(TChangeKind::Added, Indexed(field, j), std::string(), kb[static_cast<std::size_t>(j)].empty()
                                                                           ? std::string()
                                                                           : key(b[static_cast<std::size_t>(j)], true));
    } else {
      sink.Field(TChangeKind::Removed, Indexed(field, i),
                 ka[static_cast<std::size_t>(i)].empty() ? std::string() : key(a[static_cast<std::size_t>(i)], true),
                 std::string());
    }
  }
}

template <class R>
void DiffRecordFields(TRecordSink& sink, const R& a, const R& b) {
  for (const TFieldDef<R>& f : R::Fields()) {
    if (f.Text) {
      DiffText(sink, f.Element, a.*f.Text, b.*f.Text);
    } else if (f.List) {
      DiffList(sink, f.Element, a.*f.List, b.*f.List);
    } else if constexpr (requires { R::OrgElements; }) {
      auto key = [](const TMdlTreeNodeOrg& o, bool shown = false) { return shown ? o.OrgFile : AsciiUpper(o.OrgFile); };
      auto fields = [&](const std::string& prefix, const TMdlTreeNodeOrg& x, const TMdlTreeNodeOrg& y) {
        DiffText(sink, prefix + R::OrgElements[0], x.OrgFile, y.OrgFile);
        DiffText(sink, prefix + R::OrgElements[1], x.OrgSoftVersion, y.OrgSoftVersion);
        DiffText(sink, prefix + R::OrgElements[2], x.OrgContent, y.OrgContent);
      };
      DiffStructList(sink, f.Element, a.*f.Orgs, b.*f.Orgs, key, fields);
    }
  }
}

void DiffPhotoFields(TRecordSink& sink, const TPhotoRecord& a, const TPhotoRecord& b) {
  DiffText(sink, "シリアル番号", a.Serial, b.Serial);
  DiffText(sink, "写真ファイル名", a.FileName, b.FileName);
  DiffText(sink, "写真ファイル日本語名", a.JapaneseName, b.JapaneseName);
  DiffText(sink, "メディア番号", a.MediaNo, b.MediaNo);
  DiffText(sink, "写真-大分類", a.MajorClass, b.MajorClass);
  DiffText(sink, "写真区分", a.Division, b.Division);
  DiffText(sink, "工種", a.WorkType, b.WorkType);
  DiffText(sink, "種別", a.Kind, b.Kind);
  DiffText(sink, "細別", a.Detail, b.Detail);
  DiffText(sink, "写真タイトル", a.Title, b.Title);
  DiffList(sink, "工種区分予備", a.ClassSpares, b.ClassSpares);
  auto refKey = [](const TPhotoReference& r, bool shown = false) { return shown ? r.FileName : AsciiUpper(r.FileName); };
  auto refFields = [&](const std::string& prefix, const TPhotoReference& x, const TPhotoReference& y) {
    DiffText(sink, prefix + "参考図ファイル名", x.FileName, y.FileName);
    DiffText(sink, prefix + "参考図ファイル日本語名", x.JapaneseName, y.JapaneseName);
    DiffText(sink, prefix + "参考図タイトル", x.Title, y.Title);
    DiffList(sink, prefix + "付加情報予備", x.Spares, y.Spares);
  };
  DiffStructList(sink, "付加情報", a.References, b.References, refKey, refFields);
  DiffText(sink, "撮影箇所", a.Place, b.Place);
  DiffText(sink, "撮影年月日", a.Date, b.Date);
  DiffText(sink, "代表写真", a.Representative, b.Representative);
  DiffText(sink, "提出頻度写真", a.Frequency, b.Frequency);
  DiffText(sink, "施工管理値", a.ControlValue, b.ControlValue);
  DiffText(sink, "請負者説明文", a.Explanation, b.Explanation);
  // Elements the reader does not know: by element name, item by item.
  auto extraKey = [](const TPhotoExtra& e, bool shown = false) { return shown ? e.Value : e.Element; };
  std::vector<std::string> ka, kb;
  for (const TPhotoExtra& e : a.Extra) ka.push_back(e.Element);
  for (const TPhotoExtra& e : b.Extra) kb.push_back(e.Element);
  for (auto [i, j] : AlignDiffItems(ka, kb)) {
    if (i >= 0 && j >= 0)
      DiffText(sink, b.Extra[static_cast<std::size_t>(j)].Element, a.Extra[static_cast<std::size_t>(i)].Value,
               b.Extra[static_cast<std::size_t>(j)].Value);
    else if (j >= 0)
      sink.Field(TChangeKind::Added, kb[static_cast<std::size_t>(j)], std::string(),
                 extraKey(b.Extra[static_cast<std::size_t>(j)], true));
    else
      sink.Field(TChangeKind::Removed, ka[static_cast<std::size_t>(i)],
                 extraKey(a.Extra[static_cast<std::size_t>(i)], true), std::string());
  }
}

// --- identity of records ---

std::string OrgNamesKey(const std::vector<TMdlTreeNodeOrg>& orgs) {
  std::string key;
  for (const TMdlTreeNodeOrg& o : orgs) {
    if (o.OrgFile.empty()) continue;
    if (!key.empty()) key += '\x1f';
    key += AsciiUpper(o.OrgFile);
  }
  return key;
}

std::string IdentityKey(const TMdlTreeNodeDraw& d, int) { return AsciiUpper(d.DrawFile); }
std::string IdentityKey(const TMdlTreeNodeMeet& r, int pass) {
  if (pass == 0) return OrgNamesKey(r.Orgs);
  return r.MeetName.empty() && r.IssueDate.empty() ? std::string() : r.MeetName + '\x1f' + r.IssueDate;
}
std::string IdentityKey(const TMdlTreeNodePlan& r, int pass) { return pass == 0 ? OrgNamesKey(r.Orgs) : r.PlanName; }
std::string IdentityKey(const TMdlTreeNodeOthrs& r, int pass) { return pass == 0 ? OrgNamesKey(r.Orgs) : r.DocName; }
std::string IdentityKey(const TPhotoRecord& p, int) {
  if (!p.FileName.empty()) return "F" + AsciiUpper(p.FileName);
  return p.Serial.empty() ? std::string() : "S" + p.Serial;
}
int IdentityPasses(const TMdlTreeNodeDraw&) { return 1; }
int IdentityPasses(const TPhotoRecord&) { return 1; }
template <class R>
int IdentityPasses(const R&) {
  return 2;
}

std::string RecordPlace(const TMdlTreeNodeDraw& d) { return d.DrawFile; }
std::string RecordPlace(const TMdlTreeNodeMeet& r) {
  if (!r.MeetName.empty()) return r.MeetName;
  return r.ManageClass.empty() ? r.MeetKind : r.MeetKind + "(" + r.ManageClass + ")";
}
std::string RecordPlace(const TMdlTreeNodePlan& r) { return r.PlanName; }
std::string RecordPlace(const TMdlTreeNodeOthrs& r) { return r.DocName; }
std::string RecordPlace(const TPhotoRecord& p) { return p.FileName.empty() ? p.Serial : p.FileName; }

// The running number of a record (シリアル番号); none for drawings.
template <class R>
std::string R::*SerialMember() {
  if constexpr (std::is_same_v<R, TMdlTreeNodeDraw>)
    return nullptr;
  else if constexpr (std::is_same_v<R, TPhotoRecord>)
    return &TPhotoRecord::Serial;
  else
    return &R::SerialNo;
}

void DiffFieldsOf(TRecordSink& sink, const TPhotoRecord& a, const TPhotoRecord& b) { DiffPhotoFields(sink, a, b); }
template <class R>
void DiffFieldsOf(TRecordSink& sink, const R& a, const R& b) {
  DiffRecordFields(sink, a, b);
}

// A matched record's fields compared. A シリアル番号 that is the record's
// running number on both sides (its place in its list counted from 1, as
// written) follows from the records around it: an insertion renumbers every
// record after it, which is not a change of theirs. Any other change of it is.
template <class R>
void DiffMatched(TRecordSink& sink, const R& a, std::size_t i, const R& b, std::size_t j) {
  if (std::string R::*serial = SerialMember<R>();
      serial && a.*serial != b.*serial && a.*serial == std::to_string(i + 1) && b.*serial == std::to_string(j + 1)) {
    R renumbered = a;
    renumbered.*serial = b.*serial;
    DiffFieldsOf(sink, renumbered, b);
    return;
  }
  DiffFieldsOf(sink, a, b);
}

// The records of one class matched and their changes appended.
template <class R>
void DiffClass(int cls, const std::vector<R>& older, const std::vector<R>& newer, std::vector<TChange>& out) {
  std::vector<int> newToOld(newer.size(), -1), oldToNew(older.size(), -1);
  const int passes = older.empty() ? 0 : IdentityPasses(older.front());
  for (int pass = 0; pass < passes; ++pass) {
    // The unmatched old records of each key, in order: the k-th record of a
    // key in NEW takes the k-th in OLD.
    std::unordered_map<std::string, std::deque<int>> byKey;
    for (std::size_t i = 0; i < older.size(); ++i)
      if (oldToNew[i] < 0)
        if (std::string key = IdentityKey(older[i], pass); !key.empty())
          byKey[std::move(key)].push_back(static_cast<int>(i));
    for (std::size_t j = 0; j < newer.size(); ++j) {
      if (newToOld[j] >= 0) continue;
      const std::string key = IdentityKey(newer[j], pass);
      if (key.empty()) continue;
      auto it = byKey.find(key);
      if (it == byKey.end() || it->second.empty()) continue;
      const int i = it->second.front();
      it->second.pop_front();
      newToOld[j] = i;
      oldToNew[static_cast<std::size_t>(i)] = static_cast<int>(j);
    }
  }
  // A removed record goes after the NEW place of the matched record it
  // followed in OLD; before everything when none came before it.
  std::vector<int> head;
  std::vector<std::vector<int>> after(newer.size());
  int lastNew = -1;
  for (std::size_t i = 0; i < older.size(); ++i) {
    if (oldToNew[i] >= 0)
      lastNew = oldToNew[i];
    else
      (lastNew < 0 ? head : after[static_cast<std::size_t>(lastNew)]).push_back(static_cast<int>(i));
  }
  const std::string caption = DocClassTable[cls].Caption;
  auto removed = [&](const std::vector<int>& list, int afterNew) {
    for (int i : list) {
      TRecordSink sink{out, cls, i, -1, caption + " / " + RecordPlace(older[static_cast<std::size_t>(i)])};
      sink.Record(TChangeKind::Removed);
      out.back().AfterRecord = afterNew;
    }
  };
  removed(head, -1);
  for (std::size_t j = 0; j < newer.size(); ++j) {
    const int i = newToOld[j];
    TRecordSink sink{out, cls, i, static_cast<int>(j), caption + " / " + RecordPlace(newer[j])};
    if (i < 0)
      sink.Record(TChangeKind::Added);
    else
      DiffMatched(sink, older[static_cast<std::size_t>(i)], static_cast<std::size_t>(i), newer[j], j);
    removed(after[j], static_cast<int>(j));
  }
}

// --- files ---

// The management files, compared as records only (upper-case paths below a
// medium).
bool IsManagementFile(const std::string& upperRelative) {
  static const std::unordered_set<std::string> names = {
      "INDEX_C.XML",         "DRAWINGS/DRAWINGS.XML", "MEET/MEET.XML",   "PLAN/PLAN.XML",
      "DRAWINGF/DRAWINGF.XML", "PHOTO/PHOTO.XML",     "OTHRS/OTHRS.XML",
  };
  return names.count(upperRelative) > 0;
}

struct TSideFile {
  TMediumFile File;
  std::string Shown;  // the printed path
  std::string Key;    // the printed path upper-cased
  int Job = -1;       // its digest job, -1 when not hashed
};

std::vector<TSideFile> SideFiles(const TComparedDelivery& d) {
  std::vector<TSideFile> out;
  std::unordered_set<std::string> keys;
  std::unordered_set<std::string> folders;
  for (const TComparedMedium& m : d.Media) {
    if (!folders.insert(m.Folder).second) continue;
    for (TMediumFile& f : ListMediumFiles(m.Folder, m.MediaNo)) {
      std::string upper = AsciiUpper(f.Relative);
      if (IsManagementFile(upper)) continue;
      TSideFile s;
      s.Shown = f.Relative;
      s.Key = std::move(upper);
      // A path the delivery already holds on an earlier medium is told apart
      // by its medium's number; names of one folder that differ in case
      // alone, after the first, by their spelling too.
      if (!keys.insert(s.Key).second) {
        const std::string prefix = std::to_string(m.MediaNo) + ":";
        s.Shown = prefix + s.Shown;
        s.Key = prefix + s.Key;
        if (!keys.insert(s.Key).second) {
          s.Key = s.Shown;
          if (!keys.insert(s.Key).second) continue;
        }
      }
      s.File = std::move(f);
      out.push_back(std::move(s));
    }
  }
  return out;
}

void DiffFiles(const TComparedDelivery& older, const TComparedDelivery& newer, const TCompareOptions& options,
               std::vector<TChange>& out) {
  std::vector<TSideFile> a = SideFiles(older), b = SideFiles(newer);
  std::unordered_map<std::string, std::size_t> aByKey, bByKey;
  for (std::size_t i = 0; i < a.size(); ++i) aByKey.emplace(a[i].Key, i);
  for (std::size_t j = 0; j < b.size(); ++j) bByKey.emplace(b[j].Key, j);

  // Only what can be equal is hashed: a file of the same path and size on
  // both sides, and a file of one side alone whose size a file of the other
  // side alone has (a move).
  std::unordered_set<std::uint64_t> aLoneSizes, bLoneSizes;
  for (const TSideFile& f : a)
    if (!bByKey.count(f.Key)) aLoneSizes.insert(f.File.Size);
  for (const TSideFile& f : b)
    if (!aByKey.count(f.Key)) bLoneSizes.insert(f.File.Size);
  std::vector<TDigestJob> jobs;
  auto hash = [&jobs](TSideFile& f) {
    f.Job = static_cast<int>(jobs.size());
    TDigestJob job;
    job.Path = &f.File.Full;
    jobs.push_back(std::move(job));
  };
  for (TSideFile& f : a) {
    auto other = bByKey.find(f.Key);
    if (other != bByKey.end() ? b[other->second].File.Size == f.File.Size : bLoneSizes.count(f.File.Size) > 0) hash(f);
  }
  for (TSideFile& f : b) {
    auto other = aByKey.find(f.Key);
    if (other != aByKey.end() ? a[other->second].File.Size == f.File.Size : aLoneSizes.count(f.File.Size) > 0) hash(f);
  }
  DigestFiles(jobs, options.HashThreads, options.Cancel);
  if (options.Cancel && options.Cancel->load()) return;
  if (options.OnProblem)
    for (const TDigestJob& job : jobs)
      if (!job.Done) options.OnProblem(*job.Path, job.Why);
  auto sameContent = [&jobs](const TSideFile& x, const TSideFile& y) {
    if (x.Job < 0 || y.Job < 0) return false;
    const TDigestJob& jx = jobs[static_cast<std::size_t>(x.Job)];
    const TDigestJob& jy = jobs[static_cast<std::size_t>(y.Job)];
    return jx.Done && jy.Done && jx.Digest == jy.Digest;
  };
  auto change = [](TChangeKind kind, const TSideFile* x, const TSideFile* y) {
    TChange c;
    c.Kind = kind;
    c.What = TChangeWhat::File;
    c.Where = y ? y->Shown : x->Shown;
    if (x) {
      c.OldPath = x->Shown;
      c.OldFile = x->File.Full;
    }
    if (y) {
      c.NewPath = y->Shown;
      c.NewFile = y->File.Full;
    }
    if (kind == TChangeKind::Moved) {
      c.Old = c.OldPath;
      c.New = c.NewPath;
    }
    return c;
  };

  std::vector<TChange> files;
  // Files of OLD alone by content, for the moves; taken in path order.
  std::map<TSha256, std::deque<std::size_t>> aLoneByDigest;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!bByKey.count(a[i].Key) && a[i].Job >= 0 && jobs[static_cast<std::size_t>(a[i].Job)].Done)
      aLoneByDigest[jobs[static_cast<std::size_t>(a[i].Job)].Digest].push_back(i);
  std::vector<bool> aMoved(a.size(), false);
  for (const TSideFile& f : b) {
    auto other = aByKey.find(f.Key);
    if (other != aByKey.end()) {
      const TSideFile& o = a[other->second];
      if (!sameContent(o, f)) files.push_back(change(TChangeKind::Changed, &o, &f));
      continue;
    }
    if (f.Job >= 0 && jobs[static_cast<std::size_t>(f.Job)].Done) {
      auto hit = aLoneByDigest.find(jobs[static_cast<std::size_t>(f.Job)].Digest);
      if (hit != aLoneByDigest.end() && !hit->second.empty()) {
        const std::size_t i = hit->second.front();
        hit->second.pop_front();
        aMoved[i] = true;
        files.push_back(change(TChangeKind::Moved, &a[i], &f));
        continue;
      }
    }
    files.push_back(change(TChangeKind::Added, nullptr, &f));
  }
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!bByKey.count(a[i].Key) && !aMoved[i]) files.push_back(change(TChangeKind::Removed, &a[i], nullptr));
  std::stable_sort(files.begin(), files.end(), [](const TChange& x, const TChange& y) { return x.Where < y.Where; });
  for (TChange& c : files) out.push_back(std::move(c));
}

}  // namespace

void ReadComparedPhotos(TComparedDelivery& delivery) {
  std::vector<TPhotoMedium> photoMedia;
  for (const TComparedMedium& m : delivery.Media) photoMedia.push_back({m.MediaNo, m.Folder});
  TPhotoStore photos;
  photos.Load(photoMedia);
  delivery.Photos = photos.Records();
}

TComparedDelivery ReadComparedDelivery(const std::vector<std::string>& folders, std::size_t* loadedMedia,
                                       const TReadComparedOptions& options) {
  TComparedReadScope scope;
  auto cancelled = [&options] { return options.Cancel && options.Cancel->load(); };
  TComparedDelivery out;
  DeliveryStore store;
  TViewerModel model(store);
  model.View.Services.FillFieldTables = nullptr;  // no value table is read
  model.View.Services.RecordItems = false;        // the records are read from the store
  model.View.MakeWorkCopies = false;              // nothing is written
  model.View.OnProgress = options.OnProgress;
  for (const std::string& f : folders) {
    if (cancelled()) break;
    model.View.Load(f);
  }
  const bool photos = options.Photos && !cancelled();
  if (photos && options.OnProgress) options.OnProgress(std::string(), 0);
  TakeRecords(store, model.View.ReachableMedia(), out, photos);
  if (loadedMedia) *loadedMedia = model.View.ReachableMedia().size();
  return out;
}

TComparedDelivery ComparedDeliveryOf(TMdlTreeView& view, bool photos) {
  TComparedDelivery out;
  TakeRecords(view.Store(), view.ReachableMedia(), out, photos);
  return out;
}

std::vector<TChange> CompareDeliveries(const TComparedDelivery& older, const TComparedDelivery& newer,
                                       const TCompareOptions& options) {
  std::vector<TChange> out;
  {
    // メディア番号 names the medium read last, not the delivery: the media
    // themselves are compared through their files.
    TMdlTreeNodeIndex oldIndex = older.Index;
    oldIndex.MediaNo = newer.Index.MediaNo;
    TRecordSink sink{out, 0, 0, 0, "INDEX_C.XML"};
    DiffRecordFields(sink, oldIndex, newer.Index);
  }
  DiffClass(1, older.OrderDrawings, newer.OrderDrawings, out);
  DiffClass(2, older.Meetings, newer.Meetings, out);
  DiffClass(3, older.Plans, newer.Plans, out);
  DiffClass(4, older.FinalDrawings, newer.FinalDrawings, out);
  DiffClass(5, older.Photos, newer.Photos, out);
  DiffClass(6, older.Others, newer.Others, out);
  if (options.Cancel && options.Cancel->load()) return {};
  DiffFiles(older, newer, options, out);
  if (options.Cancel && options.Cancel->load()) return {};
  return out;
}

}  // namespace dlvr
