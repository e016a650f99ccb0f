// Fuzzes the photo management file reader, from memory and through the
// store on a medium.
//
// The first input byte chooses: bit 0 also writes the file as the medium's
// PHOTO/PHOTO.XML and loads it through the store (beside a photo folder with
// one JPEG, one link leading out of the medium, and a second medium), then
// runs the photo checks; bit 1 writes the photo folder in lower case. The
// rest is the file's content.

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "photo/photo_check.h"
#include "photo/photo_records.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/tempfs.h"
#include "platform/text.h"

using namespace dlvr;
using dlvr::fuzz::CountByte;
using dlvr::fuzz::CountText;
using dlvr::fuzz::IsValidUtf8;

using dlvr::fuzz::WorkDir;

namespace {

// Every text of a record, in one string: what two reads must agree on.
std::string Flatten(const TPhotoRecord& r) {
  std::string s;
  for (const std::string* v : {&r.Serial, &r.FileName, &r.JapaneseName, &r.MediaNo, &r.MajorClass, &r.Division,
                               &r.WorkType, &r.Kind, &r.Detail, &r.Title, &r.Place, &r.Date, &r.Representative,
                               &r.Frequency, &r.ControlValue, &r.Explanation}) {
    FUZZ_CHECK(IsValidUtf8(*v));
    s += *v + '\x01';
  }
  for (const std::string& v : r.ClassSpares) s += v + '\x02';
  for (const TPhotoReference& ref : r.References) {
    for (const std::string* v : {&ref.FileName, &ref.JapaneseName, &ref.Title}) {
      FUZZ_CHECK(IsValidUtf8(*v));
      s += *v + '\x03';
    }
    for (const std::string& v : ref.Spares) s += v + '\x04';
  }
  for (const TPhotoExtra& e : r.Extra) {
    FUZZ_CHECK(!e.Element.empty());
    FUZZ_CHECK(IsValidUtf8(e.Element) && IsValidUtf8(e.Value));
    s += e.Element + '\x05' + e.Value + '\x06';
  }
  return s + std::to_string(r.Line);
}

std::string Flatten(const TPhotoFile& f, const std::vector<TPhotoRecord>& records) {
  std::string s = f.DtdVersion + '\x01' + f.Standard + '\x01' + (f.Broken ? "B" : "-") +
                  std::to_string(f.BrokenLine) + f.BrokenReason + '\x01';
  for (const TPhotoExtra& e : f.BaseInfo) s += e.Element + '\x05' + e.Value + '\x06';
  for (const TPhotoRecord& r : records) s += Flatten(r) + '\x07';
  return s;
}

void CheckFile(const TPhotoFile& f, const std::vector<TPhotoRecord>& records, const std::string& text) {
  FUZZ_CHECK(IsValidUtf8(f.DtdVersion) && IsValidUtf8(f.Standard) && IsValidUtf8(f.BrokenReason));
  FUZZ_CHECK(f.Broken == !f.BrokenReason.empty());
  for (const TPhotoExtra& e : f.BaseInfo) FUZZ_CHECK(!e.Element.empty() && IsValidUtf8(e.Element) && IsValidUtf8(e.Value));
  // Each record stands for a start tag of its own, on a line of the text.
  FUZZ_CHECK(records.size() <= CountText(text, "<写真情報"));
  FUZZ_CHECK(records.size() <= 200000);
  const std::size_t lines = CountByte(text, '\n') + CountByte(text, '\r') + 1;
  for (const TPhotoRecord& r : records) FUZZ_CHECK(r.Line >= 1 && static_cast<std::size_t>(r.Line) <= lines);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned selector = data[0];
  std::string_view content(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string text = DecodeDeliveryText(content);

  TPhotoFile first, second;
  std::vector<TPhotoRecord> a, b;
  ParsePhotoXml(content, first, a);
  CheckFile(first, a, text);
  // A second read is the same, also appended after other records.
  b.emplace_back();
  ParsePhotoXml(content, second, b);
  FUZZ_CHECK(b.size() == a.size() + 1);
  b.erase(b.begin());
  FUZZ_CHECK(Flatten(first, a) == Flatten(second, b));

  if (!(selector & 1)) return 0;
  WorkDir work;
  const std::string medium = work.Path() + "/m1/";
  const std::string pic = medium + ((selector & 2) ? "photo/pic/" : "PHOTO/PIC/");
  FUZZ_CHECK(::mkdir((work.Path() + "/m1").c_str(), 0700) == 0 && ::mkdir((medium + "PHOTO").c_str(), 0700) == 0);
  if (selector & 2) FUZZ_CHECK(::mkdir((medium + "photo").c_str(), 0700) == 0);
  FUZZ_CHECK(::mkdir(pic.c_str(), 0700) == 0 && ::mkdir((work.Path() + "/m2").c_str(), 0700) == 0);
  FUZZ_CHECK(WriteWholeFile(medium + "PHOTO/PHOTO.XML", content));
  FUZZ_CHECK(WriteWholeFile(pic + "P0000001.JPG", std::string("\xFF\xD8\xFF\xD9", 4)));
  FUZZ_CHECK(WriteWholeFile(work.Path() + "/outside.jpg", "x"));
  FUZZ_CHECK(::symlink((work.Path() + "/outside.jpg").c_str(), (pic + "P0000002.JPG").c_str()) == 0);

  TPhotoStore store;
  store.Load({{1, medium}, {2, work.Path() + "/m2/"}});
  FUZZ_CHECK(store.Files().size() == 1 && store.Media().size() == 2);
  FUZZ_CHECK(store.Records().size() == a.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    const TPhotoRecord& r = store.Records()[i];
    FUZZ_CHECK(Flatten(r) == Flatten(a[i]));
    FUZZ_CHECK(r.Exists == !r.Path.empty());
    // A photo found is a regular file of a photo folder inside its medium,
    // named by a plain name.
    if (r.Exists) {
      FUZZ_CHECK(IsPlainFileName(r.FileName));
      FUZZ_CHECK(r.Path.rfind(medium, 0) == 0);
      FUZZ_CHECK(EqualsNoCase(ExtractFileName(r.Path), r.FileName));
      FUZZ_CHECK(EqualsNoCase(ExtractFileName(r.Path), "P0000001.JPG"));
    }
    for (const TPhotoReference& ref : r.References) FUZZ_CHECK(ref.Path.empty());
  }
  const std::vector<TPhotoFinding> findings = CheckPhotos(store, {"2024-04-01", "2024-09-30"});
  for (const TPhotoFinding& f : findings) {
    FUZZ_CHECK(f.Record >= -1 && f.Record < static_cast<int>(store.Records().size()));
    FUZZ_CHECK(!f.Field.empty() && !f.State.empty() && IsValidUtf8(f.State));
  }
  return 0;
}
