// What a PDF is, read in a worker process with limits: whether it opens,
// whether it wants a password, how many pages it has. A PDF is untrusted
// input and its reader has no bound of its own (a page tree thousands of
// levels deep, an xref chain that loops, a compressed stream that inflates
// to gigabytes): the reading runs in a process of its own, with a time limit
// a file (the worker is killed past it) and a memory limit (RLIMIT_AS), and
// whatever becomes of the worker is an answer.
//
// The worker is the running program itself, started again as
// `PROGRAM --pdf-facts-worker ...` (posix_spawn of /proc/self/exe): every
// program that reads PDF facts calls RunPdfFactsWorkerIfAsked first thing in
// its main (dlvr, dlvrview, the widget tests). So the worker always matches
// the program, also where the viewer runs from a copy in a temporary folder,
// and nothing more needs installing. A worker is kept and reused for the
// next files (one start, some 30 ms, for a whole delivery); a fresh one
// follows one that was killed or died.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace dlvr {

struct TPdfFacts {
  enum class Status {
    Read,         // it opens: Pages is its page count (0 when it has none)
    Password,     // it opens only with a password
    Unreadable,   // it does not open as a PDF
    TimedOut,     // the worker was killed past the time limit
    OutOfMemory,  // the worker ran out of memory under its limit
    Crashed,      // the worker died on a signal or exited unexpectedly (Detail: "SIGSEGV", "exit 9")
    NotStarted,   // no worker could be started (Detail: why)
    Cancelled,    // the caller gave up waiting (the worker was killed)
  };
  Status State = Status::NotStarted;
  int Pages = 0;
  std::string Detail;
};

struct TPdfFactsLimits {
  std::chrono::milliseconds Time{10000};           // a file; 0 for none
  std::uint64_t MemoryBytes = std::uint64_t{1} << 30;  // the worker's address space; 0 for none
};

// The limits of every read from now on (the default: 10 s, 1 GB). Thread-safe.
void SetPdfFactsLimits(const TPdfFactsLimits& limits);
TPdfFactsLimits PdfFactsLimits();

// The facts of the PDF at `path`, read by a worker under the limits set.
// Blocks for at most the time limit (and a worker's start), or until
// `*cancel` turns true (looked at every 50 ms); never throws. Thread-safe:
// calls from several threads each use a worker of their own.
TPdfFacts ReadPdfFacts(const std::string& path, const std::atomic<bool>* cancel = nullptr);

// The text layer of a PDF's pages (no OCR), read by the same workers under
// the same limits as its facts. Whether the PDF opens and its pages are the
// preview's PDF library's (Qt Pdf) answer; the text is poppler's where it
// is built in and sees the same pages (it maps a CJK font's characters
// through poppler-data without loading a substitute font for each page),
// else the preview library's. Pages holds each page's text, lines ended by
// CR LF, characters a CJK collection names otherwise than Windows'
// Japanese code page in the code page's forms, at most `maxBytes` in all:
// the pages past that are left out and Cut is set. Facts says what became
// of the read (Read when the text came). Blocks and is cancelled as
// ReadPdfFacts.
struct TPdfPagesText {
  TPdfFacts Facts;
  std::vector<std::string> Pages;
  bool Cut = false;
};
TPdfPagesText ReadPdfText(const std::string& path, std::size_t maxBytes, const std::atomic<bool>* cancel = nullptr);

// The program the workers run (default: this process's own executable,
// /proc/self/exe). For tests of a program without the worker mode.
void SetPdfFactsWorkerProgram(const std::string& program);

// The worker mode: when argv[1] is "--pdf-facts-worker", runs the worker
// (reads NUL-ended paths on stdin, answers a line each on stdout, ends at
// the end of its input) and returns its exit status; otherwise returns -1
// at once and touches nothing.
int RunPdfFactsWorkerIfAsked(int argc, char** argv);

}  // namespace dlvr
