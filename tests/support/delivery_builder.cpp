#include "support/delivery_builder.h"

#include <filesystem>

#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace dlvr::test {
namespace {

void Write(const std::string& path, const std::string& utf8) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::string text;
  for (char c : utf8) {
    if (c == '\n') text += "\r\n";
    else text.push_back(c);
  }
  WriteWholeFile(path, Utf8ToCp932(text));
}

const char* const kDecl = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n";

}  // namespace

std::string WriteMedium(const std::string& rawFolder, const MediumSpec& spec) {
  std::string folder = WithTrailingSlash(rawFolder);
  std::filesystem::create_directories(folder);
  Write(folder + "INDEX_C.XML", std::string(kDecl) + "<constdata DTD_version=\"02\">\n<基礎情報>\n<メディア番号>" +
                                    std::to_string(spec.MediaNo) + "</メディア番号>\n<メディア総枚数>" +
                                    std::to_string(spec.MediaCount) + "</メディア総枚数>\n</基礎情報>\n<工事件名等>\n<工事名称>" +
                                    spec.KojiName + "</工事名称>\n</工事件名等>\n</constdata>\n");
  if (spec.WithMeetXml) {
    std::string meet = std::string(kDecl) + "<!DOCTYPE meetdata SYSTEM \"MEET02.DTD\">\n<meetdata DTD_version=\"02\">\n";
    int serial = 1;
    for (const MeetSpec& m : spec.Meetings) {
      meet += "<打合せ簿情報>\n<シリアル番号>" + std::to_string(serial++) + "</シリアル番号>\n<打合せ簿種類>" + m.Kind +
              "</打合せ簿種類>\n";
      if (!m.ManageClass.empty()) meet += "<管理区分>" + m.ManageClass + "</管理区分>\n";
      if (!m.IssueDate.empty()) meet += "<発行日付>" + m.IssueDate + "</発行日付>\n";
      for (const std::string& o : m.Orgs)
        meet += "<オリジナルファイル情報>\n<打合せ簿オリジナルファイル名>" + o + "</打合せ簿オリジナルファイル名>\n"
                "<オリジナルファイル内容>" + o + "の内容</オリジナルファイル内容>\n</オリジナルファイル情報>\n";
      meet += "</打合せ簿情報>\n";
    }
    meet += "</meetdata>\n";
    Write(folder + "MEET/MEET.XML", meet);
    Write(folder + "MEET/MEET02.DTD", "<!ELEMENT meetdata ANY>\n");
  }
  if (!spec.Plans.empty()) {
    std::string plan = std::string(kDecl) + "<plandata>\n";
    int n = 1;
    for (const std::string& p : spec.Plans) {
      plan += "<施工計画書情報>\n<シリアル番号>" + std::to_string(n) + "</シリアル番号>\n<施工計画書名称>" + p +
              "</施工計画書名称>\n<オリジナルファイル情報>\n<施工計画書オリジナルファイル名>P" + std::to_string(n) +
              ".PDF</施工計画書オリジナルファイル名>\n</オリジナルファイル情報>\n</施工計画書情報>\n";
      ++n;
    }
    Write(folder + "PLAN/PLAN.XML", plan + "</plandata>\n");
  }
  if (!spec.Drawings.empty()) {
    std::string draw = std::string(kDecl) + "<drawingdata>\n";
    for (const std::string& d : spec.Drawings)
      draw += "<図面情報>\n<図面名>平面図</図面名>\n<図面ファイル名>" + d + "</図面ファイル名>\n</図面情報>\n";
    Write(folder + "DRAWINGS/DRAWINGS.XML", draw + "</drawingdata>\n");
  }
  for (const std::string& f : spec.FilesHere) Write(folder + f, "x");
  return folder;
}

}  // namespace dlvr::test
