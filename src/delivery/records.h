// The records read from a delivery's management files. Every field holds the
// text as read (UTF-8), never converted to numbers or dates.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace dlvr {

using TStringList = std::vector<std::string>;

// A field of a record: its name, the group element that holds it ("" for a
// field directly in the item or root), the element, and where it lives.
// Exactly one of the member pointers is set.
template <class R>
struct TFieldDef;

struct TMdlTreeNodeOrg;

template <class R>
struct TFieldDef {
  const char* Name;
  const char* Group;
  const char* Element;
  std::string R::*Text = nullptr;
  TStringList R::*List = nullptr;
  std::vector<TMdlTreeNodeOrg> R::*Orgs = nullptr;
};

// An original file of a meeting record, plan or other document.
struct TMdlTreeNodeOrg {
  std::string OrgFile;
  std::string OrgSoftVersion;
  std::string OrgContent;

  void Clear();
  void Assign(const TMdlTreeNodeOrg& src) { *this = src; }
  static const std::vector<TFieldDef<TMdlTreeNodeOrg>>& Fields();
};

// The management record of INDEX_C.XML (slot 0), the software information of
// a sub-management file (slots 1-6) or another medium's INDEX_C.XML (slot 8).
struct TMdlTreeNodeIndex {
  std::string MediaNo, MediaCount, OrderDrawFolder, SpecOrgFolder, MeetFolder, MeetOrgFolder, PlanFolder,
      PlanOrgFolder, DrawFolder, PhotoFolder, OthrsFolder, OthrsOrgFolder;
  std::string SoftName, SoftVersion, MakerName, MakerContact, MakerTag;
  std::string OrderYear, KojiNo, RouteName, KojiName, KojiField, KojiIndustry;
  TStringList KojiTypes, MethodTypes, AddressCodes, Addresses;
  std::string StartDate, EndDate, KojiContent;
  std::string StartStationN, StartStationM, EndStationN, EndStationM, StartDistN, StartDistM, EndDistN, EndDistM;
  std::string WestLongitude, EastLongitude, NorthLatitude, SouthLatitude;
  std::string FacilityName;
  std::string OrdererClass1, OrdererClass2, OrdererClass3, OrdererCode;
  std::string ContractorName, ContractorCode;
  TStringList Reserves;

  void Clear() { *this = TMdlTreeNodeIndex(); }
  void Assign(const TMdlTreeNodeIndex& src) { *this = src; }
  // The 50 fields in record order.
  static const std::vector<TFieldDef<TMdlTreeNodeIndex>>& Fields();
};

// An element of a management file that no record takes: its path from the
// root, element names joined with "/" ("constdata/基礎情報/適用要領基準"), and
// its text as the reader would take it. Only elements without child elements
// are listed; an element holding text beside child elements is listed with
// that text when it is not blank.
struct TUnknownElement {
  std::string Path;
  std::string Value;

  bool operator==(const TUnknownElement&) const = default;
};

// The unknown elements of one management file, in document order. The file
// is untrusted, so the list is bounded: at most kMaxUnknownElements items,
// values cut at kMaxUnknownValueBytes (CP932 bytes, then "…"), paths at
// kMaxUnknownPathBytes (leading names dropped, "…/" first), and elements
// nested deeper than kMaxUnknownDepth are not listed; every element left
// out is counted in Omitted.
inline constexpr std::size_t kMaxUnknownElements = 2000;
inline constexpr std::size_t kMaxUnknownValueBytes = 1024;
inline constexpr std::size_t kMaxUnknownPathBytes = 512;
inline constexpr std::size_t kMaxUnknownDepth = 64;

struct TUnknownElements {
  std::vector<TUnknownElement> Items;
  std::size_t Omitted = 0;

  bool Empty() const { return Items.empty() && Omitted == 0; }
  void Clear() { *this = TUnknownElements(); }
};

// A drawing of DRAWINGS.XML or DRAWINGF.XML.
struct TMdlTreeNodeDraw {
  std::string DrawName, DrawFile, DrawAuthor, DrawSoft, DrawScale, DrawNo;
  std::string StartStationN, StartStationM, EndStationN, EndStationM, StartDistN, StartDistM, EndDistN, EndDistM;
  std::string WestLongitude, EastLongitude, NorthLatitude, SouthLatitude;
  std::string PlaneSystem, WestPlane, EastPlane, NorthPlane, SouthPlane, DetailAddress;
  std::string RefLatitude, RefLongitude, RefPlaneSystemNo, RefPlaneX, RefPlaneY;
  std::string ContractorNote, OrdererNote, ResultPlace;
  // Every 予備 value, joined with "、".
  std::string Reserve;

  void Clear() { *this = TMdlTreeNodeDraw(); }
  void Assign(const TMdlTreeNodeDraw& src) { *this = src; }
  static const std::vector<TFieldDef<TMdlTreeNodeDraw>>& Fields();
};

// A meeting record of MEET.XML.
struct TMdlTreeNodeMeet {
  std::string SerialNo, MeetKind, MeetName, ManageClass, MeetNo, MeetAuthor, SubmitTo, IssueDate, AcceptDate,
      FinishDate;
  std::vector<TMdlTreeNodeOrg> Orgs;
  std::string ContractorNote, OrdererNote;
  TStringList Reserves;

  void Clear() { *this = TMdlTreeNodeMeet(); }
  void Assign(const TMdlTreeNodeMeet& src) { *this = src; }
  static const std::vector<TFieldDef<TMdlTreeNodeMeet>>& Fields();
  // The elements of an original file in this record: file name, software
  // version, content.
  static const char* const OrgElements[3];
};

// A construction plan of PLAN.XML.
struct TMdlTreeNodePlan {
  std::string SerialNo, PlanName;
  std::vector<TMdlTreeNodeOrg> Orgs;
  std::string ContractorNote, OrdererNote;
  TStringList Reserves;

  void Clear() { *this = TMdlTreeNodePlan(); }
  void Assign(const TMdlTreeNodePlan& src) { *this = src; }
  static const std::vector<TFieldDef<TMdlTreeNodePlan>>& Fields();
  static const char* const OrgElements[3];
};

// Another document of OTHRS.XML.
struct TMdlTreeNodeOthrs {
  std::string SerialNo, DocName, DocKind, StorePlace;
  std::vector<TMdlTreeNodeOrg> Orgs;
  std::string ContractorNote, OrdererNote;
  TStringList Reserves;

  void Clear() { *this = TMdlTreeNodeOthrs(); }
  void Assign(const TMdlTreeNodeOthrs& src) { *this = src; }
  static const std::vector<TFieldDef<TMdlTreeNodeOthrs>>& Fields();
  static const char* const OrgElements[3];
};

}  // namespace dlvr
