// dlvr scan: every delivery under a folder found and checked in processes
// apart from the scanner, so that a reader that crashes or never ends costs
// one row of the summary and not the scan.
//
// The checks run in workers: forks of the scanner (no new start of the
// program: its libraries are loaded already), --jobs of them, each checking
// one delivery at a time as `dlvr check MEDIUM... [--extended] --format
// csv|json` would and sending back the counts of its findings (and what it
// prints, when --out wants it), and replaced by a fresh one after 256
// deliveries. A worker leads a process group of its own and is
// killed when the scanner ends. A check past --timeout is ended by killing
// its worker's group (SIGKILL); a worker that ends on a signal in the middle
// of a check has that delivery reported as crashed, one that exits as
// failed; either way a fresh worker takes the next delivery. The workers keep
// the scanner's environment (the check of documents sets
// QT_QPA_PLATFORM=offscreen itself when it is unset).
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "check/extended_check.h"
#include "cli/arguments.h"
#include "cli/check_command.h"
#include "cli/commands.h"
#include "cli/gui_app.h"
#include "cli/json.h"
#include "delivery/kkt_xml_read.h"
#include "delivery/sibling_media.h"
#include "delivery/store.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/tempfs.h"
#include "platform/text.h"
#include "platform/translate.h"

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
    "the number of processors), in worker processes: a check that crashes or\n"
    "times out ends its worker, a fresh one goes on. Prints one row a\n"
    "delivery, sorted by folder:\n"
    "  folder, 工事番号, 工事名称, media, errors, warnings, seconds, result, detail\n"
    "  csv   RFC 4180 with a header row and CRLF line ends (the default)\n"
    "  json  an array of objects with those keys\n"
    "folder is the first medium's folder relative to ROOT; errors counts every\n"
    "finding of the data check, or with --extended the エラー findings, and\n"
    "warnings the 警告 findings (情報 is no problem); result is checked, failed\n"
    "(the check could not run, detail says why), crashed (ended by a signal)\n"
    "or timeout (killed after S seconds; default: 600, 0 for no limit).\n"
    "--out DIR also writes into DIR, which must lie outside ROOT, each\n"
    "delivery's findings as `dlvr check --format csv|json` prints them, in a\n"
    "file named after its folder (\"/\" as \"_\", other signs as %XX; ROOT\n"
    "itself after its own name), and\n"
    "the summary as _summary.csv or _summary.json.\n"
    "A progress count is shown on stderr when it is a terminal.\n"
    "Exit 0 when every delivery was checked and has no error, 1 otherwise, 2 on\n"
    "wrong arguments or when a file in DIR could not be written.\n";

constexpr int kMaxDepth = 32;
// More output than any check prints; a child beyond it is stopped.
constexpr std::size_t kMaxChildOutput = std::size_t{512} << 20;

struct TMedium {
  std::string Folder;  // absolute, without a trailing '/'
  std::string Rel;     // relative to ROOT, "." for ROOT itself
  std::string Index;   // its INDEX_C.XML
  bool ViaLink = false;  // that is a link that stays inside the folder
  TMdlTreeNodeIndex Record;
  std::uint64_t Weight = 0;
  std::vector<TSiblingMedium> Siblings;  // when the record tells of further media
  bool SiblingsRead = false;
};

struct TDelivery {
  std::string Rel;  // the first medium's
  std::string KojiNo, KojiName;
  std::vector<std::string> Folders;  // by medium number
  std::uint64_t Weight = 0;          // bytes of its management files
};

// Calls fn(0) ... fn(n - 1) on up to `jobs` threads, the calling one among
// them, and returns when every call has. fn must be safe to run beside itself.
template <typename Fn>
void ParallelFor(std::size_t n, int jobs, const Fn& fn) {
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i = next++; i < n; i = next++) fn(i);
  };
  std::vector<std::thread> helpers;
  for (int t = 1; t < jobs && static_cast<std::size_t>(t) < n; ++t) {
    try {
      helpers.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // no further thread: the ones there do it all
    }
  }
  work();
  for (std::thread& h : helpers) h.join();
}

// The bytes of a medium's management files (INDEX_C.XML and those of the
// class folders under their usual names), by which the check's time is
// guessed; a few stats, no listing.
std::uint64_t ManagementBytes(const std::string& medium) {
  std::uint64_t bytes = 0;
  for (const char* file : {"INDEX_C.XML", "DRAWINGS/DRAWINGS.XML", "MEET/MEET.XML", "PLAN/PLAN.XML",
                           "DRAWINGF/DRAWINGF.XML", "OTHRS/OTHRS.XML", "PHOTO/PHOTO.XML"}) {
    struct stat st {};
    if (::lstat(JoinPath(medium, file).c_str(), &st) == 0 && S_ISREG(st.st_mode))
      bytes += static_cast<std::uint64_t>(st.st_size);
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

// The media under `dir`: a folder with INDEX_C.XML is one and is not
// searched further; links are not followed. Their records are read later.
// The first folder of more than one subfolder has them searched on `jobs`
// threads, found in the same order.
void FindMedia(const std::string& dir, const std::string& rel, int depth, std::vector<TMedium>& media,
               std::ostream& err, int jobs = 1) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) {
    err << "dlvr: scan: " << Arg(Tr("CliScan", "フォルダを読めません: %1"), {dir}) << "\n";
    return;
  }
  std::vector<std::string> names;
  std::string index;  // the INDEX_C.XML of a medium: a regular file, or a link that stays inside
  bool viaLink = false;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (name.size() == 11 && AsciiUpper(name) == "INDEX_C.XML" && (index.empty() || name == "INDEX_C.XML")) {
      if (e->d_type == DT_REG)
        index = JoinPath(dir, name);
      else if (const std::optional<std::string> file = FileInFolder(dir, "INDEX_C.XML")) {
        index = *file;
        viaLink = true;
      } else if (e->d_type != DT_DIR && e->d_type != DT_LNK) {
        // A FIFO, a device or a socket by that name: a delivery whose check
        // fails (and says why), never one passed over in silence.
        index = JoinPath(dir, name);
      }
    }
    struct stat st {};
    if (e->d_type == DT_DIR || (e->d_type == DT_UNKNOWN && ::lstat(JoinPath(dir, name).c_str(), &st) == 0 &&
                                S_ISDIR(st.st_mode)))
      names.push_back(name);
  }
  ::closedir(d);
  if (!index.empty()) {
    TMedium m;
    m.Folder = dir;
    m.Rel = rel;
    m.Index = std::move(index);
    m.ViaLink = viaLink;
    media.push_back(std::move(m));
    return;
  }
  if (depth == kMaxDepth) {
    if (!names.empty())
      err << "dlvr: scan: "
          << Arg(Tr("CliScan", "%1 階層より深いフォルダは調べません: %2"), {std::to_string(kMaxDepth), dir}) << "\n";
    return;
  }
  std::sort(names.begin(), names.end());
  auto sub = [&](const std::string& name) { return rel == "." ? name : rel + "/" + name; };
  if (jobs <= 1 || names.size() < 2) {
    for (const std::string& name : names)
      FindMedia(JoinPath(dir, name), sub(name), depth + 1, media, err, names.size() == 1 ? jobs : 1);
    return;
  }
  std::vector<std::vector<TMedium>> found(names.size());
  std::vector<std::ostringstream> notes(names.size());
  ParallelFor(names.size(), jobs, [&](std::size_t i) {
    try {
      FindMedia(JoinPath(dir, names[i]), sub(names[i]), depth + 1, found[i], notes[i]);
    } catch (const std::exception& e) {  // memory ran out
      notes[i] << "dlvr: scan: " << JoinPath(dir, names[i]) << ": " << e.what() << "\n";
    }
  });
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::move(found[i].begin(), found[i].end(), std::back_inserter(media));
    err << notes[i].str();
  }
}

// The media beside a medium whose record tells of further media.
const std::vector<TSiblingMedium>& SiblingsOf(TMedium& m) {
  if (!m.SiblingsRead && WholeNumber(m.Record.MediaCount) > 1) m.Siblings = FindSiblingMedia(m.Folder).Media;
  m.SiblingsRead = true;
  return m.Siblings;
}

// What the grouping and the order of the checks need of each medium, read
// on `jobs` threads: its record (read as the sibling search reads it: bounded
// in size) and the bytes of its management files; then the media beside the
// first medium of several in each folder, which the grouping asks for (the
// further ones of the folder are mostly taken in by it, and asked only when
// not).
void ReadMedia(std::vector<TMedium>& media, int jobs) {
  ParallelFor(media.size(), jobs, [&](std::size_t i) {
    TMedium& m = media[i];
    try {
      m.Record = ReadIndexRecordFile(m.Index, !m.ViaLink).value_or(TMdlTreeNodeIndex());
      m.Weight = ManagementBytes(m.Folder);
    } catch (const std::exception&) {  // memory ran out: a medium without record, checked alone
      m.Record = TMdlTreeNodeIndex();
    }
  });
  std::vector<std::size_t> firsts;
  std::set<std::string> parents;
  for (std::size_t i = 0; i < media.size(); ++i)
    if (WholeNumber(media[i].Record.MediaCount) > 1 && parents.insert(ExtractFilePath(media[i].Folder)).second)
      firsts.push_back(i);
  ParallelFor(firsts.size(), jobs, [&](std::size_t k) {
    try {
      SiblingsOf(media[firsts[k]]);
    } catch (const std::exception&) {  // memory ran out: asked again by the grouping
      media[firsts[k]].SiblingsRead = false;
    }
  });
}

// The deliveries of the media found: a medium with further media beside it
// (same record but the medium number, found under ROOT too) takes them in;
// a medium so taken is no delivery of its own.
std::vector<TDelivery> GroupMedia(std::vector<TMedium>& media) {
  std::map<std::string, std::size_t> byFolder;
  for (std::size_t i = 0; i < media.size(); ++i) byFolder[media[i].Folder] = i;
  std::vector<bool> taken(media.size(), false);
  std::vector<TDelivery> deliveries;
  for (std::size_t i = 0; i < media.size(); ++i) {
    if (taken[i]) continue;
    std::vector<std::size_t> group{i};
    for (const TSiblingMedium& s : SiblingsOf(media[i])) {
      // The sibling search names them below the same absolute folder.
      const std::string folder =
          s.Folder.size() > 1 && s.Folder.back() == '/' ? s.Folder.substr(0, s.Folder.size() - 1) : s.Folder;
      auto it = byFolder.find(folder);
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
      d.Weight += media[m].Weight;
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

// Errors and warnings in what `dlvr check --format csv|json` printed; the
// severities as the check names them, in the language it printed in.
void CountFindings(const std::string& text, bool json, bool extended, TResult& r) {
  const std::string error = SeverityName(TSeverity::Error), warning = SeverityName(TSeverity::Warning);
  if (json) {
    // Keys and values are quoted, and a quote inside a value is escaped,
    // so a key with its value is found only where it is one.
    auto severity = [](const std::string& name) { return "\"重要度\": " + JsonText(JsonString(name), -1); };
    r.Errors = extended ? Count(text, severity(error)) : Count(text, "\"管理項目名\": ");
    r.Warnings = extended ? Count(text, severity(warning)) : 0;
    return;
  }
  const std::vector<std::string> firsts = CsvFirstFields(text);
  if (!extended) {
    r.Errors = static_cast<long>(firsts.size());
    return;
  }
  r.Errors = std::count(firsts.begin(), firsts.end(), error);
  r.Warnings = std::count(firsts.begin(), firsts.end(), warning);
}

void WriteAll(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

// The most deliveries one worker checks before it is replaced by a fresh
// one, so that nothing one check leaves behind grows without end. A fresh
// worker costs some 20 ms here (the fork, the faults of its first pages,
// its work folder): 64 a worker cost 6-9 % of an archive's scan.
constexpr int kChecksPerWorker = 256;

// Page faults are dear on a virtual machine (10 µs and more each), and a
// large delivery's check touches some 130 MB: 32,000 pages of 4 KB. The
// worker's heap is given a large top at once, untouched, and that is marked
// for the kernel's 2 MB pages (transparent huge pages, which the kernel
// grants to memory so marked unless they are turned off), so that such a
// check takes some 1,300 faults. The memory of one check is kept for the
// next rather than given back and faulted in anew. Where the kernel grants
// no huge pages this is the heap it was.
void PrepareWorkerHeap() {
  constexpr std::size_t kTopPad = std::size_t{256} << 20;
  ::mallopt(M_MMAP_THRESHOLD, 32 << 20);  // glibc's largest: blocks below it from the heap
  ::mallopt(M_TRIM_THRESHOLD, 2 * kTopPad);
  ::mallopt(M_TOP_PAD, kTopPad);
  // A block the heap's top cannot give grows it by the block and the pad;
  // later growth is by the usual pad (a large one could fail where the
  // system allows little memory beyond what is used).
  void* block = std::malloc(std::size_t{16} << 20);
  ::mallopt(M_TOP_PAD, 128 << 10);  // glibc's own
  if (!block) return;
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const std::uintptr_t from = reinterpret_cast<std::uintptr_t>(block) & ~(page - 1);
  std::free(block);
  const auto end = reinterpret_cast<std::uintptr_t>(::sbrk(0));
  // Only the heap (a block from a mapping of its own lies elsewhere).
  if (end != static_cast<std::uintptr_t>(-1) && from < end && end - from <= 4 * kTopPad)
    ::madvise(reinterpret_cast<void*>(from), end - from, MADV_HUGEPAGE);
}

// What a worker's checks are asked for: --extended, --format json, and
// whether the findings are wanted (--out) or only their counts.
struct TWorkerMode {
  bool Extended = false, Json = false, Text = false;
};

// A worker: a fork of the scanner that reads jobs on fd 0, each the
// arguments of `dlvr check` ended by NUL and the job by an empty argument,
// and answers each on fd 1 with "CODE ERRORS WARNINGS OUTBYTES ERRBYTES\n",
// what the check printed on stdout (when the findings are wanted) and on
// stderr. The findings are counted where they are made, so that a large
// delivery's are not copied through the scanner for their counts. Ends at the end of its input. The
// other thread of the scanner (the one that waits for signals) holds no
// lock and the allocator is safe across fork, so the checks run as they
// would in a process started anew, without loading its libraries again.
//
// DLVR_SCAN_TEST_HANG / DLVR_SCAN_TEST_CRASH (for the tests): a job whose
// first folder contains that text never ends / ends on SIGSEGV.
[[noreturn]] void WorkerMain(const TWorkerMode& mode) {
  // One application object for every check of documents.
  const auto app = mode.Extended ? EnsureGuiApplication() : nullptr;
  PrepareWorkerHeap();
  const char* hang = std::getenv("DLVR_SCAN_TEST_HANG");
  const char* crash = std::getenv("DLVR_SCAN_TEST_CRASH");
  std::string input;
  std::vector<std::string> args;
  std::size_t pos = 0;
  while (true) {
    const std::size_t end = input.find('\0', pos);
    if (end == std::string::npos) {
      input.erase(0, pos);
      pos = 0;
      char chunk[4096];
      const ssize_t n = ::read(0, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      input.append(chunk, static_cast<std::size_t>(n));
      continue;
    }
    std::string arg = input.substr(pos, end - pos);
    pos = end + 1;
    if (!arg.empty()) {
      args.push_back(std::move(arg));
      continue;
    }
    const std::string first = args.size() > 1 ? args[1] : std::string();
    if (hang && *hang && first.find(hang) != std::string::npos)
      while (true) ::pause();
    if (crash && *crash && first.find(crash) != std::string::npos) {
      ::signal(SIGSEGV, SIG_DFL);  // not a sanitizer's handler: the crash as a reader's would end
      ::raise(SIGSEGV);
    }
    std::ostringstream out, err;
    const int code = CmdCheck(args, out, err);
    const std::string o = out.str(), e = err.str();
    TResult counts;
    if (code == 0 || code == 1) CountFindings(o, mode.Json, mode.Extended, counts);
    const std::string_view text = mode.Text ? std::string_view(o) : std::string_view();
    std::string answer = std::to_string(code) + " " + std::to_string(counts.Errors) + " " +
                         std::to_string(counts.Warnings) + " " + std::to_string(text.size()) + " " +
                         std::to_string(e.size()) + "\n";
    answer.append(text);
    answer += e;
    WriteAll(1, answer);
    args.clear();
  }
  RemovePrivateWorkFolder();
  ::_exit(0);
}

struct TWorker {
  pid_t Pid = -1;
  int In = -1, Out = -1, Err = -1, PidFd = -1;
  std::string OutText, ErrText;
  long Job = -1;  // the delivery being checked, -1 when idle
  std::chrono::steady_clock::time_point Start;
  int Checked = 0;
  bool Exited = false;
  int Status = 0;
};

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Starts a worker; false (with the reason) when it could not be started. It
// leads a process group of its own (killed as one) and is killed when the
// scanner ends, Ctrl-C or not.
bool SpawnWorker(const TWorkerMode& mode, TWorker& w, std::string& why) {
  int in[2] = {-1, -1}, out[2] = {-1, -1}, errp[2] = {-1, -1};
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(errp, O_CLOEXEC) != 0) {
    why = std::strerror(errno);
    for (int* fd : {&in[0], &in[1], &out[0], &out[1], &errp[0], &errp[1]}) CloseFd(*fd);
    return false;
  }
  const pid_t parent = ::getpid();
  w.Pid = ::fork();
  if (w.Pid == 0) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) ::signal(sig, SIG_DFL);
    if (::dup2(in[0], 0) < 0 || ::dup2(out[1], 1) < 0 || ::dup2(errp[1], 2) < 0) ::_exit(127);
    // Nothing of the scanner's other workers: their input must end when
    // the scanner closes it.
    ::close_range(3, ~0U, 0);
    WorkerMain(mode);
  }
  const int forkError = errno;
  ::close(in[0]);
  ::close(out[1]);
  ::close(errp[1]);
  if (w.Pid < 0) {
    why = std::strerror(forkError);
    ::close(in[1]);
    ::close(out[0]);
    ::close(errp[0]);
    return false;
  }
  ::setpgid(w.Pid, w.Pid);  // also here, so that a kill of the group never misses it
  w.In = in[1];
  w.Out = out[0];
  ::fcntl(w.Out, F_SETPIPE_SZ, 1 << 20);  // a large delivery's findings in few turns
  w.Err = errp[0];
  // Readable when the worker has ended; without it the end is polled for.
  w.PidFd = static_cast<int>(::syscall(SYS_pidfd_open, w.Pid, 0));
  return true;
}

// Notes that the worker has ended and reaps it, after killing what is left
// of its group.
bool CheckExited(TWorker& w) {
  if (w.Exited) return true;
  siginfo_t info{};
  if (::waitid(P_PID, static_cast<id_t>(w.Pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != w.Pid)
    return false;
  ::kill(-w.Pid, SIGKILL);
  ::waitpid(w.Pid, &w.Status, 0);
  w.Exited = true;
  CloseFd(w.PidFd);
  return true;
}

// Ends a worker at once (a check past its time): its group killed, reaped.
void KillWorker(TWorker& w) {
  if (!w.Exited) {
    ::kill(-w.Pid, SIGKILL);
    ::waitpid(w.Pid, &w.Status, 0);
    w.Exited = true;
  }
  for (int* fd : {&w.In, &w.Out, &w.Err, &w.PidFd}) CloseFd(*fd);
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
  long Timeout = 600;  // seconds a delivery; 0 for none
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
  Json rows = Json::array();
  std::string text = Tr("CliScan", "folder,工事番号,工事名称,media,errors,warnings,seconds,result,detail") + "\r\n";
  for (std::size_t i = 0; i < deliveries.size(); ++i) {
    const TDelivery& d = deliveries[i];
    const TResult& r = results[i];
    const std::string folder = ValidUtf8(d.Rel);
    if (json) {
      rows.push_back(Json{{"folder", JsonString(folder)},
                          {"工事番号", JsonString(d.KojiNo)},
                          {"工事名称", JsonString(d.KojiName)},
                          {"media", d.Folders.size()},
                          {"errors", r.Errors},
                          {"warnings", r.Warnings},
                          {"seconds", JsonNumberText(SecondsText(r.Seconds))},
                          {"result", OutcomeName(r.Outcome)},
                          {"detail", JsonString(r.Detail)}});
    } else {
      text += CsvCell(folder) + "," + CsvCell(d.KojiNo) + "," + CsvCell(d.KojiName) + "," +
              std::to_string(d.Folders.size()) + "," + std::to_string(r.Errors) + "," + std::to_string(r.Warnings) +
              "," + SecondsText(r.Seconds) + "," + OutcomeName(r.Outcome) + "," + CsvCell(r.Detail) + "\r\n";
    }
  }
  return json ? JsonText(rows, 1) : text;
}

bool WriteFile(const std::string& path, std::string_view text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(text.data(), static_cast<std::streamsize>(text.size()));
  f.close();
  return static_cast<bool>(f);
}

// Runs the checks, o.Jobs workers at a time; a delivery's findings go to
// o.OutDir as its check ends. False when a findings file could not be
// written.
bool RunChecks(const TScanOptions& o, const std::vector<TDelivery>& deliveries, std::vector<TResult>& results,
               std::ostream& err) {
  using Clock = std::chrono::steady_clock;
  const bool progress = ::isatty(STDERR_FILENO) == 1;
  const std::string ext = o.Json ? ".json" : ".csv";
  const std::string format = o.Json ? "json" : "csv";
  bool written = true;
  std::size_t next = 0, done = 0;
  // The largest deliveries first, so that no large one is left to run alone
  // at the end.
  std::vector<std::size_t> order(deliveries.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return deliveries[a].Weight > deliveries[b].Weight; });
  std::vector<TWorker> workers;

  auto report = [&] {
    ++done;
    if (progress)
      err << "\r" << Arg(Tr("CliScan", "%1 / %2 件"), {std::to_string(done), std::to_string(deliveries.size())})
          << std::flush;
  };
  // A check that ran to its end with exit code `code`.
  auto finished = [&](TWorker& w, int code, long errors, long warnings, std::string_view out,
                      std::string_view errText) {
    TResult& r = results[static_cast<std::size_t>(w.Job)];
    r.Seconds = std::chrono::duration<double>(Clock::now() - w.Start).count();
    if (code == 0 || code == 1) {
      r.Outcome = TOutcome::Checked;
      r.Errors = errors;
      r.Warnings = warnings;
      if (!o.OutDir.empty()) {
        // ROOT itself as the delivery: named after its own folder, not "."
        // (a hidden file).
        const std::string& rel = deliveries[static_cast<std::size_t>(w.Job)].Rel;
        const std::string own = rel == "." ? ExtractFileName(o.Root) : rel;
        const std::string file = JoinPath(o.OutDir, FindingsName(own.empty() ? rel : own) + ext);
        if (!WriteFile(file, out)) {
          err << "dlvr: scan: cannot write " << file << "\n";
          written = false;
        }
      }
    } else {
      r.Outcome = TOutcome::Failed;
      r.Detail = FirstLine(std::string(errText));
      if (r.Detail.empty()) r.Detail = Arg(Tr("CliScan", "終了コード %1"), {std::to_string(code)});
    }
    report();
    w.Job = -1;
    ++w.Checked;
  };
  // The worker ended, or was ended, in the middle of a check.
  auto broken = [&](TWorker& w, TOutcome outcome, const std::string& detail) {
    TResult& r = results[static_cast<std::size_t>(w.Job)];
    r.Seconds = std::chrono::duration<double>(Clock::now() - w.Start).count();
    r.Outcome = outcome;
    r.Detail = detail;
    report();
    w.Job = -1;
  };
  // The answers complete in what a worker wrote.
  auto takeAnswers = [&](TWorker& w) {
    while (w.Job >= 0) {
      const std::size_t nl = w.OutText.find('\n');
      if (nl == std::string::npos) return;
      int code = 0;
      long errors = 0, warnings = 0;
      unsigned long long outBytes = 0, errBytes = 0;
      if (std::sscanf(w.OutText.substr(0, nl).c_str(), "%d %ld %ld %llu %llu", &code, &errors, &warnings, &outBytes,
                      &errBytes) != 5)
        return;
      if (w.OutText.size() < nl + 1 + outBytes + errBytes) return;
      const std::string_view answer(w.OutText);
      finished(w, code, errors, warnings, answer.substr(nl + 1, outBytes), answer.substr(nl + 1 + outBytes, errBytes));
      w.OutText.erase(0, nl + 1 + outBytes + errBytes);
    }
  };

  while (done < deliveries.size()) {
    // Workers for the jobs not yet given out, each given one when idle; an
    // idle worker with nothing more to do, or with its share done, is told
    // to end by the end of its input.
    std::size_t busy = 0;
    for (const TWorker& w : workers) busy += w.Job >= 0;
    while (workers.size() < static_cast<std::size_t>(o.Jobs) && workers.size() - busy < deliveries.size() - next) {
      TWorker w;
      std::string why;
      if (!SpawnWorker({o.Extended, o.Json, !o.OutDir.empty()}, w, why)) {
        if (!workers.empty()) break;  // the ones there go on
        err << "dlvr: scan: " << Arg(Tr("CliScan", "チェックのプロセスを起動できません: %1"), {why}) << "\n";
        return false;
      }
      workers.push_back(std::move(w));
    }
    const Clock::time_point now = Clock::now();
    for (TWorker& w : workers) {
      if (w.Job >= 0 || w.In < 0 || w.Exited) continue;
      if (next == deliveries.size() || w.Checked >= kChecksPerWorker) {
        CloseFd(w.In);
        continue;
      }
      w.Job = static_cast<long>(order[next++]);
      w.Start = now;
      w.ErrText.clear();
      std::string job = "check";
      job += '\0';
      for (const std::string& f : deliveries[static_cast<std::size_t>(w.Job)].Folders) job += f + '\0';
      if (o.Extended) job += std::string("--extended") + '\0';
      job += "--format";
      job += '\0';
      job += format + '\0';
      job += '\0';
      WriteAll(w.In, job);  // a worker that died meanwhile is found below
    }

    // Wait for answers, an end or the nearest deadline.
    std::vector<pollfd> fds;
    std::vector<std::pair<std::size_t, int*>> owners;
    int wait = -1;
    for (std::size_t i = 0; i < workers.size(); ++i) {
      TWorker& w = workers[i];
      for (int* fd : {&w.Out, &w.Err, &w.PidFd})
        if (*fd >= 0) {
          fds.push_back({*fd, POLLIN, 0});
          owners.emplace_back(i, fd);
        }
      if (w.PidFd < 0 && !w.Exited) wait = wait < 0 ? 20 : std::min(wait, 20);
      if (o.Timeout > 0 && w.Job >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              w.Start + std::chrono::seconds(o.Timeout) - now).count() + 1;
        const int ms = static_cast<int>(std::clamp<long long>(left, 0, 1000));
        wait = wait < 0 ? ms : std::min(wait, ms);
      }
    }
    if (::poll(fds.data(), fds.size(), wait) < 0 && errno != EINTR) {
      err << "dlvr: scan: poll: " << std::strerror(errno) << "\n";
      for (TWorker& w : workers) KillWorker(w);
      return false;
    }
    for (std::size_t k = 0; k < fds.size(); ++k) {
      if (!fds[k].revents) continue;
      TWorker& w = workers[owners[k].first];
      int* fd = owners[k].second;
      if (fd == &w.PidFd) {
        CheckExited(w);
        continue;
      }
      char buf[65536];
      const ssize_t n = ::read(*fd, buf, sizeof buf);
      if (n > 0) {
        (fd == &w.Out ? w.OutText : w.ErrText).append(buf, static_cast<std::size_t>(n));
        if (fd == &w.Out) takeAnswers(w);
      } else if (n == 0 || errno != EINTR) {
        CloseFd(*fd);
      }
    }
    const Clock::time_point after = Clock::now();
    for (std::size_t i = workers.size(); i-- > 0;) {
      TWorker& w = workers[i];
      if (w.PidFd < 0) CheckExited(w);
      if (w.Job >= 0 && w.OutText.size() + w.ErrText.size() > kMaxChildOutput) {
        KillWorker(w);
        broken(w, TOutcome::Failed, Tr("CliScan", "出力が大きすぎます"));
      } else if (w.Job >= 0 && o.Timeout > 0 && after - w.Start >= std::chrono::seconds(o.Timeout)) {
        KillWorker(w);
        broken(w, TOutcome::TimedOut, Arg(Tr("CliScan", "%1 秒で打ち切りました"), {std::to_string(o.Timeout)}));
      } else if (!w.Exited || w.Out >= 0) {
        continue;  // still at work, or its last answer still to be read
      } else if (w.Job >= 0 && WIFSIGNALED(w.Status)) {
        const int sig = WTERMSIG(w.Status);
        const char* name = sigabbrev_np(sig);
        broken(w, TOutcome::Crashed,
               Arg(Tr("CliScan", "シグナル %1 (%2) で終了しました"), {std::to_string(sig), name ? name : "?"}));
      } else if (w.Job >= 0) {
        const std::string first = FirstLine(w.ErrText);
        const std::string code = std::to_string(WIFEXITED(w.Status) ? WEXITSTATUS(w.Status) : -1);
        broken(w, TOutcome::Failed, first.empty() ? Arg(Tr("CliScan", "終了コード %1"), {code}) : first);
      }
      KillWorker(w);
      workers.erase(workers.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  for (TWorker& w : workers) {  // idle ones, told to end
    CloseFd(w.In);
    KillWorker(w);
  }
  if (progress && !deliveries.empty()) err << "\n";
  return written;
}

}  // namespace

int CmdScan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TArguments cl("scan", kScanUsage);
  TScanOptions o;
  const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
  o.Jobs = static_cast<int>(std::clamp(cores, 1L, 256L));
  std::vector<std::string> positional;
  std::string format = "csv";
  CLI::App& app = cl.App();
  app.add_option("ROOT", positional);
  app.add_option("--jobs", o.Jobs)->check(WholeNumber(1, 256));
  app.add_option("--timeout", o.Timeout)->check(WholeNumber(0, 604800));
  app.add_option("--format", format)->check(OneOf({"csv", "json"}));
  const CLI::Option* outOption = app.add_option("--out", o.OutDir);
  app.add_flag("--extended", o.Extended);
  if (const auto done = cl.Parse(args, out, err)) return *done;
  o.Json = format == "json";
  if (outOption->count() > 0 && o.OutDir.empty()) return cl.Fail(err, "--out needs a folder");
  if (positional.empty()) return cl.Fail(err, "missing ROOT");
  if (positional.size() > 1) return cl.Fail(err, "one ROOT only, not also " + positional[1]);
  if (!DirExists(positional[0])) return cl.Fail(err, "not a folder: " + positional[0]);
  o.Root = AbsolutePath(positional[0]);
  if (!o.OutDir.empty()) {
    // Nothing is ever written into a delivery: DIR outside ROOT, judged
    // with links and .. resolved.
    if (PathLiesInside(o.OutDir, o.Root)) return cl.Fail(err, o.OutDir + " lies inside " + positional[0]);
    if (!DirExists(o.OutDir) && ::mkdir(o.OutDir.c_str(), 0777) != 0)
      return cl.Fail(err, "cannot create " + o.OutDir + ": " + std::strerror(errno));
  }

  std::vector<TMedium> media;
  FindMedia(o.Root, ".", 0, media, err, o.Jobs);
  ReadMedia(media, o.Jobs);
  const std::vector<TDelivery> deliveries = GroupMedia(media);
  if (deliveries.empty())
    err << "dlvr: scan: "
        << Arg(Tr("CliScan", "納品データ（INDEX_C.XML のあるフォルダ）が見つかりません: %1"), {positional[0]}) << "\n";
  std::vector<TResult> results(deliveries.size());
  // A worker that died leaves a pipe without reader: a failed write, not the
  // end of the scan.
  struct sigaction ignore {}, old {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &old);
  bool written = RunChecks(o, deliveries, results, err);
  ::sigaction(SIGPIPE, &old, nullptr);

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
