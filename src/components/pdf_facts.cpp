#include "components/pdf_facts.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#ifdef DLVR_HAVE_QTPDF
#include <QPdfDocument>
#endif
#ifdef DLVR_HAVE_POPPLER
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>
#endif

extern char** environ;

namespace dlvr {
namespace {

constexpr const char* kWorkerFlag = "--pdf-facts-worker";
// The address sanitizer reserves terabytes of address space for its shadow
// and maps more as it goes: under a limit on the address space its worker
// cannot even start. Its builds (the test builds) go without the limit.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif
// The worker's first line: a program without the worker mode, started by
// mistake, is told by its absence.
constexpr std::string_view kHello = "PDFFACTS 1\n";
// A worker's start (loading its libraries) on a busy machine.
constexpr std::chrono::seconds kStartTime{30};
// The exit status of a worker whose allocation failed.
constexpr int kOutOfMemoryExit = 3;
// Idle workers kept for the next reads.
constexpr std::size_t kMaxIdle = 4;

using Clock = std::chrono::steady_clock;

// ---- the worker ----------------------------------------------------------

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void OutOfMemory() {
  WriteAll(1, "memory\n");
  ::_exit(kOutOfMemoryExit);
}

// The worker's address space at its start and its limit (0: none).
std::uint64_t startSpace = 0, spaceLimit = 0;

// The process's address space in bytes (0 when unknown); safe in a signal
// handler.
std::uint64_t AddressSpace() {
  const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char text[64];
  const ssize_t n = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  std::uint64_t pages = 0;
  for (ssize_t i = 0; i < n && text[i] >= '0' && text[i] <= '9'; ++i) pages = pages * 10 + (text[i] - '0');
  return pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

// The PDF library ends itself (an abort, a trap, a fault) when an
// allocation fails: a worker that dies with most of its room used ran out
// of memory, and says so.
void OnFatalSignal(int sig) {
  if (spaceLimit > startSpace && AddressSpace() >= startSpace + (spaceLimit - startSpace) / 2) OutOfMemory();
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

// The CPU time this process has used, in whole seconds rounded up.
rlim_t CpuSecondsUsed() {
  rusage use{};
  ::getrusage(RUSAGE_SELF, &use);
  return static_cast<rlim_t>(use.ru_utime.tv_sec + use.ru_stime.tv_sec + 1);
}

// A request for a PDF's text: kTextRequest, the most bytes of text, then
// kTextRequest again and the path. The answer is "text PAGES BYTES CUT" and
// a line, then BYTES bytes: each page's text followed by a form feed.
constexpr char kTextRequest = '\x01';

// The answer for the pages' texts in turn, the first `maxBytes` of them:
// `pageText(p)` gives page p's text.
template <typename PageText>
std::string PagesTextAnswer(int pageCount, std::size_t maxBytes, PageText pageText) {
  std::string text;
  int pages = 0;
  bool cut = false;
  for (int p = 0; p < pageCount; ++p) {
    std::string page = pageText(p);
    std::replace(page.begin(), page.end(), '\f', ' ');
    if (text.size() + page.size() + 1 > maxBytes) {
      cut = true;
      break;
    }
    text += page;
    text += '\f';
    ++pages;
  }
  return "text " + std::to_string(pages) + " " + std::to_string(text.size()) + (cut ? " 1\n" : " 0\n") + text;
}

#ifdef DLVR_HAVE_POPPLER
// The characters that a CJK font's character collection (Adobe-Japan1,
// mapped to Unicode by poppler-data) names otherwise than Windows' Japanese
// code page, which the deliveries are written with and their management
// files are decoded through: the wave dash and the minus sign. Each is
// given in the code page's form (as the preview's PDF library gives it
// too), so that a word copied from a record finds the same word in a PDF
// and the preview marks it.
constexpr std::pair<std::string_view, std::string_view> kPdfCodePageForms[] = {
    {"\u301C", "\uFF5E"},
    {"\u2212", "\uFF0D"},
};

// A page's text as the search keeps it: the code page's forms of the
// characters above, lines ended by CR LF (as the preview's PDF library ends
// them), no line break or page break after the last line.
std::string PopplerPageText(const poppler::page& page) {
  const poppler::byte_array utf8 = page.text(poppler::rectf(), poppler::page::raw_order_layout).to_utf8();
  std::string_view raw(utf8.data(), utf8.size());
  while (!raw.empty() && (raw.back() == '\f' || raw.back() == '\n' || raw.back() == '\r')) raw.remove_suffix(1);
  std::string text;
  text.reserve(raw.size() + raw.size() / 32);
  for (std::size_t i = 0; i < raw.size();) {
    const char c = raw[i];
    if (c == '\n') {
      if (text.empty() || text.back() != '\r') text += '\r';
      text += '\n';
      ++i;
      continue;
    }
    const auto form = std::find_if(std::begin(kPdfCodePageForms), std::end(kPdfCodePageForms),
                                   [&](const auto& f) { return raw.substr(i, f.first.size()) == f.first; });
    if (form != std::end(kPdfCodePageForms)) {
      text += form->second;
      i += form->first.size();
      continue;
    }
    text += c;
    ++i;
  }
  return text;
}

// Poppler's messages go nowhere (a broken PDF is told by the answer).
void DropPopplerMessage(const std::string&, void*) {}

// Whether poppler-data's maps of the Japanese character collection are
// installed (where its package puts them): without them poppler gives only
// the ASCII of a PDF whose Japanese font is not embedded, and the preview's
// library reads the text instead.
bool PopplerReadsJapanese() {
  static const bool found = [] {
    for (const char* dir : {"/usr/share/poppler", "/usr/local/share/poppler"}) {
      struct stat info {};
      if (::stat((std::string(dir) + "/cidToUnicode/Adobe-Japan1").c_str(), &info) == 0) return true;
    }
    return false;
  }();
  return found;
}

// The answer for the text of the PDF at `path`, read through poppler; ""
// when poppler does not open it, or sees other than `pages` pages (-1: any
// number), or lacks the Japanese maps, where the preview's library is left
// to read it.
std::string PopplerTextAnswer(const std::string& path, std::size_t maxBytes, int pages) {
  if (!PopplerReadsJapanese()) return std::string();
  const std::unique_ptr<poppler::document> pdf(poppler::document::load_from_file(path));
  if (!pdf || pdf->is_locked() || (pages >= 0 && pdf->pages() != pages)) return std::string();
  return PagesTextAnswer(pdf->pages(), maxBytes, [&](int p) {
    const std::unique_ptr<poppler::page> page(pdf->create_page(p));
    return page ? PopplerPageText(*page) : std::string();
  });
}
#endif

#ifdef DLVR_HAVE_QTPDF
std::string TextAnswer(QPdfDocument& pdf, std::size_t maxBytes) {
  return PagesTextAnswer(pdf.pageCount(), maxBytes, [&](int p) { return pdf.getAllText(p).text().toStdString(); });
}
#endif

std::string Answer(std::string path) {
  std::size_t maxText = 0;
  const bool wantText = !path.empty() && path[0] == kTextRequest;
  if (wantText) {
    const std::size_t sep = path.find(kTextRequest, 1);
    if (sep == std::string::npos) return "unreadable\n";
    maxText = std::strtoull(path.c_str() + 1, nullptr, 10);
    path.erase(0, sep + 1);
  }
#ifdef DLVR_HAVE_QTPDF
  // Whether it opens, and its pages, as the preview sees them: the search
  // names a hit by the page the preview shows.
  QPdfDocument pdf;
  const QPdfDocument::Error error = pdf.load(QString::fromStdString(path));
  if (error == QPdfDocument::Error::IncorrectPassword) return "password\n";
  if (error != QPdfDocument::Error::None) return "unreadable\n";
  if (!wantText) return "ok " + std::to_string(std::max(0, pdf.pageCount())) + "\n";
#ifdef DLVR_HAVE_POPPLER
  if (std::string text = PopplerTextAnswer(path, maxText, pdf.pageCount()); !text.empty()) return text;
#endif
  return TextAnswer(pdf, maxText);
#elif defined(DLVR_HAVE_POPPLER)
  if (!wantText) return "unreadable\n";
  const std::string text = PopplerTextAnswer(path, maxText, -1);
  return text.empty() ? "unreadable\n" : text;
#else
  (void)maxText;
  return "unreadable\n";
#endif
}

int WorkerMain(int argc, char** argv) {
  unsigned long long memory = 0;
  long cpu = 0;
  for (int i = 2; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--memory") == 0) memory = std::strtoull(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--cpu") == 0) cpu = std::strtol(argv[i + 1], nullptr, 10);
  }
  const rlimit noCore{0, 0};
  ::setrlimit(RLIMIT_CORE, &noCore);
  if (memory > 0 && !kAddressSanitizer) {
    const rlimit space{static_cast<rlim_t>(memory), static_cast<rlim_t>(memory)};
    ::setrlimit(RLIMIT_AS, &space);
    startSpace = AddressSpace();
    spaceLimit = memory;
    // On a stack of its own: a recursion that ran out of stack faults too.
    static char altStack[64 * 1024];
    const stack_t stack{altStack, 0, sizeof altStack};
    ::sigaltstack(&stack, nullptr);
    struct sigaction fatal {};
    fatal.sa_handler = OnFatalSignal;
    fatal.sa_flags = SA_ONSTACK | SA_RESETHAND;
    for (int sig : {SIGABRT, SIGSEGV, SIGBUS, SIGTRAP, SIGILL}) ::sigaction(sig, &fatal, nullptr);
  }
  std::set_new_handler(OutOfMemory);
  ::signal(SIGPIPE, SIG_DFL);
  int qtArgc = 1;
  QCoreApplication app(qtArgc, argv);
#ifdef DLVR_HAVE_QTPDF
  // The PDF library is set up with its first document and torn down with
  // its last, and each setting up looks through every installed font file:
  // a document kept for the worker's life keeps it set up between files.
  const QPdfDocument keepsLibrary;
#endif
#ifdef DLVR_HAVE_POPPLER
  poppler::set_debug_error_function(DropPopplerMessage, nullptr);
#endif
  if (!WriteAll(1, kHello)) return 1;
  std::string input;
  std::size_t pos = 0;
  while (true) {
    const std::size_t end = input.find('\0', pos);
    if (end == std::string::npos) {
      input.erase(0, pos);
      pos = 0;
      char chunk[4096];
      const ssize_t n = ::read(0, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return 0;
      input.append(chunk, static_cast<std::size_t>(n));
      continue;
    }
    const std::string path = input.substr(pos, end - pos);
    pos = end + 1;
    if (cpu > 0) {
      // A backstop should the program that asked be gone: the CPU time of
      // one file bounded too (SIGXCPU ends the worker).
      rlimit limit{};
      ::getrlimit(RLIMIT_CPU, &limit);
      limit.rlim_cur = std::min(limit.rlim_max, CpuSecondsUsed() + static_cast<rlim_t>(cpu));
      ::setrlimit(RLIMIT_CPU, &limit);
    }
    if (!WriteAll(1, Answer(path))) return 1;
  }
}

// ---- the program's side --------------------------------------------------

// The settings, made on first use (they may be set from other files'
// static initialisers).
struct TSettings {
  std::mutex Mutex;
  TPdfFactsLimits Limits;
  std::string Program = "/proc/self/exe";
  unsigned long Generation = 0;  // idle workers of an earlier one are ended
};
TSettings& Settings() {
  static TSettings settings;
  return settings;
}

class TWorker {
 public:
  TWorker(const TPdfFactsLimits& limits, std::string program, unsigned long gen)
      : Generation(gen), limits_(limits), program_(std::move(program)) {}
  ~TWorker() { Stop(); }
  TWorker(const TWorker&) = delete;
  TWorker& operator=(const TWorker&) = delete;

  bool Alive() const { return pid_ > 0; }

  // Starts the worker and waits for its greeting; false with the reason.
  bool Start(std::string& why, const std::atomic<bool>* cancel);
  // Sends `path` and waits for the answer; `sent` false when the worker was
  // gone before it got the path.
  // With `text`, asks for the PDF's text (at most `maxText` bytes) instead.
  TPdfFacts Read(const std::string& path, bool& sent, const std::atomic<bool>* cancel,
                 TPdfPagesText* text = nullptr, std::size_t maxText = 0);
  // Kills the worker (if any) and reaps it.
  void Stop() {
    if (pid_ <= 0 || owner_ != ::getpid()) return;  // a fork's copy: not its worker
    ::kill(pid_, SIGKILL);
    Reap();
  }

  const unsigned long Generation;

 private:
  enum class TWait { Line, TimedOut, Ended, Cancelled };
  // Waits for a whole line until `deadline` (none when nullopt) or `*cancel`.
  TWait WaitLine(std::optional<Clock::time_point> deadline, std::string& line,
                 const std::atomic<bool>* cancel = nullptr);
  // Waits for `count` bytes after a line, as WaitLine waits for a line.
  TWait WaitBytes(std::optional<Clock::time_point> deadline, std::size_t count, std::string& bytes,
                  const std::atomic<bool>* cancel);
  // Reaps the ended worker; its status and peak memory.
  void Reap() {
    rusage use{};
    while (::wait4(pid_, &status_, 0, &use) < 0 && errno == EINTR) {
    }
    peakKb_ = use.ru_maxrss;
    pid_ = -1;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    buffer_.clear();
  }
  // What an ended worker's status says.
  TPdfFacts Death() const;

  TPdfFactsLimits limits_;
  std::string program_;
  pid_t pid_ = -1;
  pid_t owner_ = -1;
  int fd_ = -1;
  int status_ = 0;
  long peakKb_ = 0;
  std::string buffer_;
};

bool TWorker::Start(std::string& why, const std::atomic<bool>* cancel) {
  int sv[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) {
    why = std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, sv[1], 0);
  posix_spawn_file_actions_adddup2(&actions, sv[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXCPU}) sigaddset(&defaults, sig);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  const std::string memory = std::to_string(limits_.MemoryBytes);
  const long cpuSeconds =
      limits_.Time.count() > 0 ? static_cast<long>(limits_.Time.count() / 1000) + 2 : 0;
  const std::string cpu = std::to_string(cpuSeconds);
  std::vector<char*> argv = {const_cast<char*>(program_.c_str()), const_cast<char*>(kWorkerFlag),
                             const_cast<char*>("--memory"), const_cast<char*>(memory.c_str()),
                             const_cast<char*>("--cpu"), const_cast<char*>(cpu.c_str()), nullptr};
  pid_t pid = -1;
  const int error = ::posix_spawn(&pid, program_.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(sv[1]);
  if (error != 0) {
    ::close(sv[0]);
    why = std::strerror(error);
    return false;
  }
  pid_ = pid;
  owner_ = ::getpid();
  fd_ = sv[0];
  std::string line;
  const TWait wait = WaitLine(Clock::now() + kStartTime, line, cancel);
  if (wait == TWait::Line && line + "\n" == kHello) return true;
  why = wait == TWait::TimedOut ? "no answer" : "not a worker: " + program_;
  Stop();
  return false;
}

TWorker::TWait TWorker::WaitLine(std::optional<Clock::time_point> deadline, std::string& line,
                                 const std::atomic<bool>* cancel) {
  while (true) {
    const std::size_t nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      return TWait::Line;
    }
    if (buffer_.size() > 4096) return TWait::Ended;  // no answer of ours
    if (cancel && *cancel) return TWait::Cancelled;
    int ms = cancel ? 50 : -1;
    if (deadline) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
      if (left <= 0) return TWait::TimedOut;
      ms = static_cast<int>(std::min<long long>(left + 1, cancel ? 50 : 1000 * 60));
    }
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, ms);
    if (ready < 0 && errno != EINTR) return TWait::Ended;
    if (ready <= 0) continue;
    char chunk[512];
    const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return TWait::Ended;
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

TWorker::TWait TWorker::WaitBytes(std::optional<Clock::time_point> deadline, std::size_t count, std::string& bytes,
                                  const std::atomic<bool>* cancel) {
  while (buffer_.size() < count) {
    if (cancel && *cancel) return TWait::Cancelled;
    int ms = cancel ? 50 : -1;
    if (deadline) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
      if (left <= 0) return TWait::TimedOut;
      ms = static_cast<int>(std::min<long long>(left + 1, cancel ? 50 : 1000 * 60));
    }
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, ms);
    if (ready < 0 && errno != EINTR) return TWait::Ended;
    if (ready <= 0) continue;
    char chunk[65536];
    const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return TWait::Ended;
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
  bytes = buffer_.substr(0, count);
  buffer_.erase(0, count);
  return TWait::Line;
}

TPdfFacts TWorker::Death() const {
  TPdfFacts facts;
  facts.State = TPdfFacts::Status::Crashed;
  if (WIFEXITED(status_) && WEXITSTATUS(status_) == kOutOfMemoryExit) {
    facts.State = TPdfFacts::Status::OutOfMemory;
  } else if (WIFSIGNALED(status_) && WTERMSIG(status_) == SIGXCPU) {
    facts.State = TPdfFacts::Status::TimedOut;
  } else if (WIFSIGNALED(status_)) {
    // Killed from outside with its memory near the limit: the system's
    // out-of-memory killer.
    if (WTERMSIG(status_) == SIGKILL && limits_.MemoryBytes > 0 &&
        static_cast<std::uint64_t>(peakKb_) * 1024 >= limits_.MemoryBytes / 2) {
      facts.State = TPdfFacts::Status::OutOfMemory;
    } else {
      const char* name = sigabbrev_np(WTERMSIG(status_));
      facts.Detail = name ? std::string("SIG") + name : "signal " + std::to_string(WTERMSIG(status_));
    }
  } else {
    facts.Detail = "exit " + std::to_string(WIFEXITED(status_) ? WEXITSTATUS(status_) : -1);
  }
  return facts;
}

TPdfFacts TWorker::Read(const std::string& path, bool& sent, const std::atomic<bool>* cancel, TPdfPagesText* text,
                        std::size_t maxText) {
  sent = false;
  std::string request =
      text ? std::string(1, kTextRequest) + std::to_string(maxText) + kTextRequest + path : path;
  request.push_back('\0');
  for (std::string_view rest = request; !rest.empty();) {
    const ssize_t n = ::send(fd_, rest.data(), rest.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      Stop();
      return Death();
    }
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
  sent = true;
  std::optional<Clock::time_point> deadline;
  if (limits_.Time.count() > 0) deadline = Clock::now() + limits_.Time;
  std::string line, payload;
  TWait wait = WaitLine(deadline, line, cancel);
  std::size_t textPages = 0, textBytes = 0;
  int textCut = 0;
  if (wait == TWait::Line && text &&
      std::sscanf(line.c_str(), "text %zu %zu %d", &textPages, &textBytes, &textCut) == 3) {
    wait = WaitBytes(deadline, textBytes, payload, cancel);
    line = "ok " + std::to_string(textPages);
    for (std::size_t start = 0, ff; (ff = payload.find('\f', start)) != std::string::npos; start = ff + 1)
      text->Pages.push_back(payload.substr(start, ff - start));
    text->Cut = textCut != 0;
  }
  switch (wait) {
    case TWait::Cancelled: {
      Stop();
      TPdfFacts facts;
      facts.State = TPdfFacts::Status::Cancelled;
      return facts;
    }
    case TWait::TimedOut: {
      Stop();
      TPdfFacts facts;
      facts.State = TPdfFacts::Status::TimedOut;
      return facts;
    }
    case TWait::Ended:
      Stop();
      return Death();
    case TWait::Line: break;
  }
  TPdfFacts facts;
  if (line.rfind("ok ", 0) == 0) {
    facts.State = TPdfFacts::Status::Read;
    facts.Pages = std::atoi(line.c_str() + 3);
  } else if (line == "password") {
    facts.State = TPdfFacts::Status::Password;
  } else if (line == "unreadable") {
    facts.State = TPdfFacts::Status::Unreadable;
  } else {
    // "memory": the worker is ending.
    Stop();
    facts = Death();
    if (line == "memory") facts.State = TPdfFacts::Status::OutOfMemory;
  }
  return facts;
}

std::mutex idleMutex;
std::vector<std::unique_ptr<TWorker>>& Idle() {
  static auto* idle = new std::vector<std::unique_ptr<TWorker>>;  // outlives every caller
  return *idle;
}

// Ends the idle workers at exit (each would end at the end of its input too).
struct TIdleReaper {
  ~TIdleReaper() {
    std::lock_guard lock(idleMutex);
    Idle().clear();
  }
} idleReaper;

}  // namespace

void SetPdfFactsLimits(const TPdfFactsLimits& limits) {
  TSettings& s = Settings();
  std::lock_guard lock(s.Mutex);
  if (limits.Time == s.Limits.Time && limits.MemoryBytes == s.Limits.MemoryBytes) return;  // the workers serve on
  s.Limits = limits;
  ++s.Generation;
}

TPdfFactsLimits PdfFactsLimits() {
  TSettings& s = Settings();
  std::lock_guard lock(s.Mutex);
  return s.Limits;
}

void SetPdfFactsWorkerProgram(const std::string& program) {
  TSettings& s = Settings();
  std::lock_guard lock(s.Mutex);
  s.Program = program;
  ++s.Generation;
}

namespace {

TPdfFacts AskWorker(const std::string& path, const std::atomic<bool>* cancel, TPdfPagesText* text,
                    std::size_t maxText);

}  // namespace

TPdfFacts ReadPdfFacts(const std::string& path, const std::atomic<bool>* cancel) {
  return AskWorker(path, cancel, nullptr, 0);
}

TPdfPagesText ReadPdfText(const std::string& path, std::size_t maxBytes, const std::atomic<bool>* cancel) {
  TPdfPagesText text;
  text.Facts = AskWorker(path, cancel, &text, maxBytes);
  if (text.Facts.State != TPdfFacts::Status::Read) text.Pages.clear();
  return text;
}

namespace {

TPdfFacts AskWorker(const std::string& path, const std::atomic<bool>* cancel, TPdfPagesText* text,
                    std::size_t maxText) {
  TPdfFactsLimits limits;
  std::string program;
  unsigned long gen = 0;
  {
    TSettings& s = Settings();
    std::lock_guard lock(s.Mutex);
    limits = s.Limits;
    program = s.Program;
    gen = s.Generation;
  }
  std::unique_ptr<TWorker> worker;
  {
    std::lock_guard lock(idleMutex);
    auto& idle = Idle();
    while (!idle.empty() && !worker) {
      worker = std::move(idle.back());
      idle.pop_back();
      if (worker->Generation != gen) worker.reset();
    }
  }
  TPdfFacts facts;
  // A worker found gone before it got the path (ended meanwhile) is
  // replaced once.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!worker || !worker->Alive()) {
      worker = std::make_unique<TWorker>(limits, program, gen);
      std::string why;
      if (!worker->Start(why, cancel)) {
        facts = TPdfFacts();
        facts.State = cancel && *cancel ? TPdfFacts::Status::Cancelled : TPdfFacts::Status::NotStarted;
        facts.Detail = why;
        return facts;
      }
    }
    bool sent = false;
    if (text) *text = TPdfPagesText();
    facts = worker->Read(path, sent, cancel, text, maxText);
    if (sent) break;
  }
  if (worker->Alive()) {
    std::lock_guard lock(idleMutex);
    if (Idle().size() < kMaxIdle) Idle().push_back(std::move(worker));
  }
  return facts;
}

}  // namespace

int RunPdfFactsWorkerIfAsked(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], kWorkerFlag) != 0) return -1;
  return WorkerMain(argc, argv);
}

}  // namespace dlvr
