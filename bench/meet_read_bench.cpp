// Reading speed of a large MEET.XML, against xmllint on the same file.
//
//   meet_read_bench [FILE] [--runs N] [--records N] [--keep] [--write-only]
//
// Without FILE a MEET.XML is generated first (Shift-JIS, CRLF, one element a
// line, 20,000 meeting records with two original files each, about 50 MB)
// in a temporary folder, removed at the end unless --keep is given. With
// --write-only the file is generated, its path printed, and nothing timed.
//
// Each of TKKTXMLRead::ReadFile (into a fresh store) and `xmllint --noout`
// runs once untimed to warm the page cache, then N times (default 7); best
// and median wall times are printed side by side. The aim is a reader at
// least three times as fast as xmllint: exit status 0 when our median is at
// most kTargetRatio times xmllint's, 3 when it is slower, 1 on errors.

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "delivery/kkt_xml_read.h"
#include "delivery/store.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/tempfs.h"
#include "platform/text.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Our median against xmllint's, at most.
constexpr double kTargetRatio = 0.33;
using dlvr::DeliveryStore;
using dlvr::TKKTXMLRead;

// ---------------------------------------------------------------------------
// Generated file

// A small fixed pseudo-random sequence, so that every run writes the same file.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint32_t Next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state_ >> 33);
  }
  std::size_t Below(std::size_t n) { return Next() % n; }
  template <class T, std::size_t N>
  const T& Pick(const T (&items)[N]) { return items[Below(N)]; }

 private:
  std::uint64_t state_;
};

const char* const kKinds[] = {"指示", "承諾", "協議", "提出", "提示", "報告", "通知"};
const char* const kSubjects[] = {
    "仮設計画の変更について", "土留め工の施工方法について", "コンクリート打設計画の提出",
    "材料確認願い（鉄筋）", "段階確認の実施について", "工程表の変更について",
    "舗装版撤去範囲の協議", "排水構造物の位置変更", "交通規制計画の承諾願い",
    "出来形管理基準の確認", "品質管理試験結果の報告", "安全訓練実施状況の報告",
    "掘削土の搬出先について", "既設埋設物の取扱いについて", "施工時間帯の変更願い"};
const char* const kPeople[] = {"現場代理人　山田太郎", "監理技術者　鈴木一郎", "主任技術者　佐藤花子",
                               "監督員　高橋健二", "総括監督員　田中誠", "主任監督員　渡辺修"};
const char* const kSoft[] = {"文書作成ソフト　Ver.12.0", "表計算ソフト　Ver.16.0", "図面作成ソフト　2023",
                             "電子印鑑システム　Ver.3.2"};
const char* const kPhrases[] = {
    "本工事の施工にあたり、", "現地の状況を確認した結果、", "当初設計と相違があるため、",
    "別紙のとおり協議いたします。", "関係機関との調整を踏まえ、", "施工計画書の記載内容を変更し、",
    "安全対策を十分に講じたうえで", "近隣住民への周知を行い、", "試験施工の結果に基づき、",
    "品質及び出来形を確保するため、", "工程への影響はありません。", "ご確認をお願いいたします。",
    "数量の増減は別途精算とします。", "監督員の指示により実施した。", "写真及び測定結果を添付します。",
    "雨天により一部作業を延期した。", "重機の配置を見直し、", "騒音振動の低減に努める。"};

// Full-width prose of at most maxChars characters (all phrases are
// full-width, three UTF-8 bytes a character).
std::string Prose(Rng& rng, std::size_t maxChars) {
  std::string out;
  while (true) {
    const char* phrase = rng.Pick(kPhrases);
    if ((out.size() + std::strlen(phrase)) / 3 > maxChars) break;
    out += phrase;
  }
  return out;
}

std::string Date(Rng& rng, int year) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, 1 + static_cast<int>(rng.Below(12)),
                1 + static_cast<int>(rng.Below(28)));
  return buf;
}

void Element(std::string& out, const char* name, const std::string& value) {
  out += '<';
  out += name;
  out += '>';
  out += value;
  out += "</";
  out += name;
  out += ">\n";
}

// The text of MEET.XML (UTF-8, LF); the caller converts it.
std::string MeetText(int records) {
  Rng rng(20240401);
  std::string out;
  out.reserve(static_cast<std::size_t>(records) * 3700 + 1024);
  out += "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n";
  out += "<!DOCTYPE meetdata SYSTEM \"MEET03.DTD\">\n";
  out += "<meetdata DTD_version=\"03\">\n";
  out += "<ソフトウェア情報>\n";
  Element(out, "ソフトウェア名", "電子納品作成支援システム");
  Element(out, "バージョン情報", "Ver.5.2.1");
  Element(out, "メーカ名", "株式会社　東都情報システム");
  Element(out, "メーカ連絡先", "東京都千代田区霞が関一丁目１番１号　ＴＥＬ０３－１２３４－５６７８");
  Element(out, "ソフトメーカ用TAG", "");
  out += "</ソフトウェア情報>\n";
  for (int i = 1; i <= records; ++i) {
    const std::string serial = std::to_string(i);
    out += "<打合せ簿情報>\n";
    Element(out, "シリアル番号", serial);
    Element(out, "打合せ簿種類", rng.Pick(kKinds));
    std::string name = rng.Pick(kSubjects);
    if (rng.Below(50) == 0) name += "（A&amp;B区間）";
    Element(out, "打合せ簿名称", name + "（第" + serial + "号）");
    Element(out, "管理区分", std::to_string(rng.Below(3)));
    Element(out, "打合せ簿番号", "M-" + serial);
    Element(out, "作成者", rng.Pick(kPeople));
    Element(out, "提出先", rng.Pick(kPeople));
    Element(out, "発行日付", Date(rng, 2023));
    Element(out, "受理日付", Date(rng, 2023));
    Element(out, "完了日付", Date(rng, 2024));
    for (int k = 1; k <= 2; ++k) {
      char file[32];
      std::snprintf(file, sizeof file, "MEET%04d_%02d.%s", i % 10000, k, k == 1 ? "DOCX" : "XLSX");
      out += "<オリジナルファイル情報>\n";
      Element(out, "打合せ簿オリジナルファイル名", file);
      Element(out, "打合せ簿オリジナルファイル作成ソフトバージョン情報", rng.Pick(kSoft));
      Element(out, "オリジナルファイル内容", Prose(rng, 127));
      out += "</オリジナルファイル情報>\n";
    }
    out += "<その他>\n";
    Element(out, "請負者説明文", Prose(rng, 127));
    Element(out, "発注者説明文", Prose(rng, 127));
    Element(out, "予備", Prose(rng, 80));
    Element(out, "予備", Prose(rng, 80));
    out += "</その他>\n";
    out += "</打合せ簿情報>\n";
  }
  out += "</meetdata>\n";
  return out;
}

bool WriteMeetFile(const std::string& path, int records) {
  std::string text = MeetText(records);
  std::string crlf;
  crlf.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return dlvr::WriteWholeFile(path, dlvr::Utf8ToCp932(crlf));
}

// ---------------------------------------------------------------------------
// Timing

struct Stats {
  double best = 0;
  double median = 0;
};

Stats Summarise(std::vector<double> seconds) {
  std::sort(seconds.begin(), seconds.end());
  Stats s;
  s.best = seconds.front();
  std::size_t n = seconds.size();
  s.median = n % 2 ? seconds[n / 2] : (seconds[n / 2 - 1] + seconds[n / 2]) / 2;
  return s;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct ReadResult {
  double seconds = 0;
  bool failed = false;
  std::size_t records = 0;
  std::size_t orgs = 0;
  std::string lastSerial;
};

ReadResult TimeRead(const std::string& path) {
  ReadResult result;
  auto store = std::make_unique<DeliveryStore>();
  TKKTXMLRead reader(*store);
  auto t0 = Clock::now();
  result.failed = reader.ReadFile(path);
  auto t1 = Clock::now();
  result.seconds = Seconds(t1 - t0);
  result.records = store->Meetings.size();
  for (const auto& m : store->Meetings) result.orgs += m.Orgs.size();
  if (!store->Meetings.empty()) result.lastSerial = store->Meetings.back().SerialNo;
  return result;
}

// Runs `xmllint --noout FILE`; the wall time, or nothing when it could not
// be started or did not exit with 0.
std::optional<double> TimeXmllint(const std::string& path, int* status) {
  std::string file = path;
  char arg0[] = "xmllint";
  char arg1[] = "--noout";
  char* argv[] = {arg0, arg1, file.data(), nullptr};
  pid_t pid;
  auto t0 = Clock::now();
  if (::posix_spawnp(&pid, "xmllint", nullptr, nullptr, argv, environ) != 0) {
    *status = -1;
    return std::nullopt;
  }
  int st = 0;
  if (::waitpid(pid, &st, 0) < 0) {
    *status = -1;
    return std::nullopt;
  }
  auto t1 = Clock::now();
  *status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  if (*status != 0) return std::nullopt;
  return Seconds(t1 - t0);
}

void PrintRow(const char* what, const Stats& s, double mb) {
  std::printf("%-22s %10.3f s %10.3f s %10.1f MB/s %10.1f MB/s\n", what, s.best, s.median, mb / s.best,
              mb / s.median);
}

int Usage() {
  std::fprintf(stderr, "usage: meet_read_bench [MEET.XML] [--runs N] [--records N] [--keep] [--write-only]\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string file;
  int runs = 7;
  int records = 20000;
  bool keep = false;
  bool writeOnly = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
    } else if (a == "--records" && i + 1 < argc) {
      records = std::atoi(argv[++i]);
    } else if (a == "--keep") {
      keep = true;
    } else if (a == "--write-only") {
      writeOnly = true;
      keep = true;
    } else if (!a.empty() && a[0] == '-') {
      return Usage();
    } else if (file.empty()) {
      file = a;
    } else {
      return Usage();
    }
  }
  if (runs < 1 || records < 1) return Usage();

  // The reader picks the file's kind by its name: a file of another name is
  // reached through a link named MEET.XML.
  std::string tempDir;
  const bool generated = file.empty();
  if (generated || TKKTXMLRead::KindOfFileName(file) != dlvr::fkMeet) {
    tempDir = dlvr::MakeTempDir("dlvr-bench-");
    if (tempDir.empty()) {
      std::fprintf(stderr, "cannot create a temporary folder\n");
      return 1;
    }
  }
  std::string path;
  if (generated) {
    path = tempDir + "MEET.XML";
    std::printf("writing %d meeting records to %s ...\n", records, path.c_str());
    std::fflush(stdout);
    if (!WriteMeetFile(path, records)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    if (writeOnly) {
      std::printf("%s\n", path.c_str());
      return 0;
    }
  } else if (!tempDir.empty()) {
    path = tempDir + "MEET.XML";
    if (::symlink(dlvr::AbsolutePath(file).c_str(), path.c_str()) != 0) {
      std::fprintf(stderr, "cannot link %s\n", file.c_str());
      return 1;
    }
  } else {
    path = file;
  }

  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    std::fprintf(stderr, "cannot read %s\n", (generated ? path : file).c_str());
    return 1;
  }
  const double mb = static_cast<double>(st.st_size) / 1e6;

  int exitCode = 0;
  // Ours: one warm-up, then the timed runs; every run must read the whole file.
  ReadResult warm = TimeRead(path);
  std::printf("file: %s\nsize: %.1f MB, %zu meeting records, %zu original files\n",
              (generated ? path : file).c_str(), mb, warm.records, warm.orgs);
  if (warm.failed || warm.records == 0 ||
      (generated && (warm.records != static_cast<std::size_t>(records) ||
                     warm.orgs != 2 * static_cast<std::size_t>(records) ||
                     warm.lastSerial != std::to_string(records)))) {
    std::fprintf(stderr, "the reader did not read the file completely (failed=%d, records=%zu, orgs=%zu)\n",
                 warm.failed, warm.records, warm.orgs);
    exitCode = 1;
  }
  std::vector<double> ours;
  for (int i = 0; i < runs && exitCode == 0; ++i) {
    ReadResult r = TimeRead(path);
    if (r.records != warm.records || r.failed != warm.failed) {
      std::fprintf(stderr, "run %d read %zu records, the warm-up %zu\n", i + 1, r.records, warm.records);
      exitCode = 1;
    }
    ours.push_back(r.seconds);
  }

  std::vector<double> lint;
  if (exitCode == 0) {
    int status = 0;
    if (!TimeXmllint(path, &status)) {
      std::fprintf(stderr, "xmllint --noout %s: %s (status %d); no comparison\n", path.c_str(),
                   status < 0 ? "cannot run" : "failed", status);
    } else {
      for (int i = 0; i < runs; ++i) {
        std::optional<double> s = TimeXmllint(path, &status);
        if (!s) {
          std::fprintf(stderr, "xmllint failed on run %d (status %d)\n", i + 1, status);
          lint.clear();
          break;
        }
        lint.push_back(*s);
      }
    }
  }

  if (exitCode == 0) {
    std::printf("\n%d timed runs each (after one warm-up run)\n", runs);
    std::printf("%-22s %12s %12s %15s %15s\n", "", "best", "median", "best", "median");
    Stats o = Summarise(ours);
    PrintRow("TKKTXMLRead::ReadFile", o, mb);
    std::printf("%-22s %10.1f records/s (median)\n", "", static_cast<double>(warm.records) / o.median);
    if (!lint.empty()) {
      Stats x = Summarise(lint);
      PrintRow("xmllint --noout", x, mb);
      std::printf("\nratio ours/xmllint: best %.2f, median %.2f\n", o.best / x.best, o.median / x.median);
      bool met = o.median <= kTargetRatio * x.median;
      std::printf("target (median at most %.2f x xmllint's): %s\n", kTargetRatio, met ? "met" : "NOT met");
      if (!met) exitCode = 3;
    }
  }

  if (!tempDir.empty()) {
    if (keep && generated)
      std::printf("kept %s\n", path.c_str());
    else
      dlvr::RemoveTree(tempDir);
  }
  return exitCode;
}
