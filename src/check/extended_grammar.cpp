// The grammar of a management file: well-formed, declared as Shift_JIS
// and written so, with a DOCTYPE whose DTD stands beside it, and valid
// against that DTD (or the standard one of its root and DTD_version).
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "check/extended_check_internal.h"
#include "delivery/xml_stream_check.h"
#include "platform/fileio.h"
#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr::extended_check_detail {
namespace {

namespace fs = std::filesystem;

// The DTDs of the management files, for a delivery that lacks its own.
struct TStandardDtd {
  const char* Root;
  const char* Version;
  const char* FileName;
  const char* Text;
};
const TStandardDtd kStandardDtds[] = {
#include "check/standard_dtds.inc"
};

// The standard DTD of a root element and its DTD_version, nullptr when
// none is known.
const TStandardDtd* StandardDtdOf(std::string_view root, std::string_view version) {
  for (const TStandardDtd& d : kStandardDtds)
    if (root == d.Root && version == d.Version) return &d;
  return nullptr;
}

}  // namespace

// The value of a pseudo-attribute of the XML declaration ("" when absent).
std::string DeclarationValue(std::string_view head, std::string_view name) {
  if (head.substr(0, 5) != "<?xml") return std::string();
  const std::size_t end = head.find("?>");
  const std::string_view decl = head.substr(0, end == std::string_view::npos ? head.size() : end);
  const std::size_t at = decl.find(std::string(name) + "=");
  if (at == std::string_view::npos || at + name.size() + 2 > decl.size()) return std::string();
  const char quote = decl[at + name.size() + 1];
  const std::size_t from = at + name.size() + 2, to = decl.find(quote, from);
  return to == std::string_view::npos ? std::string() : std::string(decl.substr(from, to - from));
}

namespace {

// Whether a text handed over in pieces cut anywhere holds characters
// beyond ASCII, all of them well-formed UTF-8 of two to four bytes:
// Japanese in Shift-JIS almost never reads so (a lead byte of 0x81-0x9F is
// never followed by what UTF-8 asks).
class TUtf8Scan {
 public:
  void Add(std::string_view b) {
    // A character the last piece cut is finished first, a byte at a time.
    while (!broken_ && !carry_.empty() && !b.empty()) {
      carry_ += b.front();
      b.remove_prefix(1);
      if (Whole(carry_) == carry_.size()) carry_.clear();
    }
    if (broken_ || b.empty()) return;
    carry_.assign(b.substr(Whole(b)));
  }
  bool Result() const { return wide_ && !broken_ && carry_.empty(); }

 private:
  // How many bytes of b are whole characters, the rest being the start of
  // one that b's end cuts; broken_ once a byte is not what UTF-8 has there.
  std::size_t Whole(std::string_view b) {
    for (std::size_t i = 0; i < b.size();) {
      const auto c = static_cast<unsigned char>(b[i]);
      if (c < 0x80) {
        ++i;
        continue;
      }
      const std::size_t n = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
      bool bad = n == 0 || c == 0xC0 || c == 0xC1;
      for (std::size_t k = 1; !bad && k < n && i + k < b.size(); ++k)
        bad = (static_cast<unsigned char>(b[i + k]) & 0xC0) != 0x80;
      if (bad) {
        broken_ = true;
        return i;
      }
      if (i + n > b.size()) return i;
      wide_ = true;
      i += n;
    }
    return b.size();
  }
  bool wide_ = false, broken_ = false;
  std::string carry_;
};

}  // namespace

// Whether a management file reads as UTF-8 (as TUtf8Scan tells),
// read a piece at a time; false when it cannot be read, or when `head`
// says no of its first 512 bytes.
bool FileInUtf8(const std::string& path, const std::function<bool(std::string_view head)>& headSays) {
  TUtf8Scan utf8;
  std::string head;
  const bool read = ReadFileInLines(path, kMaxWholeFileBytes, [&](std::string_view piece) {
    if (head.size() < 512) head.append(piece.substr(0, 512 - head.size()));
    utf8.Add(piece);
  }, true) == TReadStatus::Ok;
  return read && (!headSays || headSays(head)) && utf8.Result();
}

namespace {

// Up to `size` bytes of a management file from `offset` (fewer at its
// end) in place of `out`'s; false on a read error.
using TBytesAt = std::function<bool(std::uint64_t offset, std::size_t size, std::string& out)>;

// The place of the first `needle` (two bytes) in the file from `from`,
// npos when none.
std::uint64_t FindInFile(const TBytesAt& at, std::uint64_t total, std::uint64_t from, std::string_view needle) {
  std::string window;
  for (std::uint64_t offset = from; offset < total; offset += window.size() - (needle.size() - 1)) {
    if (!at(offset, static_cast<std::size_t>(std::min<std::uint64_t>(total - offset, 1u << 20)), window) ||
        window.size() < needle.size())
      return std::string::npos;
    if (const std::size_t hit = window.find(needle); hit != std::string::npos) return offset + hit;
    if (offset + window.size() >= total) break;
  }
  return std::string::npos;
}

// The grammar of a management file of `total` bytes read through `at`, a
// piece at a time; `failed` when a read failed on the way.
std::vector<TGrammarFinding> GrammarOf(const std::string& mediumFolder, const std::string& relativePath,
                                       const TBytesAt& at, std::uint64_t total, std::size_t most, bool& failed) {
  std::vector<TGrammarFinding> out;
  failed = false;
  std::string headBytes;
  if (!at(0, static_cast<std::size_t>(std::min<std::uint64_t>(total, 4096)), headBytes)) {
    failed = true;
    return out;
  }
  const std::string_view head = headBytes;
  const std::string encoding = DeclarationValue(head, "encoding");
  // Whether a file declared as Shift_JIS is written in UTF-8 is known once
  // all its bytes have gone by; the finding then comes first.
  bool scanUtf8 = false;
  if (encoding.empty())
    out.push_back({1, Tr("ExtendedCheck", "XML 宣言に文字符号化方式（Shift_JIS）がありません")});
  else if (AsciiUpper(encoding) != "SHIFT_JIS")
    out.push_back({1, Arg(Tr("ExtendedCheck", "文字符号化方式が %1 です（Shift_JIS にします）"), {encoding})});
  else
    scanUtf8 = true;
  // The DOCTYPE and the DTD it names, beside the file.
  const std::size_t doctype = head.find("<!DOCTYPE");
  std::string dtdPath;
  if (doctype == std::string_view::npos) {
    out.push_back({0, Tr("ExtendedCheck", "DOCTYPE 宣言がありません")});
  } else {
    const std::size_t system = head.find("SYSTEM", doctype);
    const std::size_t q = system == std::string_view::npos ? system : head.find_first_of("\"'", system);
    const std::size_t e = q == std::string_view::npos ? q : head.find(head[q], q + 1);
    const std::string name = e == std::string_view::npos ? std::string() : std::string(head.substr(q + 1, e - q - 1));
    const std::string folder = FolderOf(relativePath);
    std::error_code ec;
    if (name.empty() || name.find('/') != std::string::npos || name.find('\\') != std::string::npos) {
      out.push_back({0, Tr("ExtendedCheck", "DOCTYPE 宣言に DTD ファイル名がありません")});
    } else if (const std::string candidate = mediumFolder + (folder.empty() ? "" : folder + "/") + name;
               !fs::is_regular_file(fs::symlink_status(candidate, ec))) {
      out.push_back({0, Arg(Tr("ExtendedCheck", "DOCTYPE 宣言の DTD ファイル（%1）がありません"), {name})});
    } else {
      dtdPath = candidate;
    }
  }
  // Text of either file as UTF-8: a file declared (or, for a DTD, left
  // undeclared) as Shift_JIS is converted, its declaration then says UTF-8,
  // so that a DTD without a text declaration reads as the delivery meant it.
  auto asUtf8 = [](std::string text, bool dtd) {
    const std::string declared = AsciiUpper(DeclarationValue(text.substr(0, 512), "encoding"));
    const bool utf8 = declared == "UTF-8" || declared == "UTF8";
    if (!utf8 && (!declared.empty() || dtd)) text = Cp932ToUtf8(text);
    if (text.rfind("<?xml", 0) == 0) {
      const std::size_t end = text.find("?>");
      if (end != std::string::npos)
        text = dtd ? std::string(end + 2, ' ') + text.substr(end + 2)  // (kept on its line)
                   : "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + text.substr(end + 2);
    }
    return text;
  };
  // The DTD to validate against: the one beside the file, read before the
  // document is parsed (a DTD that would fetch other files, by external
  // parameter entities, is not read); without one, the DTD of the root
  // element and its DTD_version, when that is known.
  std::optional<std::string> ownDtd;
  bool external = false;
  std::string dtdBytes;
  if (!dtdPath.empty() && ReadRegularFile(dtdPath, 16u << 20, dtdBytes, true) == TReadStatus::Ok) {
    ownDtd = asUtf8(dtdBytes, true);
    for (std::size_t at = ownDtd->find("<!ENTITY"); at != std::string::npos; at = ownDtd->find("<!ENTITY", at + 1)) {
      const std::string decl = ownDtd->substr(at, ownDtd->find('>', at) - at);
      if (decl.find('%') != std::string::npos &&
          (decl.find("SYSTEM") != std::string::npos || decl.find("PUBLIC") != std::string::npos))
        external = true;
    }
  }
  const TStandardDtd* standard = nullptr;
  auto dtdFor = [&](std::string_view root, std::string_view version) -> std::optional<std::string> {
    if (!dtdPath.empty()) return external ? std::nullopt : ownDtd;
    standard = StandardDtdOf(root, version);
    return standard ? std::optional<std::string>(standard->Text) : std::nullopt;
  };
  // Well-formed: parsed as UTF-8 a piece at a time, the declaration saying
  // so, nothing loaded from anywhere.
  const std::string declared = AsciiUpper(DeclarationValue(head.substr(0, 512), "encoding"));
  const bool convert = !declared.empty() && declared != "UTF-8" && declared != "UTF8";
  std::string piece;
  std::uint64_t raw = 0;
  std::size_t given = 0;
  if (head.substr(0, 5) == "<?xml") {
    std::uint64_t end = head.find("?>");
    if (end == std::string_view::npos) end = FindInFile(at, total, head.size() - 1, "?>");
    if (end != std::string::npos) {
      piece = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
      raw = end + 2;
    }
  }
  TUtf8Scan utf8;
  // The bytes from `from` to `to` go through the scan for UTF-8.
  auto scan = [&](std::uint64_t from, std::uint64_t to) {
    std::string bytes;
    while (from < to && !failed) {
      failed = !at(from, static_cast<std::size_t>(std::min<std::uint64_t>(to - from, 1u << 20)), bytes);
      if (bytes.empty()) break;
      utf8.Add(bytes);
      from += bytes.size();
    }
  };
  if (scanUtf8) scan(0, raw);
  std::string next;  // (the bytes read, the buffer kept from piece to piece)
  const TXmlTextSource text = [&](char* buffer, std::size_t size) -> std::size_t {
    if (given == piece.size()) {
      // The next piece ends after a line feed, never inside a character.
      if (raw >= total || failed) return 0;
      failed = !at(raw, static_cast<std::size_t>(std::min<std::uint64_t>(total - raw, 1u << 20)), next);
      if (failed || next.empty()) return 0;
      if (raw + next.size() < total)
        if (const std::size_t lf = next.rfind('\n'); lf != std::string::npos) next.resize(lf + 1);
      raw += next.size();
      if (scanUtf8) utf8.Add(next);
      if (convert) {
        piece.clear();
        AppendCp932AsUtf8(piece, next);
      } else {
        piece.swap(next);
      }
      given = 0;
    }
    const std::size_t n = std::min(size, piece.size() - given);
    std::copy_n(piece.data() + given, n, buffer);
    given += n;
    return n;
  };
  const TXmlStreamCheck checked = CheckXmlStream(text, dtdFor, most);
  // The rest of a file the parser gave up on goes through the scan too.
  if (scanUtf8) scan(raw, total);
  if (failed) return {};
  if (scanUtf8 && utf8.Result())
    out.insert(out.begin(), {1, Tr("ExtendedCheck", "宣言（Shift_JIS）と違う文字コードで書かれています")});
  if (!checked.WellFormed) {
    out.push_back({checked.Line, Arg(Tr("ExtendedCheck", "整形式の XML ではありません: %1"), {checked.Reason})});
    return out;
  }
  if (external) {
    out.push_back({0, Tr("ExtendedCheck", "DTD がほかのファイルを参照しているため検証していません")});
  } else if (checked.DtdUnreadable) {
    out.push_back({0, Tr("ExtendedCheck", "DTD を読めません（DTD の文法に誤りがあります）")});
  } else if (ownDtd || standard) {
    // (For the standard DTD, %2 stays %1, for the message.)
    const std::string pattern = ownDtd ? Tr("ExtendedCheck", "DTD に合いません: %1")
                                       : Arg(Tr("ExtendedCheck", "標準の DTD（%1）に合いません: %2"),
                                             {standard->FileName, "%1"});
    for (const TXmlStreamCheck::TMessage& m : checked.Messages) out.push_back({m.Line, Arg(pattern, {m.Text})});
    if (checked.More > 0)
      out.push_back({0, Arg(Tr("ExtendedCheck", "ほかに %1 件あります"), {std::to_string(checked.More)})});
  }
  return out;
}

}  // namespace

// The grammar of a management file read from the medium a piece at a
// time; `failed` when it cannot be read (missing, not a regular file, a
// link, larger than any management file, a read error).
std::vector<TGrammarFinding> GrammarOfFile(const std::string& mediumFolder, const std::string& relativePath,
                                           std::size_t most, bool& failed) {
  failed = true;
  // Opened without blocking and judged on the opened file itself, so that a
  // FIFO or device put in place of a file is refused rather than waited on.
  struct TFile {
    ~TFile() {
      if (Fd >= 0) ::close(Fd);
    }
    const int Fd;
  } file{::open((mediumFolder + relativePath).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW)};
  struct stat st {};
  if (file.Fd < 0 || ::fstat(file.Fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uint64_t>(st.st_size) > kMaxWholeFileBytes)
    return {};
  const TBytesAt at = [fd = file.Fd](std::uint64_t offset, std::size_t size, std::string& bytes) {
    bytes.resize(size);
    std::size_t got = 0;
    while (got < size) {
      const ssize_t n = ::pread(fd, bytes.data() + got, size - got, static_cast<off_t>(offset + got));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return false;
      if (n == 0) break;
      got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return true;
  };
  return GrammarOf(mediumFolder, relativePath, at, static_cast<std::uint64_t>(st.st_size), most, failed);
}

}  // namespace dlvr::extended_check_detail

namespace dlvr {

std::vector<TGrammarFinding> CheckGrammar(const std::string& mediumFolder, const std::string& relativePath,
                                          std::size_t most) {
  bool failed = false;
  std::vector<TGrammarFinding> found = extended_check_detail::GrammarOfFile(mediumFolder, relativePath, most, failed);
  if (failed) return {{0, Tr("ExtendedCheck", "読み込めません")}};
  return found;
}

std::vector<TGrammarFinding> CheckGrammarOf(const std::string& mediumFolder, const std::string& relativePath,
                                            const std::string& bytes, std::size_t most) {
  const extended_check_detail::TBytesAt at = [&bytes](std::uint64_t offset, std::size_t size, std::string& out) {
    out.assign(std::string_view(bytes).substr(std::min<std::uint64_t>(offset, bytes.size()), size));
    return true;
  };
  bool failed = false;
  return extended_check_detail::GrammarOf(mediumFolder, relativePath, at, bytes.size(), most, failed);
}

}  // namespace dlvr
