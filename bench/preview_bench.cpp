// Showing large management files in the XML pane, offscreen: how soon the
// first content is there, when the view is complete, the longest the event
// loop stood still meanwhile, and the peak memory.
//
//   preview_bench [--keep] [--shots DIR]
//
// Writes three deliveries into a temporary folder (removed unless --keep):
// 1,000 meetings, 10,000 meetings, and about 2 MB of DRAWINGS.XML. Each is
// loaded into a fresh model and its class node shown in every style of the
// pane (stylesheet, XML code, source). A 10 ms timer measures the largest
// gap between its turns while a view is prepared. Exit 0 when, for every
// case, the first content came within 1 s and no stall exceeded 250 ms, and
// the peak resident size stayed within 400 MB. With --shots, the pane is
// saved as PNG in DIR at its first content and when complete.
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_data.h"
#include "check/viewer_model.h"
#include "components/preview_view.h"
#include "panes/xml_pane.h"
#include "platform/drive.h"
#include "platform/paths.h"
#include "platform/tempfs.h"

namespace dlvr::bench {
namespace {

long PeakRssMb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024;
}

bool WriteCase(const std::string& folder, int meetings, int drawings) {
  Rng rng(7);
  std::error_code ec;
  std::filesystem::create_directories(folder + "MEET", ec);
  std::filesystem::create_directories(folder + "DRAWINGS", ec);
  bool ok = WriteDeliveryFile(folder + "INDEX_C.XML", IndexXml(MakeIndexRecord())) &&
            WriteDeliveryFile(folder + "INDE_C02.DTD", IndexDtd());
  if (meetings > 0) {
    std::vector<TMdlTreeNodeMeet> list;
    for (int i = 1; i <= meetings; ++i) list.push_back(MakeMeeting(rng, i, 3, 1, 60));
    ok = ok && WriteDeliveryFile(folder + "MEET/MEET.XML", MeetXml(list)) &&
         WriteDeliveryFile(folder + "MEET/MEET02.DTD", MeetDtd());
  }
  if (drawings > 0) {
    std::vector<TMdlTreeNodeDraw> list;
    for (int n = 1; n <= drawings; ++n) list.push_back(MakeDrawing(rng, 'D', n));
    ok = ok && WriteDeliveryFile(folder + "DRAWINGS/DRAWINGS.XML", DrawXml(list)) &&
         WriteDeliveryFile(folder + "DRAWINGS/DRAW02.DTD", DrawDtd());
  }
  return ok;
}

struct Result {
  double firstContent = 0, complete = 0, stall = 0;
};

// Shows the class node in one style and measures until the view is complete
// (or 60 s have passed).
Result Measure(TfrmXML& pane, TViewerModel& model, int cls, int style, const QString& shots) {
  Result r;
  QElapsedTimer clock;
  qint64 lastTick = 0;
  QTimer ticker;
  ticker.setInterval(10);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    r.stall = std::max(r.stall, (now - lastTick) / 1000.0);
    lastTick = now;
  });
  bool firstSeen = false;
  auto contentThere = [&] {
    if (style == 2) return !pane.memSource->toPlainText().isEmpty();
    return !pane.webBrowser->Busy() && pane.webBrowser->RendererKind() != u"blank";
  };
  // Complete: the whole file read (an early first page or tree says it is
  // still reading) and every piece of the source in.
  auto* records = pane.webBrowser->findChild<QLabel*>(QStringLiteral("lblRecords"));
  auto completeNow = [&] {
    if (style == 2) return pane.memSource->findChild<QObject*>(QStringLiteral("dlvrPieceFiller")) == nullptr;
    return !pane.webBrowser->Busy() && !pane.webBrowser->Note().contains(QStringLiteral("読み込んでいます")) &&
           !(records && records->isVisible() && records->text().contains(QStringLiteral("読み込み中")));
  };
  clock.start();
  ticker.start();
  QTimer::singleShot(0, [&] {
    (style == 0 ? pane.rbtStyle : style == 1 ? pane.rbtXMLSource : pane.rbtPureSource)->setChecked(true);
    pane.ShowNode(model.View.FindClassNode(cls));
  });
  while (clock.elapsed() < 60000) {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!firstSeen && contentThere()) {
      firstSeen = true;
      r.firstContent = clock.elapsed() / 1000.0;
      if (!shots.isEmpty()) pane.grab().save(shots + QStringLiteral("/%1-first.png").arg(style));
    }
    if (firstSeen && completeNow()) break;
  }
  if (!shots.isEmpty()) pane.grab().save(shots + QStringLiteral("/%1-done.png").arg(style));
  r.complete = clock.elapsed() / 1000.0;
  // The gap that ended with completion counts too.
  r.stall = std::max(r.stall, (clock.elapsed() - lastTick) / 1000.0);
  return r;
}

}  // namespace
}  // namespace dlvr::bench

int main(int argc, char** argv) {
  using namespace dlvr;
  using namespace dlvr::bench;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  bool keep = false;
  QString shots;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--keep") keep = true;
    if (std::string(argv[i]) == "--shots" && i + 1 < argc) shots = QString::fromLocal8Bit(argv[++i]);
  }
  SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
  const std::string root = MakeTempDir("dlvr-bench-preview-");
  struct Case {
    const char* name;
    int meetings, drawings, cls;
  };
  const Case cases[] = {{"1,000 meetings", 1000, 0, 2}, {"10,000 meetings", 10000, 0, 2}, {"DRAWINGS.XML ~2 MB", 0, 2500, 1}};
  const char* styles[] = {"stylesheet", "XML code", "source"};
  bool met = true;
  std::printf("%-20s %-11s %12s %10s %12s %9s\n", "file", "style", "first (s)", "done (s)", "stall (ms)", "rss (MB)");
  for (const Case& c : cases) {
    const std::string folder = WithTrailingSlash(root + c.name[0] + std::to_string(c.meetings + c.drawings));
    if (!WriteCase(folder, c.meetings, c.drawings)) {
      std::fprintf(stderr, "cannot write %s\n", folder.c_str());
      return 2;
    }
    TViewerModel model;
    model.View.Load(folder);
    TfrmXML pane(model);
    pane.resize(1000, 800);
    pane.show();
    for (int style = 0; style < 3; ++style) {
      QString caseShots;
      if (!shots.isEmpty()) {
        caseShots = shots + QStringLiteral("/%1").arg(c.meetings + c.drawings);
        QDir().mkpath(caseShots);
      }
      Result r = Measure(pane, model, c.cls, style, caseShots);
      const long rss = PeakRssMb();
      std::printf("%-20s %-11s %12.3f %10.3f %12.0f %9ld\n", c.name, styles[style], r.firstContent, r.complete,
                  r.stall * 1000, rss);
      met = met && r.firstContent <= 1.0 && r.stall <= 0.25;
    }
    model.View.RemoveWorkFolders();
  }
  const long rss = PeakRssMb();
  met = met && rss <= 400;
  std::printf("peak resident size %ld MB; targets (first content <= 1 s, stall <= 250 ms, rss <= 400 MB) %s\n", rss,
              met ? "met" : "NOT met");
  if (!keep) RemoveTree(root);
  return met ? 0 : 1;
}
