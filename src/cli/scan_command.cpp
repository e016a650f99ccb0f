// dlvr scan: every delivery under a folder found and checked, each in a
// process of its own, so that a reader that crashes or never ends costs one
// row of the summary and not the scan.
//
// Each delivery is checked in a fork of the scanner that runs what `dlvr
// check MEDIUM... [--extended] --format csv|json` runs and prints it (no new
// start of the program: its libraries are loaded already), at most --jobs at
// a time. Each child leads a process group of its own, reads /dev/null, has
// its stdout and stderr read through pipes, and is killed when the scanner
// ends. A child past --timeout is killed with its whole group (SIGKILL); one
// that ends on a signal is reported as crashed, one that exits with anything
// but 0 or 1 as failed. The child keeps the scanner's environment (the check
// of documents sets QT_QPA_PLATFORM=offscreen itself when it is unset).
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/check_command.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "delivery/kkt_xml_read.h"
#include "delivery/sibling_media.h"
#include "delivery/store.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/tempfs.h"
#include "platform/text.h"

extern char** environ;

namespace dlvr {
namespace {

const char* const kScanUsage =
    "usage: dlvr scan ROOT [--jobs N] [--extended] [--format csv|json]\n"
    "                      [--out DIR] [--timeout S]\n"
    "\n"
    "Finds every delivery under ROOT (a folder holding INDEX_C.XML is a medium\n"
    "and is not searched further; media beside one another with the same\n"
    "management record but the medium number are one delivery; symbolic links\n"
    "are not followed; at most 32 folders deep) and checks each as\n"
    "`dlvr check MEDIUM... [--extended]` does, N deliveries at a time (default:\n"
    "the number of processors), each in a process of its own. Prints one row a\n"
    "delivery, sorted by folder:\n"
    "  folder, 工事番号, 工事名称, media, errors, warnings, seconds, result, detail\n"
    "  csv   RFC 4180 with a header row and CRLF line ends (the default)\n"
    "  json  an array of objects with those keys\n"
    "folder is the first medium's folder relative to ROOT; errors counts every\n"
    "finding of the data check, or with --extended the エラー findings, and\n"
    "warnings the 警告 findings (情報 is no problem); result is checked, failed\n"
    "(the check could not run, detail says why), crashed (ended by a signal)\n"
    "or timeout (killed after S seconds; default: no limit).\n"
    "--out DIR also writes into DIR, which must lie outside ROOT, each\n"
    "delivery's findings as `dlvr check --format csv|json` prints them, in a\n"
    "file named after its folder (\"/\" as \"_\", other signs as %XX), and\n"
    "the summary as _summary.csv or _summary.json.\n"
    "A progress count is shown on stderr when it is a terminal.\n"
    "Exit 0 when every delivery was checked and has no error, 1 otherwise, 2 on\n"
    "wrong arguments or when a file in DIR could not be written.\n";

constexpr int kMaxDepth = 32;
// More output than any check prints; a child beyond it is stopped.
constexpr std::size_t kMaxChildOutput = std::size_t{512} << 20;

int Fail(std::ostream& err, const std::string& message) {
  err << "dlvr: scan: " << message << "\n";
  return 2;
}

struct TMedium {
  std::string Folder;  // absolute, without a trailing '/'
  std::string Rel;     // relative to ROOT, "." for ROOT itself
  TMdlTreeNodeIndex Record;
};

struct TDelivery {
  std::string Rel;  // the first medium's
  std::string KojiNo, KojiName;
  std::vector<std::string> Folders;  // by medium number
  std::uint64_t Weight = 0;          // bytes of its management files
};

// The bytes of a medium's management files (INDEX_C.XML and the XML files
// of its class folders), by which the check's time is guessed.
std::uint64_t ManagementBytes(const std::string& medium) {
  std::uint64_t bytes = 0;
  auto add = [&bytes](const std::string& file) {
    struct stat st {};
    if (::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) bytes += static_cast<std::uint64_t>(st.st_size);
  };
  if (const std::optional<std::string> index = FileInFolder(medium, "INDEX_C.XML")) add(*index);
  for (const std::string& sub : ListFolders(medium)) {
    const std::string folder = JoinPath(medium, sub);
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;  // a link: not the delivery's
    for (const std::string& name : ListFiles(folder))
      if (name.size() > 4 && AsciiUpper(name.substr(name.size() - 4)) == ".XML") add(JoinPath(folder, name));
  }
  return bytes;
}

enum class TOutcome { Checked, Failed, Crashed, TimedOut };

struct TResult {
  TOutcome Outcome = TOutcome::Failed;
  long Errors = 0, Warnings = 0;
  double Seconds = 0;
  std::string Detail;
};

// The management record of a medium: INDEX_C.XML read as the sibling search
// reads it (a regular file inside the folder, bounded in size).
TMdlTreeNodeIndex ReadRecord(const std::string& folder) {
  std::string bytes;
  const std::optional<std::string> path = FileInFolder(folder, "INDEX_C.XML");
  if (!path || ReadRegularFile(*path, kSiblingIndexMaxBytes, bytes) != TReadStatus::Ok) return {};
  DeliveryStore store;
  TKKTXMLRead(store).ReadText(DecodeDeliveryText(bytes), fkIndex);
  return std::move(store.IndexRecords[fkIndex]);
}

// The media under `dir`: a folder with INDEX_C.XML is one and is not
// searched further; links are not followed.
void FindMedia(const std::string& dir, const std::string& rel, int depth, std::vector<TMedium>& media,
               std::ostream& err) {
  if (FileInFolder(dir, "INDEX_C.XML")) {
    media.push_back({dir, rel, ReadRecord(dir)});
    return;
  }
  if (depth == kMaxDepth) {
    err << "dlvr: scan: " << kMaxDepth << " 階層より深いフォルダは調べません: " << dir << "\n";
    return;
  }
  DIR* d = ::opendir(dir.c_str());
  if (!d) {
    err << "dlvr: scan: フォルダを読めません: " << dir << "\n";
    return;
  }
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (e->d_type == DT_DIR || (e->d_type == DT_UNKNOWN && ::lstat(JoinPath(dir, name).c_str(), &st) == 0 &&
                                S_ISDIR(st.st_mode)))
      names.push_back(name);
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names)
    FindMedia(JoinPath(dir, name), rel == "." ? name : rel + "/" + name, depth + 1, media, err);
}

// The deliveries of the media found: a medium with further media beside it
// (same record but the medium number, found under ROOT too) takes them in;
// a medium so taken is no delivery of its own.
std::vector<TDelivery> GroupMedia(std::vector<TMedium>& media) {
  std::map<std::string, std::size_t> byFolder;
  for (std::size_t i = 0; i < media.size(); ++i) byFolder[AbsolutePath(media[i].Folder)] = i;
  std::vector<bool> taken(media.size(), false);
  std::vector<TDelivery> deliveries;
  for (std::size_t i = 0; i < media.size(); ++i) {
    if (taken[i]) continue;
    std::vector<std::size_t> group{i};
    if (WholeNumber(media[i].Record.MediaCount) > 1)
      for (const TSiblingMedium& s : FindSiblingMedia(media[i].Folder).Media) {
        auto it = byFolder.find(AbsolutePath(s.Folder));
        if (s.SameRecord && it != byFolder.end() && !taken[it->second] && it->second != i) group.push_back(it->second);
      }
    std::stable_sort(group.begin(), group.end(), [&](std::size_t a, std::size_t b) {
      return WholeNumber(media[a].Record.MediaNo) < WholeNumber(media[b].Record.MediaNo);
    });
    TDelivery d;
    d.Rel = media[group.front()].Rel;
    d.KojiNo = media[group.front()].Record.KojiNo;
    d.KojiName = media[group.front()].Record.KojiName;
    for (std::size_t m : group) {
      taken[m] = true;
      d.Folders.push_back(media[m].Folder);
      d.Weight += ManagementBytes(media[m].Folder);
    }
    deliveries.push_back(std::move(d));
  }
  std::sort(deliveries.begin(), deliveries.end(),
            [](const TDelivery& a, const TDelivery& b) { return a.Rel < b.Rel; });
  return deliveries;
}

// A file name for a delivery's findings, one to one with its folder: letters,
// digits, '.', '-' and characters beyond ASCII kept, '/' written as '_',
// every other byte (a leading '.' too) as %XX. A name too long for the file
// system is cut and ends in a hash of the whole folder.
std::string FindingsName(const std::string& rel) {
  std::string name;
  const std::string valid = ValidUtf8(rel);
  for (std::size_t i = 0; i < rel.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(rel[i]);
    if (c == '/') {
      name += '_';
    } else if ((c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '-' || (c == '.' && i > 0) ||
               (c >= 0x80 && valid == rel)) {
      name += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      name += hex;
    }
  }
  if (name.size() > 200) {
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : rel) h = (h ^ c) * 1099511628211ull;
    std::size_t cut = 180;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;  // whole characters
    char tail[24];
    std::snprintf(tail, sizeof tail, "~%016llx", static_cast<unsigned long long>(h));
    name = name.substr(0, cut) + tail;
  }
  return name;
}

// Occurrences of `needle` in `text`.
long Count(const std::string& text, const std::string& needle) {
  long n = 0;
  for (std::size_t pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + needle.size())) ++n;
  return n;
}

// The first field of every record of an RFC 4180 text after its header.
std::vector<std::string> CsvFirstFields(const std::string& text) {
  std::vector<std::string> firsts;
  std::string field;
  bool quoted = false, first = true, header = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        if (first) field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else if (first) {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      if (first && !header) firsts.push_back(field);
      first = false;
    } else if (c == '\n') {
      if (first && !header) firsts.push_back(field);
      field.clear();
      first = true;
      header = false;
    } else if (c != '\r' && first) {
      field += c;
    }
  }
  return firsts;
}

// Errors and warnings in what `dlvr check --format csv|json` printed.
void CountFindings(const std::string& text, bool json, bool extended, TResult& r) {
  if (json) {
    // Keys and values are quoted, and a quote inside a value is escaped,
    // so a key with its value is found only where it is one.
    r.Errors = extended ? Count(text, "\"重要度\": \"エラー\"") : Count(text, "\"管理項目名\": ");
    r.Warnings = extended ? Count(text, "\"重要度\": \"警告\"") : 0;
    return;
  }
  const std::vector<std::string> firsts = CsvFirstFields(text);
  if (!extended) {
    r.Errors = static_cast<long>(firsts.size());
    return;
  }
  r.Errors = std::count(firsts.begin(), firsts.end(), "エラー");
  r.Warnings = std::count(firsts.begin(), firsts.end(), "警告");
}

// The program run for each delivery when DLVR_SCAN_CHILD names one (the
// tests put a wrapper there that hangs or crashes on purpose); "" when the
// check runs in the forked scanner itself.
std::string ChildProgram() {
  const char* other = std::getenv("DLVR_SCAN_CHILD");
  return other && *other ? other : "";
}

void WriteAll(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

// The check, in the forked scanner: what `dlvr check` would print, its exit
// code. The other thread of the scanner (the one that waits for signals)
// holds no lock, and the allocator is safe across fork, so the check runs
// as it would in a process of its own; the loaded libraries need no second
// start.
int CheckInChild(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = CmdCheck(args, out, err);
  WriteAll(1, out.str());
  WriteAll(2, err.str());
  RemovePrivateWorkFolder();
  return code;
}

struct TChild {
  std::size_t Index = 0;
  pid_t Pid = -1;
  int Out = -1, Err = -1, PidFd = -1;
  std::string OutText, ErrText;
  std::chrono::steady_clock::time_point Start;
  bool Exited = false;
  bool TooMuch = false;  // more output than kMaxChildOutput
  int Status = 0;
};

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Starts the check of one delivery (args as for CmdCheck), in a fork of the
// scanner or, when `program` is given, in that program; false (with the
// reason) when it could not be started. The child leads a process group of its own (killed as
// one) and is killed when the scanner ends, Ctrl-C or not.
bool Spawn(const std::string& program, const std::vector<std::string>& args, TChild& c, std::string& why) {
  int out[2], errp[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    why = std::strerror(errno);
    return false;
  }
  if (::pipe2(errp, O_CLOEXEC) != 0) {
    why = std::strerror(errno);
    ::close(out[0]);
    ::close(out[1]);
    return false;
  }
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t parent = ::getpid();
  c.Pid = ::fork();
  if (c.Pid == 0) {
    // Async-signal-safe calls only, up to the check or the exec.
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) ::signal(sig, SIG_DFL);
    const int in = ::open("/dev/null", O_RDONLY);
    if (in < 0 || ::dup2(in, 0) < 0 || ::dup2(out[1], 1) < 0 || ::dup2(errp[1], 2) < 0) ::_exit(127);
    if (program.empty()) ::_exit(CheckInChild(args));
    ::execve(program.c_str(), argv.data(), environ);
    const char message[] = "dlvr: scan: チェックのプログラムを起動できません\n";
    [[maybe_unused]] const ssize_t n = ::write(2, message, sizeof message - 1);
    ::_exit(127);
  }
  const int forkError = errno;
  ::close(out[1]);
  ::close(errp[1]);
  if (c.Pid < 0) {
    why = std::strerror(forkError);
    ::close(out[0]);
    ::close(errp[0]);
    return false;
  }
  ::setpgid(c.Pid, c.Pid);  // also here, so that a kill of the group never misses it
  c.Out = out[0];
  c.Err = errp[0];
  // Readable when the child has ended; without it the end is polled for.
  c.PidFd = static_cast<int>(::syscall(SYS_pidfd_open, c.Pid, 0));
  c.Start = std::chrono::steady_clock::now();
  return true;
}

// Notes that the child has ended, without reaping it yet, and kills what is
// left of its group (a process it started that still holds its pipes).
bool CheckExited(TChild& c) {
  if (c.Exited) return true;
  siginfo_t info{};
  if (::waitid(P_PID, static_cast<id_t>(c.Pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != c.Pid)
    return false;
  ::kill(-c.Pid, SIGKILL);
  ::waitpid(c.Pid, &c.Status, 0);
  c.Exited = true;
  CloseFd(c.PidFd);
  return true;
}

std::string FirstLine(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  if (line.rfind("dlvr: ", 0) == 0) line.erase(0, 6);
  return ValidUtf8(line);
}

struct TScanOptions {
  std::string Root;
  int Jobs = 1;
  bool Extended = false, Json = false;
  long Timeout = 0;  // seconds; 0 for none
  std::string OutDir;
};

std::string SecondsText(double s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", s);
  return buf;
}

const char* OutcomeName(TOutcome o) {
  switch (o) {
    case TOutcome::Checked: return "checked";
    case TOutcome::Failed: return "failed";
    case TOutcome::Crashed: return "crashed";
    case TOutcome::TimedOut: return "timeout";
  }
  return "";
}

std::string CsvCell(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string out = "\"";
  for (char ch : s) out += ch == '"' ? std::string("\"\"") : std::string(1, ch);
  return out + "\"";
}

std::string Summary(const std::vector<TDelivery>& deliveries, const std::vector<TResult>& results, bool json) {
  std::string text = json ? "[" : "folder,工事番号,工事名称,media,errors,warnings,seconds,result,detail\r\n";
  for (std::size_t i = 0; i < deliveries.size(); ++i) {
    const TDelivery& d = deliveries[i];
    const TResult& r = results[i];
    const std::string folder = ValidUtf8(d.Rel);
    if (json) {
      text += std::string(i ? "," : "") + "\n {\n  \"folder\": " + JsonWriter::Quote(folder) +
              ",\n  \"工事番号\": " + JsonWriter::Quote(d.KojiNo) + ",\n  \"工事名称\": " + JsonWriter::Quote(d.KojiName) +
              ",\n  \"media\": " + std::to_string(d.Folders.size()) + ",\n  \"errors\": " + std::to_string(r.Errors) +
              ",\n  \"warnings\": " + std::to_string(r.Warnings) + ",\n  \"seconds\": " + SecondsText(r.Seconds) +
              ",\n  \"result\": \"" + OutcomeName(r.Outcome) + "\",\n  \"detail\": " + JsonWriter::Quote(r.Detail) +
              "\n }";
    } else {
      text += CsvCell(folder) + "," + CsvCell(d.KojiNo) + "," + CsvCell(d.KojiName) + "," +
              std::to_string(d.Folders.size()) + "," + std::to_string(r.Errors) + "," + std::to_string(r.Warnings) +
              "," + SecondsText(r.Seconds) + "," + OutcomeName(r.Outcome) + "," + CsvCell(r.Detail) + "\r\n";
    }
  }
  if (json) text += deliveries.empty() ? "]\n" : "\n]\n";
  return text;
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
  f.close();
  return static_cast<bool>(f);
}

// Runs the checks, at most o.Jobs at a time; a delivery's findings go to
// o.OutDir as its check ends. False when a findings file could not be
// written.
bool RunChecks(const TScanOptions& o, const std::vector<TDelivery>& deliveries, std::vector<TResult>& results,
               std::ostream& err) {
  using Clock = std::chrono::steady_clock;
  const std::string program = ChildProgram();
  const bool progress = ::isatty(STDERR_FILENO) == 1;
  const std::string ext = o.Json ? ".json" : ".csv";
  bool written = true;
  std::size_t next = 0, done = 0;
  // The largest deliveries first, so that no large one is left to run alone
  // at the end.
  std::vector<std::size_t> order(deliveries.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return deliveries[a].Weight > deliveries[b].Weight; });
  std::vector<TChild> running;

  auto finish = [&](TChild& c, bool timedOut) {
    TResult& r = results[c.Index];
    r.Seconds = std::chrono::duration<double>(Clock::now() - c.Start).count();
    if (timedOut) {
      r.Outcome = TOutcome::TimedOut;
      r.Detail = std::to_string(o.Timeout) + " 秒で打ち切りました";
    } else if (c.TooMuch) {
      r.Outcome = TOutcome::Failed;
      r.Detail = "出力が大きすぎます";
    } else if (WIFSIGNALED(c.Status)) {
      r.Outcome = TOutcome::Crashed;
      const int sig = WTERMSIG(c.Status);
      const char* name = sigabbrev_np(sig);
      r.Detail = "シグナル " + std::to_string(sig) + " (" + (name ? name : "?") + ") で終了しました";
    } else if (WIFEXITED(c.Status) && (WEXITSTATUS(c.Status) == 0 || WEXITSTATUS(c.Status) == 1)) {
      r.Outcome = TOutcome::Checked;
      CountFindings(c.OutText, o.Json, o.Extended, r);
      if (!o.OutDir.empty()) {
        const std::string file = JoinPath(o.OutDir, FindingsName(deliveries[c.Index].Rel) + ext);
        if (!WriteFile(file, c.OutText)) {
          err << "dlvr: scan: cannot write " << file << "\n";
          written = false;
        }
      }
    } else {
      r.Outcome = TOutcome::Failed;
      r.Detail = FirstLine(c.ErrText);
      if (r.Detail.empty()) r.Detail = "終了コード " + std::to_string(WEXITSTATUS(c.Status));
    }
    CloseFd(c.Out);
    CloseFd(c.Err);
    CloseFd(c.PidFd);
    ++done;
    if (progress) err << "\r" << done << " / " << deliveries.size() << " 件" << std::flush;
  };

  while (next < deliveries.size() || !running.empty()) {
    while (running.size() < static_cast<std::size_t>(o.Jobs) && next < deliveries.size()) {
      TChild c;
      c.Index = order[next++];
      std::vector<std::string> args{"check"};
      for (const std::string& f : deliveries[c.Index].Folders) args.push_back(f);
      if (o.Extended) args.push_back("--extended");
      args.push_back("--format");
      args.push_back(o.Json ? "json" : "csv");
      std::string why;
      if (!Spawn(program, args, c, why)) {
        results[c.Index].Outcome = TOutcome::Failed;
        results[c.Index].Detail = "起動できません: " + why;
        ++done;
        continue;
      }
      running.push_back(std::move(c));
    }
    if (running.empty()) continue;

    // Wait for output, an end or the nearest deadline.
    std::vector<pollfd> fds;
    std::vector<std::pair<std::size_t, int*>> owners;
    int wait = -1;
    const Clock::time_point now = Clock::now();
    for (std::size_t i = 0; i < running.size(); ++i) {
      TChild& c = running[i];
      for (int* fd : {&c.Out, &c.Err, &c.PidFd})
        if (*fd >= 0) {
          fds.push_back({*fd, POLLIN, 0});
          owners.emplace_back(i, fd);
        }
      if (c.PidFd < 0 && !c.Exited) wait = wait < 0 ? 20 : std::min(wait, 20);
      if (o.Timeout > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              c.Start + std::chrono::seconds(o.Timeout) - now).count() + 1;
        const int ms = static_cast<int>(std::clamp<long long>(left, 0, 1000));
        wait = wait < 0 ? ms : std::min(wait, ms);
      }
    }
    if (::poll(fds.data(), fds.size(), wait) < 0 && errno != EINTR) {
      err << "dlvr: scan: poll: " << std::strerror(errno) << "\n";
      for (TChild& c : running) {
        ::kill(-c.Pid, SIGKILL);
        ::waitpid(c.Pid, &c.Status, 0);
      }
      return false;
    }
    for (std::size_t k = 0; k < fds.size(); ++k) {
      if (!fds[k].revents) continue;
      TChild& c = running[owners[k].first];
      int* fd = owners[k].second;
      if (fd == &c.PidFd) {
        CheckExited(c);
        continue;
      }
      char buf[65536];
      const ssize_t n = ::read(*fd, buf, sizeof buf);
      if (n > 0) {
        std::string& to = fd == &c.Out ? c.OutText : c.ErrText;
        to.append(buf, static_cast<std::size_t>(n));
        if (to.size() > kMaxChildOutput) {  // stopped, reported as failed
          c.TooMuch = true;
          ::kill(-c.Pid, SIGKILL);
          CloseFd(*fd);
        }
      } else if (n == 0 || errno != EINTR) {
        CloseFd(*fd);
      }
    }
    const Clock::time_point after = Clock::now();
    for (std::size_t i = running.size(); i-- > 0;) {
      TChild& c = running[i];
      if (c.PidFd < 0) CheckExited(c);
      if (c.Exited && c.Out < 0 && c.Err < 0) {
        finish(c, false);
      } else if (o.Timeout > 0 && after - c.Start >= std::chrono::seconds(o.Timeout)) {
        // Its pipes still open after its end: held by a process that left
        // its group; given up on all the same.
        if (!c.Exited) {
          ::kill(-c.Pid, SIGKILL);
          ::waitpid(c.Pid, &c.Status, 0);
        }
        finish(c, true);
      } else {
        continue;
      }
      running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  if (progress && !deliveries.empty()) err << "\n";
  return written;
}

bool ParseWhole(const std::string& s, long lo, long hi, long& out) {
  if (s.empty() || s.size() > 6 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  out = std::atol(s.c_str());
  return out >= lo && out <= hi;
}

}  // namespace

int CmdScan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TScanOptions o;
  const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
  o.Jobs = static_cast<int>(std::clamp(cores, 1L, 256L));
  std::vector<std::string> positional;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      out << kScanUsage;
      return 0;
    }
    std::string v;
    if (TakeOption(args, i, "--jobs", v)) {
      long n = 0;
      if (i >= args.size()) return Fail(err, "--jobs needs a value");
      if (!ParseWhole(v, 1, 256, n)) return Fail(err, "--jobs takes 1-256, not " + v);
      o.Jobs = static_cast<int>(n);
    } else if (TakeOption(args, i, "--timeout", v)) {
      if (i >= args.size()) return Fail(err, "--timeout needs a value");
      if (!ParseWhole(v, 1, 604800, o.Timeout)) return Fail(err, "--timeout takes whole seconds 1-604800, not " + v);
    } else if (TakeOption(args, i, "--format", v)) {
      if (i >= args.size()) return Fail(err, "--format needs a value");
      if (v != "csv" && v != "json") return Fail(err, "--format takes csv or json, not " + v);
      o.Json = v == "json";
    } else if (TakeOption(args, i, "--out", v)) {
      if (i >= args.size() || v.empty()) return Fail(err, "--out needs a folder");
      o.OutDir = v;
    } else if (a == "--extended") {
      o.Extended = true;
    } else if (a.size() > 1 && a[0] == '-') {
      return Fail(err, "unknown option " + a);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.empty()) return Fail(err, "missing ROOT");
  if (positional.size() > 1) return Fail(err, "one ROOT only, not also " + positional[1]);
  if (!DirExists(positional[0])) return Fail(err, "not a folder: " + positional[0]);
  o.Root = AbsolutePath(positional[0]);
  if (!o.OutDir.empty()) {
    // Nothing is ever written into a delivery: DIR outside ROOT, judged
    // with links and .. resolved.
    if (PathLiesInside(o.OutDir, o.Root)) return Fail(err, o.OutDir + " lies inside " + positional[0]);
    if (!DirExists(o.OutDir) && ::mkdir(o.OutDir.c_str(), 0777) != 0)
      return Fail(err, "cannot create " + o.OutDir + ": " + std::strerror(errno));
  }

  std::vector<TMedium> media;
  FindMedia(o.Root, ".", 0, media, err);
  const std::vector<TDelivery> deliveries = GroupMedia(media);
  if (deliveries.empty())
    err << "dlvr: scan: 納品データ（INDEX_C.XML のあるフォルダ）が見つかりません: " << positional[0] << "\n";
  std::vector<TResult> results(deliveries.size());
  bool written = RunChecks(o, deliveries, results, err);

  const std::string summary = Summary(deliveries, results, o.Json);
  out << summary;
  if (!o.OutDir.empty()) {
    const std::string file = JoinPath(o.OutDir, o.Json ? "_summary.json" : "_summary.csv");
    if (!WriteFile(file, summary)) {
      err << "dlvr: scan: cannot write " << file << "\n";
      written = false;
    }
  }
  if (!written) return 2;
  const bool clean = std::all_of(results.begin(), results.end(),
                                 [](const TResult& r) { return r.Outcome == TOutcome::Checked && r.Errors == 0; });
  return clean ? 0 : 1;
}

}  // namespace dlvr
