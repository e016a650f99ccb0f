// The photo window on a delivery of 10,000 photos, offscreen: how soon the
// first screen of thumbnails is there, the longest the event loop stood
// still while the whole grid is scrolled, and the peak memory; then the
// headless tool's photo checks on the same delivery.
//
//   photo_bench [--photos N] [--cache DIR] [--dlvr PATH] [--shots DIR] [--write-only]
//
// The delivery is generated once and kept in a cache folder (by default
// $XDG_CACHE_HOME/dlvr-photo-bench, else ~/.cache/dlvr-photo-bench, in a
// folder named by the generator's version and the photo count); a later run
// reuses it. It holds INDEX_C.XML, PHOTO/PHOTO.XML listing every photo
// (version 05, Shift-JIS), the photos as JPEGs of 1.2 to 2.8 million pixels
// at quality 60 (a site scene with a blackboard, EXIF date and camera, one in
// ten stored on its side with its orientation), and 20 reference drawings.
// Generation runs on two threads; about 2.5 GB for 10,000 photos.
//
// Exit 0 when the first screen of thumbnails came within 1 s, no stall
// exceeded 100 ms, the peak resident size stayed within 600 MB and
// `dlvr photos --check` took at most 3 s (median of 3); 3 when a target was
// missed; 1 on an error.
#include <sys/resource.h>

#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QScrollBar>
#include <QThreadPool>
#include <QTimer>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "bench_data.h"
#include "check/viewer_model.h"
#include "components/drawing_canvas.h"
#include "panes/photo_view.h"
#include "platform/drive.h"
#include "platform/paths.h"

namespace dlvr::bench {
namespace {

// Raised when what is generated changes: an older cache is not reused.
constexpr int kGeneratorVersion = 1;

long PeakRssMb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024;
}

struct Work {
  const char* Type;
  const char* Kind;
  const char* Detail;
};
const Work kWorks[] = {
    {"道路土工", "掘削工", "土砂掘削"},         {"道路土工", "路体盛土工", "路体盛土"},
    {"排水構造物工", "側溝工", "U型側溝"},      {"排水構造物工", "集水桝工", "集水桝"},
    {"舗装工", "舗装準備工", "下層路盤"},       {"舗装工", "アスファルト舗装工", "表層"},
    {"区画線工", "区画線工", "溶融式区画線"},   {"防護柵工", "路側防護柵工", "ガードレール"},
};
const char* const kDivisions[] = {"着手前", "施工状況写真", "安全管理写真", "使用材料写真",
                                  "品質管理写真", "出来形管理写真", "完成"};
const char* const kActions[] = {"施工状況", "完了", "出来形測定", "使用材料", "品質試験", "敷均し状況", "転圧状況"};

struct PhotoSpec {
  int Serial = 0;
  int Width = 0, Height = 0;  // as stored
  int Orientation = 1;
  std::string Date, Time;
  const Work* W = nullptr;
  const char* Division = "";
  std::string Title, Place;
  bool Representative = false, Frequency = false;
  int Drawing = 0;  // 1-20, 0 for none
};

std::vector<PhotoSpec> MakeSpecs(int count) {
  Rng rng(20240510);
  const QSize sizes[] = {{1280, 960}, {1440, 1080}, {1600, 1200}, {1920, 1440}};
  const QDate start(2023, 4, 10), end(2024, 2, 29);
  std::vector<PhotoSpec> specs;
  for (int i = 1; i <= count; ++i) {
    PhotoSpec s;
    s.Serial = i;
    const QSize size = sizes[rng.Below(4)];
    s.Width = size.width();
    s.Height = size.height();
    s.Orientation = rng.Below(10) == 0 ? 6 : 1;
    // Dates rise with the serial number, as a site's photos do.
    s.Date = start.addDays(static_cast<qint64>(start.daysTo(end)) * (i - 1) / std::max(1, count - 1))
                 .toString(Qt::ISODate)
                 .toStdString();
    char time[32];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", 8 + static_cast<int>(rng.Below(9)),
                  static_cast<int>(rng.Below(60)), static_cast<int>(rng.Below(60)));
    s.Time = time;
    s.W = &kWorks[rng.Below(std::size(kWorks))];
    s.Division = i <= 20 ? "着手前" : i > count - 20 ? "完成" : kDivisions[1 + rng.Below(5)];
    s.Title = std::string(s.W->Detail) + rng.Pick(kActions);
    s.Place = "No." + std::to_string(1 + rng.Below(60)) + (rng.Below(2) ? "+10.0 付近" : " 付近");
    s.Representative = rng.Below(50) == 0;
    s.Frequency = rng.Below(5) == 0;
    s.Drawing = rng.Below(20) == 0 ? 1 + static_cast<int>(rng.Below(20)) : 0;
    specs.push_back(std::move(s));
  }
  return specs;
}

std::string FileName(char lead, int n) {
  char name[24];
  std::snprintf(name, sizeof name, "%c%07d.JPG", lead, n);
  return name;
}

std::string PhotoXml(const std::vector<PhotoSpec>& specs) {
  std::string x = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<!DOCTYPE photodata SYSTEM \"PHOTO05.DTD\">\n"
                  "<photodata DTD_version=\"05\">\n\t<基礎情報>\n\t\t<写真フォルダ名>PHOTO/PIC</写真フォルダ名>\n"
                  "\t\t<参考図フォルダ名>PHOTO/DRA</参考図フォルダ名>\n\t\t<適用要領基準>土木202303-01</適用要領基準>\n\t</基礎情報>\n";
  for (const PhotoSpec& s : specs) {
    x += "\t<写真情報>\n\t\t<写真ファイル情報>\n\t\t\t<シリアル番号>" + std::to_string(s.Serial) +
         "</シリアル番号>\n\t\t\t<写真ファイル名>" + FileName('P', s.Serial) + "</写真ファイル名>\n\t\t\t<写真ファイル日本語名>" +
         s.Title + ".JPG</写真ファイル日本語名>\n\t\t\t<メディア番号>1</メディア番号>\n\t\t</写真ファイル情報>\n"
         "\t\t<撮影工種区分>\n\t\t\t<写真-大分類>工事</写真-大分類>\n\t\t\t<写真区分>" + s.Division + "</写真区分>\n" +
         "\t\t\t<工種>" + s.W->Type + "</工種>\n\t\t\t<種別>" + s.W->Kind + "</種別>\n\t\t\t<細別>" + s.W->Detail +
         "</細別>\n\t\t\t<写真タイトル>" + s.Title + "</写真タイトル>\n\t\t</撮影工種区分>\n";
    if (s.Drawing)
      x += "\t\t<付加情報>\n\t\t\t<参考図ファイル名>" + FileName('D', s.Drawing) + "</参考図ファイル名>\n\t\t\t<参考図タイトル>" +
           "位置図</参考図タイトル>\n\t\t</付加情報>\n";
    x += "\t\t<撮影情報>\n\t\t\t<撮影箇所>" + s.Place + "</撮影箇所>\n\t\t\t<撮影年月日>" + s.Date +
         "</撮影年月日>\n\t\t</撮影情報>\n\t\t<代表写真>" + (s.Representative ? "1" : "0") + "</代表写真>\n\t\t<提出頻度写真>" +
         (s.Frequency ? "1" : "0") + "</提出頻度写真>\n\t</写真情報>\n";
  }
  return x + "</photodata>\n";
}

// A grain laid over every picture, as a camera's sensor and the ground give:
// JPEGs then come out as large as real ones.
QImage Grain() {
  QImage grain(256, 256, QImage::Format_ARGB32_Premultiplied);
  Rng rng(99);
  for (int y = 0; y < grain.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(grain.scanLine(y));
    for (int x = 0; x < grain.width(); ++x) {
      const int v = static_cast<int>(rng.Below(256)), a = 40;
      line[x] = qRgba(v * a / 255, v * a / 255, v * a / 255, a);
    }
  }
  return grain;
}

// A site photo as the camera stores it: always landscape, a portrait one
// turned upright by its EXIF orientation when shown.
QByteArray PhotoJpeg(const PhotoSpec& s, const QImage& grain, int quality) {
  // A photo taken upright is stored turned a quarter left (orientation 6).
  const bool portrait = s.Orientation == 6;
  const int w = portrait ? s.Height : s.Width, h = portrait ? s.Width : s.Height;
  QImage img(w, h, QImage::Format_RGB32);
  Rng rng(static_cast<std::uint64_t>(s.Serial) * 7919);
  QPainter p(&img);
  QLinearGradient sky(0, 0, 0, h * 0.45);
  sky.setColorAt(0, QColor(110 + rng.Below(40), 160 + rng.Below(40), 220));
  sky.setColorAt(1, QColor(215, 225, 235));
  p.fillRect(0, 0, w, h * 45 / 100, sky);
  QLinearGradient ground(0, h * 0.45, 0, h);
  ground.setColorAt(0, QColor(140 + rng.Below(30), 120 + rng.Below(20), 90));
  ground.setColorAt(1, QColor(95, 80, 60));
  p.fillRect(0, h * 45 / 100, w, h - h * 45 / 100, ground);
  p.setRenderHint(QPainter::Antialiasing);
  // Hills, a road, machines, cones.
  p.setPen(Qt::NoPen);
  for (int k = 0; k < 3; ++k) {
    p.setBrush(QColor(70 + rng.Below(40), 110 + rng.Below(40), 60 + rng.Below(30)));
    p.drawEllipse(QPointF(w * (0.1 + 0.4 * k) + rng.Below(100), h * 0.47), w * 0.35, h * 0.12);
  }
  p.setBrush(QColor(80, 80, 85));
  p.drawPolygon(QPolygonF({QPointF(w * 0.42, h * 0.46), QPointF(w * 0.58, h * 0.46), QPointF(w * 0.95, h), QPointF(w * 0.05, h)}));
  p.setPen(QPen(QColor(240, 240, 240), w / 200.0, Qt::DashLine));
  p.drawLine(QPointF(w * 0.5, h * 0.46), QPointF(w * 0.5, h));
  p.setPen(Qt::NoPen);
  for (int k = 0; k < 4 + static_cast<int>(rng.Below(6)); ++k) {
    const QColor colours[] = {QColor(235, 170, 20), QColor(230, 230, 230), QColor(200, 60, 40), QColor(60, 90, 160)};
    p.setBrush(colours[rng.Below(4)]);
    const double x = rng.Below(static_cast<std::size_t>(w)), y = h * 0.5 + rng.Below(static_cast<std::size_t>(h / 3));
    p.drawRoundedRect(QRectF(x, y, w * (0.05 + rng.Below(10) / 100.0), h * (0.04 + rng.Below(8) / 100.0)), 6, 6);
  }
  for (int y = 0; y < h; y += grain.height())
    for (int x = 0; x < w; x += grain.width()) p.drawImage(x, y, grain);
  // The blackboard held up in every site photo.
  const QRectF board(w * 0.04, h * 0.62, w * 0.34, h * 0.32);
  p.setBrush(QColor(30, 70, 50));
  p.setPen(QPen(QColor(150, 120, 80), w / 160.0));
  p.drawRect(board);
  QFont font(QStringLiteral("IPAGothic"));
  font.setPixelSize(std::max(10, h / 34));
  p.setFont(font);
  p.setPen(Qt::white);
  const QString text = QStringLiteral("工事名 ○○線道路改良工事\n工種 %1\n種別 %2\n測点 %3\n%4")
                           .arg(QString::fromStdString(s.W->Type), QString::fromStdString(s.W->Kind),
                                QString::fromStdString(s.Place), QString::fromStdString(s.Date));
  p.drawText(board.adjusted(w * 0.01, h * 0.01, -w * 0.01, -h * 0.01), Qt::AlignLeft | Qt::AlignTop, text);
  p.end();
  if (portrait) img = img.transformed(QTransform().rotate(-90));

  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "jpeg");
  writer.setQuality(quality);
  writer.write(img);
  return bytes;
}

// The camera's EXIF block, written with the EXIF library.
QByteArray WithExif(const QByteArray& jpeg, const PhotoSpec& s) {
  try {
    auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(jpeg.constData()),
                                           static_cast<long>(jpeg.size()));
    image->readMetadata();
    Exiv2::ExifData exif;
    std::string stamp = s.Date + " " + s.Time;
    std::replace(stamp.begin(), stamp.begin() + 10, '-', ':');
    exif["Exif.Image.Make"] = "Sitecam";
    exif["Exif.Image.Model"] = "SC-200";
    exif["Exif.Image.Software"] = "SC-200 Firmware 1.02";
    exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(s.Orientation);
    exif["Exif.Photo.DateTimeOriginal"] = stamp;
    exif["Exif.Photo.PixelXDimension"] = static_cast<std::uint32_t>(s.Width);
    exif["Exif.Photo.PixelYDimension"] = static_cast<std::uint32_t>(s.Height);
    image->setExifData(exif);
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    io.seek(0, Exiv2::BasicIo::beg);
    Exiv2::DataBuf buf = io.read(static_cast<long>(io.size()));
    return QByteArray(reinterpret_cast<const char*>(buf.pData_), static_cast<qsizetype>(buf.size_));
  } catch (const Exiv2::Error&) {
    return jpeg;
  }
}

bool WriteBytes(const std::string& path, const QByteArray& bytes) {
  const std::string part = path + ".part";
  QFile f(QString::fromStdString(part));
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return false;
  f.close();
  std::error_code ec;
  std::filesystem::rename(part, path, ec);
  return !ec;
}

// Writes what is missing of the delivery (a run broken off goes on where
// it stopped); the marker file says it is complete.
bool Generate(const std::string& folder, int count) {
  const std::string marker = folder + "COMPLETE";
  if (FileExists(marker)) return true;
  std::printf("generating %d photos in %s (once; later runs reuse them)\n", count, folder.c_str());
  std::fflush(stdout);
  std::error_code ec;
  std::filesystem::create_directories(folder + "PHOTO/PIC", ec);
  std::filesystem::create_directories(folder + "PHOTO/DRA", ec);
  const std::vector<PhotoSpec> specs = MakeSpecs(count);
  TMdlTreeNodeIndex index = MakeIndexRecord();
  if (!WriteDeliveryFile(folder + "INDEX_C.XML", IndexXml(index)) || !WriteDeliveryFile(folder + "INDE_C02.DTD", IndexDtd()) ||
      !WriteDeliveryFile(folder + "PHOTO/PHOTO.XML", PhotoXml(specs)) ||
      !WriteDeliveryFile(folder + "PHOTO/PHOTO05.DTD", "<!ELEMENT photodata ANY>\n"))
    return false;
  Exiv2::XmpParser::initialize();  // once, before the threads
  const QImage grain = Grain();
  QElapsedTimer clock;
  clock.start();
  std::atomic<int> next{0}, done{0};
  std::atomic<bool> failed{false};
  QThreadPool pool;
  pool.setMaxThreadCount(2);
  for (int t = 0; t < 2; ++t)
    pool.start([&] {
      for (int i = next++; i < count + 20 && !failed; i = next++) {
        const bool drawing = i >= count;
        PhotoSpec s = drawing ? PhotoSpec{} : specs[static_cast<std::size_t>(i)];
        if (drawing) {
          s.Serial = 1000000 + i;
          s.Width = 1024;
          s.Height = 768;
          s.W = &kWorks[0];
          s.Date = "2023-04-10";
          s.Time = "09:00:00";
        }
        const std::string path =
            folder + (drawing ? "PHOTO/DRA/" + FileName('D', i - count + 1) : "PHOTO/PIC/" + FileName('P', s.Serial));
        if (!FileExists(path)) {
          const QByteArray jpeg = PhotoJpeg(s, grain, 60);
          if (!WriteBytes(path, drawing ? jpeg : WithExif(jpeg, s))) failed = true;
        }
        const int n = ++done;
        if (n % 500 == 0) {
          std::printf("  %d / %d (%.0f s)\n", n, count + 20, clock.elapsed() / 1000.0);
          std::fflush(stdout);
        }
      }
    });
  pool.waitForDone();
  if (failed) return false;
  return TouchFile(marker);
}

struct Figures {
  double shown = 0, firstScreen = 0, checked = 0, scrolled = 0;
  double stallOpen = 0, stallScroll = 0;
  int decoded = 0, rows = 0, findings = 0;
  long peakMb = 0;
};

// Runs the event loop until `done` holds (checked at every heartbeat) or
// `limitMs` passed; the heartbeat notes the longest gap between its turns.
bool RunUntil(const std::function<bool()>& done, int limitMs, double& stall, const std::function<void()>& tick = {}) {
  QEventLoop loop;
  QElapsedTimer clock, since;
  clock.start();
  since.start();
  bool ok = false;
  QTimer heartbeat;
  heartbeat.setInterval(5);
  heartbeat.setTimerType(Qt::PreciseTimer);
  QObject::connect(&heartbeat, &QTimer::timeout, [&] {
    stall = std::max(stall, since.nsecsElapsed() / 1e6);
    since.restart();
    if (tick) tick();
    if (done()) {
      ok = true;
      loop.quit();
    } else if (clock.elapsed() > limitMs) {
      loop.quit();
    }
  });
  heartbeat.start();
  loop.exec();
  return ok;
}

bool ScreenReady(TfrmPhotoView& view) {
  TPhotoListModel* list = view.ListModel();
  if (view.Busy() && !view.Store()) return false;
  if (list->FirstVisible() < 0) return false;
  for (int row = list->FirstVisible(); row <= list->LastVisible(); ++row)
    if (list->State(list->RecordAt(row)) == TPhotoListModel::Loading) return false;
  return true;
}

bool Measure(const std::string& folder, const QString& shots, Figures& f) {
  SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
  DeliveryStore store;
  TViewerModel model(store);
  model.View.MakeWorkCopies = false;
  model.View.Load(folder);
  TfrmPhotoView view(model);
  view.resize(1280, 900);
  view.show();
  QCoreApplication::processEvents();

  QElapsedTimer clock, opened;
  clock.start();
  opened.start();
  bool loaded = false, checked = false;
  QObject::connect(&view, &TfrmPhotoView::Loaded, [&] {
    loaded = true;
    f.shown = opened.elapsed() / 1000.0;
  });
  QObject::connect(&view, &TfrmPhotoView::Checked, [&] {
    checked = true;
    f.checked = opened.elapsed() / 1000.0;
  });
  view.Refresh();
  if (!RunUntil([&] { return loaded && ScreenReady(view); }, 60000, f.stallOpen)) return false;
  f.firstScreen = clock.elapsed() / 1000.0;
  f.rows = view.ListModel()->rowCount();
  if (!shots.isEmpty()) view.grab().save(shots + "/photo_bench_first.png");

  // The whole grid, a page at a time as fast as PageDown repeats.
  QScrollBar* bar = view.lvwPhotos->verticalScrollBar();
  QElapsedTimer step;
  step.start();
  clock.restart();
  auto scroll = [&] {
    if (step.elapsed() < 30 || bar->value() >= bar->maximum()) return;
    step.restart();
    bar->setValue(std::min(bar->maximum(), bar->value() + bar->pageStep()));
  };
  if (!RunUntil([&] { return bar->value() >= bar->maximum() && ScreenReady(view) && checked; }, 600000, f.stallScroll,
                scroll))
    return false;
  f.scrolled = clock.elapsed() / 1000.0;
  f.decoded = view.Loader()->Decoded();
  f.findings = static_cast<int>(view.Findings().size());
  if (!shots.isEmpty()) view.grab().save(shots + "/photo_bench_end.png");
  f.peakMb = PeakRssMb();
  SetDriveTypeOverride(nullptr);
  return true;
}

// `dlvr photos --check` on the folder: the median of three runs, and its lines.
bool TimeCheck(const QString& dlvr, const std::string& folder, double& median, int& lines) {
  std::vector<double> times;
  for (int run = 0; run < 3; ++run) {
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(dlvr, {QStringLiteral("photos"), QString::fromStdString(folder), QStringLiteral("--check")});
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() > 1) {
      std::fprintf(stderr, "dlvr photos --check failed: %s\n", p.readAllStandardError().constData());
      return false;
    }
    times.push_back(t.elapsed() / 1000.0);
    lines = static_cast<int>(p.readAllStandardOutput().count('\n'));
  }
  median = Summarise(times).median;
  return true;
}

}  // namespace
}  // namespace dlvr::bench

int main(int argc, char** argv) {
  using namespace dlvr::bench;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  dlvr::InstallFontSubstitutions();
  int photos = 10000;
  QString cache, dlvr = QCoreApplication::applicationDirPath() + "/../src/cli/dlvr", shots;
  bool writeOnly = false;
  const QStringList args = QCoreApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    const bool more = i + 1 < args.size();
    if (a == "--photos" && more) photos = std::max(1, args[++i].toInt());
    else if (a == "--cache" && more) cache = args[++i];
    else if (a == "--dlvr" && more) dlvr = args[++i];
    else if (a == "--shots" && more) shots = args[++i];
    else if (a == "--write-only") writeOnly = true;
    else {
      std::fprintf(stderr, "usage: photo_bench [--photos N] [--cache DIR] [--dlvr PATH] [--shots DIR] [--write-only]\n");
      return 1;
    }
  }
  if (cache.isEmpty()) {
    const QString base = qEnvironmentVariableIsEmpty("XDG_CACHE_HOME") ? QDir::homePath() + "/.cache"
                                                                       : qEnvironmentVariable("XDG_CACHE_HOME");
    cache = base + "/dlvr-photo-bench";
  }
  const std::string folder =
      QString("%1/v%2-%3/").arg(cache).arg(kGeneratorVersion).arg(photos).toStdString();
  if (!Generate(folder, photos)) {
    std::fprintf(stderr, "could not write the delivery into %s\n", folder.c_str());
    return 1;
  }
  if (writeOnly) {
    std::printf("%s\n", folder.c_str());
    return 0;
  }
  if (!shots.isEmpty()) QDir().mkpath(shots);

  Figures f;
  if (!Measure(folder, shots, f)) {
    std::fprintf(stderr, "the photo window did not finish within the time allowed\n");
    return 1;
  }
  std::printf("photos: %d in %s\n", f.rows, folder.c_str());
  std::printf("records shown:          %.3f s\n", f.shown);
  std::printf("first screen of thumbnails: %.3f s   (target <= 1 s)\n", f.firstScreen);
  std::printf("longest stall opening:  %.0f ms\n", f.stallOpen);
  std::printf("scrolled the whole grid in %.1f s, %d thumbnails decoded\n", f.scrolled, f.decoded);
  std::printf("longest stall scrolling: %.0f ms   (target <= 100 ms)\n", f.stallScroll);
  std::printf("checks in the window done %.2f s after opening, %d findings\n", f.checked, f.findings);
  std::printf("peak resident size:     %ld MB   (target <= 600 MB)\n", f.peakMb);
  bool met = f.firstScreen <= 1.0 && std::max(f.stallOpen, f.stallScroll) <= 100 && f.peakMb <= 600;
  if (QFileInfo(dlvr).isExecutable()) {
    double median = 0;
    int lines = 0;
    if (!TimeCheck(dlvr, folder, median, lines)) return 1;
    std::printf("dlvr photos --check:    %.2f s median of 3, %d findings   (target <= 3 s)\n", median, lines);
    met = met && median <= 3.0;
  } else {
    std::printf("dlvr photos --check:    not timed (no %s)\n", qPrintable(dlvr));
  }
  return met ? 0 : 3;
}
