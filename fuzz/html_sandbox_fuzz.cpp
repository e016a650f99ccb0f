// Feeds HTML pages to the preview's HTML view, whose resource loader
// answers every image and style sheet a page asks for through the
// delivery sandbox. Each input is a page, written as PAGE.HTM into a
// scratch delivery that also holds an image, a FIFO and a link to a folder
// outside; the preview (offscreen) shows it and paints it, which makes the
// text engine ask for every resource the page names.
//
// Checks beyond the sanitizers: no file outside the delivery is ever opened
// (an inotify watch on the outside folder, as in xslt_sandbox_fuzz.cpp, so
// the check needs no marker text the fuzzer could learn), the FIFO never
// blocks (libFuzzer's -timeout would fire), the view completes every page.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>

#include <cstdint>
#include <memory>
#include <string>

#include "components/pdf_facts.h"
#include "components/preview_view.h"
#include "fuzz_support.h"
#include "platform/fileio.h"
#include "platform/tempfs.h"

namespace {

struct Scratch {
  std::string root, delivery, outside;
  std::unique_ptr<dlvr::fuzz::OpenWatch> watch;
  Scratch() {
    root = dlvr::MakeTempDir("dlvr-fuzz-html-");
    delivery = root + "delivery/";
    outside = root + "outside/";
    mkdir(delivery.c_str(), 0700);
    mkdir((delivery + "SUB").c_str(), 0700);
    mkdir(outside.c_str(), 0700);
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    image.save(QString::fromStdString(delivery + "IMG.PNG"));
    image.save(QString::fromStdString(outside + "SECRET.PNG"));
    dlvr::WriteWholeFile(delivery + "SUB/S.CSS", "p { color: blue }");
    dlvr::WriteWholeFile(outside + "S.CSS", "p { color: red }");
    mkfifo((delivery + "FIFO.PNG").c_str(), 0600);
    // A link inside the delivery that leads to the outside folder, and one
    // to a file there.
    symlink(outside.c_str(), (delivery + "OUT").c_str());
    symlink((outside + "SECRET.PNG").c_str(), (delivery + "LINK.PNG").c_str());
    watch = std::make_unique<dlvr::fuzz::OpenWatch>(outside);
    std::string bytes;
    dlvr::ReadWholeFile(outside + "S.CSS", bytes);
    FUZZ_CHECK(OutsideOpened());
  }
  ~Scratch() { dlvr::RemoveTree(root); }

  bool OutsideOpened() const { return watch->Opened(); }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // A page that is a PDF after all goes to the PDF-facts worker: this program.
  if (const int worker = dlvr::RunPdfFactsWorkerIfAsked(*argc, *argv); worker >= 0) std::exit(worker);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Never destroyed: libFuzzer ends with exit(), the view still there.
  new QApplication(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Scratch scratch;
  static dlvr::TPreviewView* view = [] {
    auto* v = new dlvr::TPreviewView;
    v->SetSandboxFolders({QString::fromStdString(scratch.delivery)});
    v->resize(480, 360);
    v->SetOpenHandler([](const QUrl&) { return false; });
    return v;
  }();
  const std::string page = scratch.delivery + "PAGE.HTM";
  dlvr::WriteWholeFile(page, std::string(reinterpret_cast<const char*>(data), size));
  view->Navigate(QString::fromStdString(page));
  for (int i = 0; i < 200 && view->Busy(); ++i) QApplication::processEvents(QEventLoop::AllEvents, 10);
  FUZZ_CHECK(!view->Busy());
  // Painting lays the page out: every image it names is asked for.
  view->grab();
  FUZZ_CHECK(!scratch.OutsideOpened());
  view->Navigate(QString());
  return 0;
}
