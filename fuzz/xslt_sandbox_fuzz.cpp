// Feeds a stylesheet and a document through the sandboxed loader and the
// XSLT path the preview uses. The input is the stylesheet, the separator
// line "--DOC--", then the document (without the separator: the first half
// is the stylesheet). Both are written into a scratch delivery whose
// document names the stylesheet; beside the delivery lies a folder with a
// marker file and a marker stylesheet.
//
// Checks beyond the sanitizers: no file outside the delivery is ever opened
// (watched with inotify, so that the check does not depend on a marker text
// the fuzzer could learn and write itself): not through entities, DTDs,
// includes, imports, document() or the link; a transform never outlives its
// time limit by much; the result is no larger than the limit.
#include <libxml/tree.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "delivery/xml_sandbox.h"
#include "fuzz_support.h"
#include "platform/fileio.h"
#include "platform/tempfs.h"

namespace {

const char* const kMarker = "OUTSIDE-MARKER-5e2b";

struct Scratch {
  std::string root, delivery, outside;
  std::unique_ptr<dlvr::fuzz::OpenWatch> watch;
  Scratch() {
    root = dlvr::MakeTempDir("dlvr-fuzz-xslt-");
    delivery = root + "delivery/";
    outside = root + "outside/";
    mkdir(delivery.c_str(), 0700);
    mkdir(outside.c_str(), 0700);
    dlvr::WriteWholeFile(outside + "secret.xml", std::string("<s>") + kMarker + "</s>");
    dlvr::WriteWholeFile(outside + "secret.txt", kMarker);
    dlvr::WriteWholeFile(outside + "S.XSL",
                         std::string("<xsl:stylesheet version=\"1.0\" "
                                     "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:template "
                                     "match=\"/\">") +
                             kMarker + "</xsl:template></xsl:stylesheet>");
    // A link inside the delivery that leads to the outside folder.
    symlink(outside.c_str(), (delivery + "OUT").c_str());
    watch = std::make_unique<dlvr::fuzz::OpenWatch>(outside);
    // The watch must see an open, or the check below proves nothing.
    std::string bytes;
    dlvr::ReadWholeFile(outside + "secret.txt", bytes);
    FUZZ_CHECK(OutsideOpened());
  }
  ~Scratch() { dlvr::RemoveTree(root); }

  bool OutsideOpened() const { return watch->Opened(); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Scratch scratch;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view xsl, xml;
  const std::size_t sep = input.find("\n--DOC--\n");
  if (sep != std::string_view::npos) {
    xsl = input.substr(0, sep);
    xml = input.substr(sep + 9);
  } else {
    xsl = input.substr(0, size / 2);
    xml = input.substr(size / 2);
  }
  dlvr::WriteWholeFile(scratch.delivery + "S.XSL", xsl);
  const std::string doc = scratch.delivery + "DOC.XML";
  dlvr::WriteWholeFile(doc, xml);

  dlvr::TXmlSandbox box;
  box.Folders = {scratch.delivery};
  box.TimeoutMs = 2000;
  box.MaxOutputBytes = 1 << 20;

  // Read a piece at a time as the viewer reads a large file, a page copied
  // from the partial document after each piece.
  std::size_t pages = 0;
  dlvr::TXmlParseResult parsed = dlvr::SandboxParseXml(box, doc, "", [&](xmlDoc* partial) {
    dlvr::TXmlRecords records = dlvr::FindRecords(partial);
    if (dlvr::TXmlDocPtr page = dlvr::PageDocument(partial, records, 0, 3)) ++pages;
  }, 97);
  (void)pages;
  FUZZ_CHECK(parsed.Status != dlvr::TSandboxStatus::Outside);
  if (parsed) {
    for (int pass = 0; pass < 2; ++pass) {
      const auto started = std::chrono::steady_clock::now();
      dlvr::TXsltResult r = pass == 0 ? dlvr::SandboxTransform(box, parsed.Doc.get(), doc)
                                      : dlvr::SandboxTransformWith(box, parsed.Doc.get(), scratch.delivery + "S.XSL");
      const auto took = std::chrono::steady_clock::now() - started;
      FUZZ_CHECK(r.Output.size() <= box.MaxOutputBytes);
      FUZZ_CHECK(r || r.Output.empty());
      FUZZ_CHECK(took < std::chrono::seconds(8));
    }
  }
  // The stylesheet read as a document of its own, its entities expanded.
  dlvr::TXmlParseResult style = dlvr::SandboxParseXml(box, scratch.delivery + "S.XSL");
  (void)style;
  FUZZ_CHECK(!scratch.OutsideOpened());
  return 0;
}
