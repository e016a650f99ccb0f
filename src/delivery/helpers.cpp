#include "delivery/helpers.h"

#include <string_view>
#include <vector>

#include "platform/drive.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace dlvr {

const char* const kMediaNotReadyText =
    "メディアが挿入されていないか、デバイスの準備ができていません。\r\rメディアを確認してください。";

bool IsFixedDrive(const std::string& path) { return GetDriveType(path) == DriveType::Fixed; }

bool IsRemovableDrive(const std::string& path) {
  DriveType t = GetDriveType(path);
  return t == DriveType::Removable || t == DriveType::CdRom;
}

DialogAnswer AskRetry(const std::string& message) {
  MessageRequest req;
  req.Text = message;
  req.Icon = MsgIcon::Warning;
  req.Buttons = MsgButtons::AbortRetry;
  req.Default = DialogAnswer::Retry;
  return Prompts().Show(req);
}

DialogAnswer AskMediaNotReady() { return AskRetry(kMediaNotReadyText); }

bool IsMediaReady(const std::string& path) { return QueryMediaReady(path); }

namespace {

// The file's lines as raw bytes, and the line break it uses (CR LF unless
// its first break is a bare LF).
bool LoadRawLines(const std::string& path, std::vector<std::string>& lines, std::string& eol) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  lines.clear();
  for (std::string_view l : SplitLines(bytes)) lines.emplace_back(l);
  std::size_t lf = bytes.find('\n');
  eol = (lf != std::string::npos && (lf == 0 || bytes[lf - 1] != '\r')) ? "\n" : "\r\n";
  return true;
}

bool SaveRawLines(const std::string& path, const std::vector<std::string>& lines, const std::string& eol) {
  std::string out;
  for (const std::string& l : lines) {
    out += l;
    out += eol;
  }
  return WriteWholeFile(path, out) && FileExists(path);
}

bool IsXmlLine(const std::string& line) { return AsciiLower(std::string_view(line).substr(0, 5)) == "<?xml"; }

bool MentionsStylesheet(const std::string& line) { return AsciiLower(line).find("stylesheet") != std::string::npos; }

}  // namespace

bool InsertStylesheet(const std::string& source, const std::string& target, const std::string& href) {
  std::vector<std::string> lines;
  std::string eol;
  if (!LoadRawLines(ResolveCase(source), lines, eol)) return false;
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  // The instruction is written in the file's own encoding.
  std::string ref = DeclaresUtf8(all) ? href : Utf8ToCp932(href);
  std::size_t insertAt = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!IsXmlLine(lines[i])) continue;
    if (MentionsStylesheet(lines[i])) {
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
      insertAt = i;
      break;
    }
    insertAt = i + 1;
  }
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
               "<?xml-stylesheet type=\"text/xsl\" href=\"" + ref + "\"?>");
  return SaveRawLines(target, lines, eol);
}

bool RemoveStylesheet(const std::string& source, const std::string& target) {
  std::vector<std::string> lines;
  std::string eol;
  if (!LoadRawLines(ResolveCase(source), lines, eol)) return false;
  std::vector<std::string> kept;
  for (std::string& l : lines)
    if (!(IsXmlLine(l) && MentionsStylesheet(l))) kept.push_back(std::move(l));
  return SaveRawLines(target, kept, eol);
}

std::string BlankPagePath() { return ProgramDir() + "NONE.HTML"; }

bool WriteBlankPage() {
  static const char* const kLines[] = {
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">",
      "<HTML>", "<HEAD>", "<TITLE></TITLE>", "</HEAD>", "<BODY>", "</BODY>", "</HTML>"};
  std::string text;
  for (const char* l : kLines) {
    text += l;
    text += "\r\n";
  }
  return WriteWholeFile(BlankPagePath(), text);
}

}  // namespace dlvr
