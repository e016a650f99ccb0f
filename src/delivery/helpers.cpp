#include "delivery/helpers.h"

#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/drive.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr {

const char* const kMediaNotReadyText = DLVR_TR_NOOP(
    "Media", "メディアが挿入されていないか、デバイスの準備ができていません。\r\rメディアを確認してください。");

bool IsFixedDrive(const std::string& path) { return GetDriveType(path) == DriveType::Fixed; }

bool IsRemovableDrive(const std::string& path) {
  DriveType t = GetDriveType(path);
  return t == DriveType::Removable || t == DriveType::CdRom;
}

DialogAnswer AskRetry(const std::string& message) {
  return Ask(message, MsgIcon::Warning, MsgButtons::AbortRetry, DialogAnswer::Retry);
}

DialogAnswer AskMediaNotReady() { return AskRetry(Tr("Media", kMediaNotReadyText)); }

bool IsMediaReady(const std::string& path) { return QueryMediaReady(path); }

namespace {

// The lines that start with "<?" (the only ones the stylesheet functions look
// at): [start, end) without the break, and where the next line starts. Found
// by searching for "<?" rather than splitting the whole file into lines.
struct LineSpan {
  std::size_t Start, End, Next;
};

// The first "<?" at or after `from`: found by its '?', much rarer than '<'
// in a management file.
std::size_t FindInstructionStart(std::string_view text, std::size_t from) {
  for (std::size_t q = from + 1; (q = text.find('?', q)) != std::string_view::npos; ++q)
    if (text[q - 1] == '<') return q - 1;
  return std::string_view::npos;
}

std::vector<LineSpan> InstructionLines(std::string_view text) {
  std::vector<LineSpan> spans;
  std::size_t pos = 0;
  while ((pos = FindInstructionStart(text, pos)) != std::string_view::npos) {
    if (pos == 0 || text[pos - 1] == '\n' || text[pos - 1] == '\r') {
      std::size_t br = text.find_first_of("\r\n", pos);
      std::size_t end = br == std::string_view::npos ? text.size() : br;
      std::size_t next = end;
      if (next < text.size()) {
        ++next;
        if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
      }
      spans.push_back({pos, end, next});
      pos = next;
    } else {
      pos += 2;
    }
  }
  return spans;
}

bool IsXmlLine(std::string_view line) {
  return line.size() >= 5 && line[0] == '<' && line[1] == '?' && AsciiLower(line.substr(0, 5)) == "<?xml";
}

bool MentionsStylesheet(std::string_view line) { return AsciiLower(line).find("stylesheet") != std::string::npos; }

// The line break the file uses, by its first one: LF, CR LF or a bare CR;
// CR LF for a file without any.
std::string_view EolOf(std::string_view text) {
  const std::size_t br = text.find_first_of("\r\n");
  if (br == std::string_view::npos) return "\r\n";
  if (text[br] == '\n') return "\n";
  return br + 1 < text.size() && text[br + 1] == '\n' ? "\r\n" : "\r";
}

bool StartsWithNoCase(std::string_view text, std::size_t pos, std::string_view what) {
  return text.size() - pos >= what.size() && AsciiLower(text.substr(pos, what.size())) == what;
}

// Walks the prolog (blanks, comments, the DOCTYPE with its internal subset,
// processing instructions) and calls onInstruction(start, next) for each
// processing instruction; returns where the root element (or whatever ends
// the prolog) begins.
template <class F>
std::size_t ScanProlog(std::string_view text, F onInstruction) {
  std::size_t pos = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++pos;
    } else if (text.compare(pos, 4, "<!--") == 0) {
      std::size_t end = text.find("-->", pos + 4);
      pos = end == std::string_view::npos ? text.size() : end + 3;
    } else if (StartsWithNoCase(text, pos, "<!doctype")) {
      // The internal subset may hold '>' of its own.
      std::size_t end = text.find_first_of("[>", pos);
      if (end != std::string_view::npos && text[end] == '[') end = text.find(']', end);
      if (end != std::string_view::npos) end = text.find('>', end);
      pos = end == std::string_view::npos ? text.size() : end + 1;
    } else if (text.compare(pos, 2, "<?") == 0) {
      std::size_t end = text.find("?>", pos + 2);
      std::size_t next = end == std::string_view::npos ? text.size() : end + 2;
      onInstruction(pos, next);
      pos = next;
    } else {
      break;
    }
  }
  return pos;
}

bool LineStart(std::string_view text, std::size_t pos) {
  return pos == 0 || text[pos - 1] == '\n' || text[pos - 1] == '\r' || (pos == 3 && text.substr(0, 3) == "\xEF\xBB\xBF");
}

// An XML declaration at `pos`: "<?xml" and then a blank or "?>".
bool IsDeclarationAt(std::string_view text, std::size_t pos) {
  if (!StartsWithNoCase(text, pos, "<?xml") || pos + 5 >= text.size()) return false;
  const char c = text[pos + 5];
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '?';
}

// The text without the stylesheet instructions of its prolog that do not
// begin a line (indented, or after another instruction on the same line):
// a parser sees them as well as the ones the line rules handle. The text
// itself when it has none; else the copy made in `copy`.
std::string_view WithoutInlineStylesheets(std::string_view text, std::string& copy) {
  std::size_t copied = 0;
  ScanProlog(text, [&](std::size_t pos, std::size_t next) {
    if (!LineStart(text, pos) && StartsWithNoCase(text, pos + 2, "xml-stylesheet")) {
      copy.append(text.substr(copied, pos - copied));
      copied = next;
    }
  });
  if (copied == 0) return text;
  copy.append(text.substr(copied));
  return copy;
}

bool ReadSource(const std::string& source, std::string& bytes) {
  return ReadWholeFile(ResolveCase(source), bytes);
}

bool WriteTarget(const std::string& target, std::string_view bytes) {
  return WriteWholeFile(target, bytes) && FileExists(target);
}

}  // namespace

namespace {

// Bytes appended go straight to a file.
class TFileSink {
 public:
  explicit TFileSink(const std::string& path) : file_(std::fopen(path.c_str(), "wb")), ok_(file_ != nullptr) {}
  TFileSink(const TFileSink&) = delete;
  TFileSink& operator=(const TFileSink&) = delete;
  ~TFileSink() { Close(); }
  void reserve(std::size_t) {}
  void append(std::string_view bytes) {
    ok_ = ok_ && std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
  }
  // Whether every byte was written and the file closed.
  bool Close() {
    if (file_) ok_ = std::fclose(file_) == 0 && ok_;
    file_ = nullptr;
    return ok_;
  }

 private:
  std::FILE* file_;
  bool ok_;
};

template <class Out>
void InsertStylesheetInto(Out& out, std::string_view original, const std::string& href) {
  std::string stripped;
  const std::string_view text = WithoutInlineStylesheets(original, stripped);
  // The instruction is written in the file's own encoding.
  const std::string ref = DeclaresUtf8(text) ? href : Utf8ToCp932(href);
  const std::string_view eol = EolOf(text);
  const std::string instruction = "<?xml-stylesheet type=\"text/xsl\" href=\"" + ref + "\"?>";
  const std::size_t rootAt = ScanProlog(text, [](std::size_t, std::size_t) {});
  out.reserve(text.size() + instruction.size() + 4);
  // A stylesheet line of the prolog is replaced in place.
  for (const LineSpan& l : InstructionLines(text)) {
    if (l.Start >= rootAt) break;
    std::string_view line = text.substr(l.Start, l.End - l.Start);
    if (IsXmlLine(line) && MentionsStylesheet(line) && !IsDeclarationAt(text, l.Start)) {
      out.append(text.substr(0, l.Start));
      out.append(instruction);
      out.append(eol);
      out.append(text.substr(l.Next));
      return;
    }
  }
  // Otherwise right after the declaration's "?>" (whatever follows it on its
  // line), or first, after a byte-order mark.
  const std::size_t start = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  if (IsDeclarationAt(text, start)) {
    const std::size_t end = text.find("?>", start);
    const std::size_t at = end == std::string_view::npos ? text.size() : end + 2;
    out.append(text.substr(0, at));
    out.append(eol);
    out.append(instruction);
    out.append(text.substr(at));
  } else {
    out.append(text.substr(0, start));
    out.append(instruction);
    out.append(eol);
    out.append(text.substr(start));
  }
}

// The stylesheet lines of a text dropped (each line judged on its own).
template <class Out>
void RemoveStylesheetLinesInto(Out& out, std::string_view text) {
  std::size_t copied = 0;
  for (const LineSpan& l : InstructionLines(text)) {
    std::string_view line = text.substr(l.Start, l.End - l.Start);
    if (IsXmlLine(line) && MentionsStylesheet(line)) {
      out.append(text.substr(copied, l.Start - copied));
      copied = l.Next;
    }
  }
  out.append(text.substr(copied));
}

template <class Out>
void RemoveStylesheetInto(Out& out, std::string_view original) {
  std::string stripped;
  const std::string_view text = WithoutInlineStylesheets(original, stripped);
  out.reserve(text.size());
  RemoveStylesheetLinesInto(out, text);
}

}  // namespace

std::string InsertStylesheetText(std::string_view original, const std::string& href) {
  std::string out;
  InsertStylesheetInto(out, original, href);
  return out;
}

std::string RemoveStylesheetText(std::string_view original) {
  std::string out;
  RemoveStylesheetInto(out, original);
  return out;
}

bool WriteStylesheetCopy(const std::string& path, std::string_view text, const std::string* href) {
  TFileSink out(path);
  if (href)
    InsertStylesheetInto(out, text, *href);
  else
    RemoveStylesheetInto(out, text);
  return out.Close();
}

bool WriteStylesheetCopyOf(const std::string& source, const std::string& path, const std::string* href) {
  // Everything either edit looks at lies in the prolog, or (removing) on a
  // line of its own: the file's start is held until its prolog has ended
  // and a line has, edited as a whole text; the lines after it are copied
  // (removing: without their stylesheet lines) as they are read.
  std::optional<TFileSink> out;
  std::string head;
  bool headDone = false;
  auto writeHead = [&] {
    if (!out) out.emplace(path);
    if (href)
      InsertStylesheetInto(*out, head, *href);
    else
      RemoveStylesheetInto(*out, head);
    headDone = true;
    head = std::string();
  };
  const TReadStatus read = ReadFileInLines(source, kMaxWholeFileBytes, [&](std::string_view piece) {
    if (headDone) {
      if (href)
        out->append(piece);
      else
        RemoveStylesheetLinesInto(*out, piece);
      return;
    }
    head.append(piece);
    if (ScanProlog(head, [](std::size_t, std::size_t) {}) < head.size() && head.find_first_of("\r\n") != std::string::npos)
      writeHead();
  });
  if (read == TReadStatus::Ok && !headDone) writeHead();  // the whole file is its prolog
  const bool written = out && out->Close();
  if (read != TReadStatus::Ok && out) std::remove(path.c_str());
  return read == TReadStatus::Ok && written;
}

bool InsertStylesheet(const std::string& source, const std::string& target, const std::string& href) {
  std::string bytes;
  if (!ReadSource(source, bytes)) return false;
  return WriteTarget(target, InsertStylesheetText(bytes, href));
}

bool RemoveStylesheet(const std::string& source, const std::string& target) {
  std::string bytes;
  if (!ReadSource(source, bytes)) return false;
  return WriteTarget(target, RemoveStylesheetText(bytes));
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
  // A program kept in a delivery's folder (copied there with the delivery)
  // never writes into it, nor an installed one into the system's folders.
  if (FileInFolder(ProgramDir(), "INDEX_C.XML", "/") || IsSystemFolder(ProgramDir())) return false;
  const std::string path = BlankPagePath();
  std::string present;
  if (ReadRegularFile(path, text.size(), present) == TReadStatus::Ok && present == text) return true;
  // Replaced whole, so that another instance never reads half a page and a
  // link in its place is replaced, never written through.
  return ReplaceWholeFile(path, text);
}

// The delivery a file belongs to: the nearest folder at most two levels up
// that holds INDEX_C.XML, else the file's own folder.
std::string DeliveryFolderOf(const std::string& file) {
  std::string folder = ExtractFilePath(AbsolutePath(file));
  std::string probe = folder;
  for (int up = 0; up <= 2 && probe.size() > 1; ++up) {
    if (FileExists(ResolveCase(JoinPath(probe, "INDEX_C.XML")))) return probe;
    probe = ExtractFilePath(probe.substr(0, probe.size() - 1));
  }
  return folder;
}

}  // namespace dlvr
