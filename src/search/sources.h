// What is searched of a delivery, and how each kind of file is read for
// its text. DeliveryFiles lists the files of a loaded delivery in the order
// hits are listed (medium, then class and file as the tree shows them):
// the management files with their records' fields, every document of the
// tree with its name, each medium's photo management file with its photo
// records' fields and the photos' names. ReadContents reads one file's
// text: text, HTML and XML files decoded as the preview decodes them
// (markup removed, a piece per line), SXF drawings' texts and title
// blocks, and PDF pages through the PDF reader the program plugs in
// (TExtractors::Pdf; the core knows no PDF library).
//
// Reading stays inside the delivery: a file that is, or lies behind, a
// link leading out of its medium is never opened. Every read is bounded
// (bytes read, a drawing's budget, the PDF reader's own time and memory
// limits); a file past a bound is named with the reason. No Qt.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "search/index.h"

namespace dlvr {
class TMdlTreeView;
}

namespace dlvr::search {

// The text of a PDF's pages, or why there is none ("encrypted", "time
// limit", ...). Pages read before the trouble may be kept.
struct TPdfText {
  std::vector<std::string> Pages;
  std::string Reason;
};

// Reads a PDF's text within bounds of its own; may be called from several
// threads at once; returns early with a reason when `*cancel` turns true.
using TPdfTextReader = std::function<TPdfText(const std::string& path, const std::atomic<bool>* cancel)>;

struct TExtractors {
  TPdfTextReader Pdf;  // none: PDFs are searched by name only (reason "no PDF reader")
};

// The largest text, HTML or XML file read, and the largest drawing.
inline constexpr std::uint64_t kMaxTextFileBytes = std::uint64_t{64} << 20;
inline constexpr std::uint64_t kMaxDrawingBytes = std::uint64_t{256} << 20;

// The files of the delivery loaded in `view` (its reachable media).
std::vector<TSearchFile> DeliveryFiles(TMdlTreeView& view);

// DeliveryFiles in two steps: what the model says (on the thread that owns
// it: the tree walked, the records' fields copied, no file looked at),
// then, on any thread, the disk: each file's presence, links and size, and
// the photo management files read.
struct TListedFile {
  TSearchFile File;       // its place when named, medium, medium's folder; its records' fields
  std::string Path;       // as the model gives it
  std::string Dir, Name;  // or where the model looks for it (a document of the tree)
  bool Exists = false;    // the model says it is there
  bool Records = false;   // a management file: searched in its records' fields, not as XML
};
struct TDeliveryListing {
  static constexpr std::size_t kNoPhotos = static_cast<std::size_t>(-1);
  std::vector<TListedFile> Files;  // in the walk's order
  std::vector<std::pair<int, std::string>> PhotoMedia;  // the reachable media: number, folder
  std::size_t PhotosAt = kNoPhotos;                     // where in Files the photos go
};
TDeliveryListing ListDeliveryFiles(TMdlTreeView& view);
// Nothing when `*cancel` turns true. With `sizesLater` the files' sizes
// and times are left for ReadSizeAndTime (one stat a file: the index reads
// them as each file goes in).
std::vector<TSearchFile> SettleDeliveryFiles(TDeliveryListing listing, const std::atomic<bool>* cancel = nullptr,
                                             bool sizesLater = false);
// A file's size and time from the disk (zero when it cannot be read).
void ReadSizeAndTime(TSearchFile& f);

// What a file's name says its contents are.
TContent ContentByName(const std::string& name);

// The text of a file's contents as pieces; `reason` set when it could not
// be searched (what was read before the trouble is kept). `mediumFolder`
// is the folder nothing may be read outside of ("" for no check).
std::vector<TUnit> ReadContents(const TSearchFile& file, const std::string& mediumFolder, const TExtractors& extractors,
                                const std::atomic<bool>* cancel, std::string& reason);

// The text of an HTML or XML document without its markup: tags, comments,
// processing instructions, and script and style contents removed, the
// common entities and character references replaced; line breaks kept
// where they stood, so that line N is line N of the file.
std::string StripMarkup(std::string_view text);

// A delivery file's bytes decoded as the preview decodes them: UTF-8 after
// a byte order mark, when declared, or when valid; the declared charset
// through ICU; CP932 otherwise.
std::string DecodeAsPreview(std::string_view bytes);

}  // namespace dlvr::search
