// A streaming reader of ISO 10303-21 exchange structures (".P21" files).
//
// The file is read in chunks and handed out one instance at a time; the
// reader itself keeps only the instance being read, so memory follows what
// the handler keeps. Strings are decoded to UTF-8 (the '' quote and the
// \X\, \X2\, \X4\ and \S\ escapes; raw bytes that are not UTF-8 are taken as
// CP932). Comments go to the handler with the line they start on, so that a
// reader of feature comments can use them. Never throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "sxf/drawing.h"

namespace dlvr::sxf::p21 {

enum class TValueKind : std::uint8_t {
  Unset,    // $
  Derived,  // *
  Integer,  // Number (exact for |n| < 2^53)
  Real,     // Number
  String,   // Text, UTF-8
  Enum,     // Text: the name between the dots, upper case (".T." -> "T")
  Ref,      // Ref: the instance number of #n
  Binary,   // Text: the hex digits between the quotes
  List,     // Items
  Typed,    // Text: the type name (upper case); Items: its one parameter
};

struct TValue {
  TValueKind Kind = TValueKind::Unset;
  double Number = 0;
  long Ref = 0;
  std::string Text;
  std::vector<TValue> Items;

  bool IsNumber() const { return Kind == TValueKind::Integer || Kind == TValueKind::Real; }
};

// One entity record: a simple instance has one, a complex instance one per
// partial entity in the order written.
struct TRecord {
  std::string Name;  // upper case
  std::vector<TValue> Params;
};

struct TInstance {
  long Id = 0;
  long Line = 0;  // where "#n" stands
  std::vector<TRecord> Records;
  bool Complex = false;  // written as #n=(A(...)B(...));
};

// What the reader tells as it goes. Returning false stops the read (not a
// break: the result is not Broken).
class THandler {
 public:
  virtual ~THandler() = default;
  // A section starts: "HEADER", "DATA", or another section's keyword.
  virtual bool OnSection(std::string_view keyword, long line) { return true; }
  // An entity of the header section (FILE_DESCRIPTION, FILE_NAME, ...).
  virtual bool OnHeader(TRecord&& record, long line) { return true; }
  // An instance of a data section.
  virtual bool OnInstance(TInstance&& instance) { return true; }
  // The text between "/*" and "*/", raw bytes, and the line of its "/*".
  virtual void OnComment(std::string_view text, long line) {}
  // The portion read into this handler by ParseFileInTwo is read (called
  // on the thread that read it, before the two are joined).
  virtual void OnPortionRead() {}
  // The tail read by ParseFileInTwo had its lines counted from 1 at the
  // cut: `lines` lines of the file stand before that (called once both
  // portions are read, before ParseFileInTwo returns).
  virtual void OnLinesBefore(long lines) {}
};

// Reads up to `size` bytes into `buffer`: the count, 0 at the end, -1 on a
// read error.
using TReadFn = std::function<long(char* buffer, std::size_t size)>;

// Limits on what one value may take.
inline constexpr std::size_t kMaxStringBytes = 16u << 20;   // a string or a comment
inline constexpr int kMaxNesting = 64;                      // lists within lists

// Reads an exchange structure from `read` in chunks of `chunk` bytes. The
// result is Broken with the line and reason at the first error (what was
// handed out before stays handed out), or when the input ends before
// END-ISO-10303-21.
TReadStop Parse(const TReadFn& read, THandler& handler, std::size_t chunk = 1u << 20);

// The same over text in memory (cut in chunks of `chunk` bytes, for tests).
TReadStop ParseText(std::string_view text, THandler& handler, std::size_t chunk = 1u << 20);

// The same over a file: only a regular file is opened (never a FIFO or a
// device, never waited on).
TReadStop ParseFile(const std::string& path, THandler& handler);

// Parts of one exchange structure read apart: the whole; its head, cut
// between two instances of a data section (reaching the cut there is no
// break); or the tail from such a cut on, starting with an instance.
enum class TPortion { Whole, Head, Tail };

// Reads a portion: its lines counted from `firstLine`; for a head, `*atCut`
// tells that it ended where it was cut, and `*endLine` the line it ended on.
TReadStop ParsePortion(const TReadFn& read, THandler& handler, TPortion portion, long firstLine, bool* atCut,
                       std::size_t chunk = 1u << 20, long* endLine = nullptr);

// Reads a large regular file (at least `smallest` bytes) in two portions at
// once, on two threads: the head, up to an instance near the middle, into
// `head`, the tail into `tail`, the instances of each in file order; the
// tail's lines counted from 1 at the cut, then told the lines before it
// (THandler::OnLinesBefore). True
// with `stop` (as ParseFile would give it) when both were read so; false
// when the file is small, no cut was found or the head did not end cleanly
// at it: then what the handlers hold is to be thrown away and the file read
// whole.
bool ParseFileInTwo(const std::string& path, THandler& head, THandler& tail, TReadStop& stop,
                    std::uint64_t smallest = 8u << 20);

// Decodes the inside of a string literal (the text between the quotes, with
// its '' and escapes) to UTF-8.
std::string DecodeString(std::string_view raw);

}  // namespace dlvr::sxf::p21
