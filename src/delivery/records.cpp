#include "delivery/records.h"

namespace dlvr {

void TMdlTreeNodeOrg::Clear() { *this = TMdlTreeNodeOrg(); }

const char* const TMdlTreeNodeMeet::OrgElements[3] = {"打合せ簿オリジナルファイル名", "打合せ簿オリジナルファイル作成ソフトバージョン情報", "オリジナルファイル内容"};
const char* const TMdlTreeNodePlan::OrgElements[3] = {"施工計画書オリジナルファイル名", "施工計画書オリジナルファイル作成ソフトバージョン情報", "オリジナルファイル内容"};
const char* const TMdlTreeNodeOthrs::OrgElements[3] = {"その他資料オリジナルファイル名", "その他資料オリジナルファイル作成ソフトバージョン情報", "オリジナルファイル内容"};

// The element of an original file's name and version differs by the record
// that holds it; the table names them as they appear in meeting records.
const std::vector<TFieldDef<TMdlTreeNodeOrg>>& TMdlTreeNodeOrg::Fields() {
  using R = TMdlTreeNodeOrg;
  static const std::vector<TFieldDef<R>> fields = {
      {"OrgFile", "", "打合せ簿オリジナルファイル名", &R::OrgFile},
      {"OrgSoftVersion", "", "打合せ簿オリジナルファイル作成ソフトバージョン情報", &R::OrgSoftVersion},
      {"OrgContent", "", "オリジナルファイル内容", &R::OrgContent},
  };
  return fields;
}

const std::vector<TFieldDef<TMdlTreeNodeIndex>>& TMdlTreeNodeIndex::Fields() {
  using R = TMdlTreeNodeIndex;
  static const std::vector<TFieldDef<R>> fields = {
      {"MediaNo", "基礎情報", "メディア番号", &R::MediaNo},
      {"MediaCount", "基礎情報", "メディア総枚数", &R::MediaCount},
      {"OrderDrawFolder", "基礎情報", "発注図面フォルダ名", &R::OrderDrawFolder},
      {"SpecOrgFolder", "基礎情報", "特記仕様書オリジナルファイルフォルダ名", &R::SpecOrgFolder},
      {"MeetFolder", "基礎情報", "打合せ簿フォルダ名", &R::MeetFolder},
      {"MeetOrgFolder", "基礎情報", "打合せ簿オリジナルファイルフォルダ名", &R::MeetOrgFolder},
      {"PlanFolder", "基礎情報", "施工計画書フォルダ名", &R::PlanFolder},
      {"PlanOrgFolder", "基礎情報", "施工計画書オリジナルファイルフォルダ名", &R::PlanOrgFolder},
      {"DrawFolder", "基礎情報", "完成図面フォルダ名", &R::DrawFolder},
      {"PhotoFolder", "基礎情報", "写真フォルダ名", &R::PhotoFolder},
      {"OthrsFolder", "基礎情報", "その他フォルダ名", &R::OthrsFolder},
      {"OthrsOrgFolder", "基礎情報", "その他オリジナルファイルフォルダ名", &R::OthrsOrgFolder},
      {"SoftName", "ソフトウェア情報", "ソフトウェア名", &R::SoftName},
      {"SoftVersion", "ソフトウェア情報", "バージョン情報", &R::SoftVersion},
      {"MakerName", "ソフトウェア情報", "メーカ名", &R::MakerName},
      {"MakerContact", "ソフトウェア情報", "メーカ連絡先", &R::MakerContact},
      {"MakerTag", "ソフトウェア情報", "ソフトメーカ用TAG", &R::MakerTag},
      {"OrderYear", "工事件名等", "発注年度", &R::OrderYear},
      {"KojiNo", "工事件名等", "工事番号", &R::KojiNo},
      {"RouteName", "工事件名等", "路線水系名等", &R::RouteName},
      {"KojiName", "工事件名等", "工事名称", &R::KojiName},
      {"KojiField", "工事件名等", "工事分野", &R::KojiField},
      {"KojiIndustry", "工事件名等", "工事業種", &R::KojiIndustry},
      {"KojiTypes", "工事件名等", "工種", nullptr, &R::KojiTypes},
      {"MethodTypes", "工事件名等", "工法型式", nullptr, &R::MethodTypes},
      {"AddressCodes", "工事件名等", "住所コード", nullptr, &R::AddressCodes},
      {"Addresses", "工事件名等", "住所", nullptr, &R::Addresses},
      {"StartDate", "工事件名等", "工期開始日", &R::StartDate},
      {"EndDate", "工事件名等", "工期終了日", &R::EndDate},
      {"KojiContent", "工事件名等", "工事内容", &R::KojiContent},
      {"StartStationN", "場所情報", "起点側測点-n", &R::StartStationN},
      {"StartStationM", "場所情報", "起点側測点-m", &R::StartStationM},
      {"EndStationN", "場所情報", "終点側測点-n", &R::EndStationN},
      {"EndStationM", "場所情報", "終点側測点-m", &R::EndStationM},
      {"StartDistN", "場所情報", "起点側距離標-n", &R::StartDistN},
      {"StartDistM", "場所情報", "起点側距離標-m", &R::StartDistM},
      {"EndDistN", "場所情報", "終点側距離標-n", &R::EndDistN},
      {"EndDistM", "場所情報", "終点側距離標-m", &R::EndDistM},
      {"WestLongitude", "場所情報", "西側境界座標経度", &R::WestLongitude},
      {"EastLongitude", "場所情報", "東側境界座標経度", &R::EastLongitude},
      {"NorthLatitude", "場所情報", "北側境界座標緯度", &R::NorthLatitude},
      {"SouthLatitude", "場所情報", "南側境界座標緯度", &R::SouthLatitude},
      {"FacilityName", "施設情報", "施設名称", &R::FacilityName},
      {"OrdererClass1", "発注者情報", "発注者-大分類", &R::OrdererClass1},
      {"OrdererClass2", "発注者情報", "発注者-中分類", &R::OrdererClass2},
      {"OrdererClass3", "発注者情報", "発注者-小分類", &R::OrdererClass3},
      {"OrdererCode", "発注者情報", "発注者コード", &R::OrdererCode},
      {"ContractorName", "請負者情報", "請負者名", &R::ContractorName},
      {"ContractorCode", "請負者情報", "請負者コード", &R::ContractorCode},
      {"Reserves", "", "予備", nullptr, &R::Reserves},
  };
  return fields;
}

const std::vector<TFieldDef<TMdlTreeNodeDraw>>& TMdlTreeNodeDraw::Fields() {
  using R = TMdlTreeNodeDraw;
  static const std::vector<TFieldDef<R>> fields = {
      {"DrawName", "", "図面名", &R::DrawName},
      {"DrawFile", "", "図面ファイル名", &R::DrawFile},
      {"DrawAuthor", "", "作成者名", &R::DrawAuthor},
      {"DrawSoft", "", "図面ファイル作成ソフトウェア名", &R::DrawSoft},
      {"DrawScale", "", "図面尺度", &R::DrawScale},
      {"DrawNo", "", "図面番号", &R::DrawNo},
      {"StartStationN", "場所情報", "起点側測点-n", &R::StartStationN},
      {"StartStationM", "場所情報", "起点側測点-m", &R::StartStationM},
      {"EndStationN", "場所情報", "終点側測点-n", &R::EndStationN},
      {"EndStationM", "場所情報", "終点側測点-m", &R::EndStationM},
      {"StartDistN", "場所情報", "起点側距離標-n", &R::StartDistN},
      {"StartDistM", "場所情報", "起点側距離標-m", &R::StartDistM},
      {"EndDistN", "場所情報", "終点側距離標-n", &R::EndDistN},
      {"EndDistM", "場所情報", "終点側距離標-m", &R::EndDistM},
      {"WestLongitude", "場所情報", "西側境界座標経度", &R::WestLongitude},
      {"EastLongitude", "場所情報", "東側境界座標経度", &R::EastLongitude},
      {"NorthLatitude", "場所情報", "北側境界座標緯度", &R::NorthLatitude},
      {"SouthLatitude", "場所情報", "南側境界座標緯度", &R::SouthLatitude},
      {"PlaneSystem", "場所情報", "平面直角座標系", &R::PlaneSystem},
      {"WestPlane", "場所情報", "西側境界平面直角座標", &R::WestPlane},
      {"EastPlane", "場所情報", "東側境界平面直角座標", &R::EastPlane},
      {"NorthPlane", "場所情報", "北側境界平面直角座標", &R::NorthPlane},
      {"SouthPlane", "場所情報", "南側境界平面直角座標", &R::SouthPlane},
      {"DetailAddress", "場所情報", "詳細住所", &R::DetailAddress},
      {"RefLatitude", "基準点情報", "基準点情報緯度", &R::RefLatitude},
      {"RefLongitude", "基準点情報", "基準点情報経度", &R::RefLongitude},
      {"RefPlaneSystemNo", "基準点情報", "基準点情報平面直角座標系番号", &R::RefPlaneSystemNo},
      {"RefPlaneX", "基準点情報", "基準点情報平面直角座標X座標", &R::RefPlaneX},
      {"RefPlaneY", "基準点情報", "基準点情報平面直角座標Y座標", &R::RefPlaneY},
      {"ContractorNote", "その他", "受注者説明文", &R::ContractorNote},
      {"OrdererNote", "その他", "発注者説明文", &R::OrdererNote},
      {"ResultPlace", "その他", "成果品保存場所", &R::ResultPlace},
      {"Reserve", "その他", "予備", &R::Reserve},
  };
  return fields;
}

const std::vector<TFieldDef<TMdlTreeNodeMeet>>& TMdlTreeNodeMeet::Fields() {
  using R = TMdlTreeNodeMeet;
  static const std::vector<TFieldDef<R>> fields = {
      {"SerialNo", "", "シリアル番号", &R::SerialNo},
      {"MeetKind", "", "打合せ簿種類", &R::MeetKind},
      {"MeetName", "", "打合せ簿名称", &R::MeetName},
      {"ManageClass", "", "管理区分", &R::ManageClass},
      {"MeetNo", "", "打合せ簿番号", &R::MeetNo},
      {"MeetAuthor", "", "作成者", &R::MeetAuthor},
      {"SubmitTo", "", "提出先", &R::SubmitTo},
      {"IssueDate", "", "発行日付", &R::IssueDate},
      {"AcceptDate", "", "受理日付", &R::AcceptDate},
      {"FinishDate", "", "完了日付", &R::FinishDate},
      {"Orgs", "", "オリジナルファイル情報", nullptr, nullptr, &R::Orgs},
      {"ContractorNote", "その他", "請負者説明文", &R::ContractorNote},
      {"OrdererNote", "その他", "発注者説明文", &R::OrdererNote},
      {"Reserves", "その他", "予備", nullptr, &R::Reserves},
  };
  return fields;
}

const std::vector<TFieldDef<TMdlTreeNodePlan>>& TMdlTreeNodePlan::Fields() {
  using R = TMdlTreeNodePlan;
  static const std::vector<TFieldDef<R>> fields = {
      {"SerialNo", "", "シリアル番号", &R::SerialNo},
      {"PlanName", "", "施工計画書名称", &R::PlanName},
      {"Orgs", "", "オリジナルファイル情報", nullptr, nullptr, &R::Orgs},
      {"ContractorNote", "その他", "請負者説明文", &R::ContractorNote},
      {"OrdererNote", "その他", "発注者説明文", &R::OrdererNote},
      {"Reserves", "その他", "予備", nullptr, &R::Reserves},
  };
  return fields;
}

const std::vector<TFieldDef<TMdlTreeNodeOthrs>>& TMdlTreeNodeOthrs::Fields() {
  using R = TMdlTreeNodeOthrs;
  static const std::vector<TFieldDef<R>> fields = {
      {"SerialNo", "", "シリアル番号", &R::SerialNo},
      {"DocName", "", "資料名", &R::DocName},
      {"DocKind", "", "その他資料種類", &R::DocKind},
      {"StorePlace", "", "保管場所", &R::StorePlace},
      {"Orgs", "", "オリジナルファイル情報", nullptr, nullptr, &R::Orgs},
      {"ContractorNote", "その他", "請負者説明文", &R::ContractorNote},
      {"OrdererNote", "その他", "発注者説明文", &R::OrdererNote},
      {"Reserves", "その他", "予備", nullptr, &R::Reserves},
  };
  return fields;
}

}  // namespace dlvr
