#include "model/cad_names.h"

#include <unicode/uchar.h>

#include <array>

#include "platform/text.h"

namespace dlvr {
namespace {

constexpr std::string_view kLifeCycles = "SDCM";
constexpr std::string_view kRevisions = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Upper-cases every character that has a simple upper-case mapping, so
// full-width letters become upper-case too.
std::string LocaleUpper(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t cp = NextCodePoint(utf8, pos);
    AppendUtf8(out, static_cast<char32_t>(u_toupper(static_cast<UChar32>(cp))));
  }
  return out;
}

// Position of the extension's dot: the last dot after any path separator;
// npos when there is none.
std::size_t ExtensionDot(std::string_view name) {
  std::size_t dot = name.find_last_of('.');
  if (dot == std::string_view::npos) return dot;
  std::size_t sep = name.find_last_of("/\\");
  if (sep != std::string_view::npos && sep > dot) return std::string_view::npos;
  return dot;
}

bool InList(std::string_view list, std::string_view code) {
  for (std::size_t i = 0; i + 2 <= list.size(); i += 3)
    if (list.substr(i, 2) == code) return true;
  return false;
}

int FindLine(const std::vector<std::string>& lines, std::string_view text) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (EqualsNoCase(lines[i], text)) return static_cast<int>(i);
  return -1;
}

}  // namespace

TCADFileNameParts ParseCADFileName(std::string_view fileName, std::string_view drawName,
                                   const std::vector<std::string>& drawKindLines,
                                   const std::vector<std::string>& drawNameLines) {
  TCADFileNameParts parts;
  parts.UpperName = LocaleUpper(fileName);
  const std::size_t dot = ExtensionDot(parts.UpperName);
  const std::string_view upper = parts.UpperName;
  const std::string base = Utf8ToCp932(upper.substr(0, dot));
  if (base.size() != 8) return parts;

  // The checks look at single bytes; a byte that is half of a double-byte
  // character is never a letter or digit of the pattern.
  std::array<bool, 8> single{};
  for (std::size_t i = 0; i < base.size();) {
    if (IsLeadByte(static_cast<unsigned char>(base[i])) && i + 1 < base.size()) {
      i += 2;
    } else {
      single[i] = true;
      ++i;
    }
  }
  auto charAt = [&](std::size_t position) -> char {  // position from 1; 0 when not single
    return single[position - 1] ? base[position - 1] : '\0';
  };
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };

  if (char c = charAt(1); c != '\0') {
    std::size_t p = kLifeCycles.find(c);
    if (p != std::string_view::npos) parts.LifeCycle = static_cast<int>(p);
  }
  if (char c = charAt(2); isDigit(c)) parts.SerialDigit = std::string(1, c);

  const char k1 = charAt(3), k2 = charAt(4);
  if (k1 != '\0' && k2 != '\0') {
    const std::string code{k1, k2};
    std::string nameLine = code + "-";
    nameLine += drawName;
    int line = FindLine(drawNameLines, nameLine);
    if (line < 0) line = FindLine(drawKindLines, code);
    if (line >= 0) {
      if (static_cast<std::size_t>(line) < drawNameLines.size())
        parts.KindName = drawNameLines[static_cast<std::size_t>(line)];
      static constexpr int kGroupStarts[] = {0, 8, 34, 45, 59};
      for (int g = 0; g < 4; ++g) {
        if (line >= kGroupStarts[g] && line < kGroupStarts[g + 1]) {
          parts.Group = g;
          parts.KindIndex = line - kGroupStarts[g];
        }
      }
    }
    if (InList("SS DP GS WP GP GF RP RB RS", code)) {
      parts.Group = -1;
      parts.KindIndex = -1;
    } else if (!InList("LC PL PF GV", code)) {
      parts.KindGroup = parts.Group;
    }
  }

  if (isDigit(charAt(5)) && isDigit(charAt(6)) && isDigit(charAt(7)))
    parts.DrawingNumber = std::string{charAt(5), charAt(6), charAt(7)};
  if (char c = charAt(8); c != '\0' && kRevisions.find(c) != std::string_view::npos)
    parts.Revision = std::string(1, c);

  if (dot != std::string_view::npos) parts.Extension = std::string(upper.substr(dot));

  parts.Valid = parts.LifeCycle >= 0 && !parts.SerialDigit.empty() && !parts.KindName.empty() &&
                !parts.DrawingNumber.empty() && !parts.Revision.empty();
  return parts;
}

}  // namespace dlvr
