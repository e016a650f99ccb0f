// Feeds PDFs to the PDF-facts reader the document check and the preview
// use: each input is written as a file and read through ReadPdfFacts, that
// is by a worker process (this program started again with
// --pdf-facts-worker, answered in LLVMFuzzerInitialize) under a short time
// limit. The PDF library is the system's and not instrumented: what is
// fuzzed is the driver around it (starting, feeding, killing and replacing
// workers, reading their answers), with the library's own faults coming
// back as crashes of the worker.
//
// The first byte chooses: bit 0 a name with a blank and non-ASCII
// characters, bit 1 a file cut to its first half after the read (the next
// read of the same name must see the new file), bit 2 a second read of the
// same file (it must give the same answer unless the first was a limit).
//
// Checks beyond the sanitizers: every read ends with an answer within the
// time limit and a worker's start; a worker can always be started; a page
// count is never negative and only a read file has one; a crash names its
// signal or exit; this process's memory stays bounded whatever the file.
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "components/pdf_facts.h"
#include "fuzz_support.h"
#include "platform/fileio.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // The worker: this program started again.
  if (const int worker = dlvr::RunPdfFactsWorkerIfAsked(*argc, *argv); worker >= 0) std::exit(worker);
  dlvr::TPdfFactsLimits limits;
  limits.Time = std::chrono::seconds(2);
  // The sanitizers' shadow memory is address space of its own: no
  // RLIMIT_AS under them (the time limit stays).
  limits.MemoryBytes = 0;
  dlvr::SetPdfFactsLimits(limits);
  return 0;
}

namespace {

using dlvr::TPdfFacts;

void CheckFacts(const TPdfFacts& facts) {
  FUZZ_CHECK(facts.State != TPdfFacts::Status::NotStarted);
  FUZZ_CHECK(facts.State != TPdfFacts::Status::Cancelled);
  FUZZ_CHECK(facts.Pages >= 0);
  FUZZ_CHECK(facts.State == TPdfFacts::Status::Read || facts.Pages == 0);
  FUZZ_CHECK(facts.State != TPdfFacts::Status::Crashed || !facts.Detail.empty());
}

TPdfFacts TimedRead(const std::string& path) {
  const auto start = std::chrono::steady_clock::now();
  const TPdfFacts facts = dlvr::ReadPdfFacts(path);
  // The limit, and a fresh worker's start on a busy machine.
  FUZZ_CHECK(std::chrono::steady_clock::now() - start < std::chrono::seconds(2 + 20));
  CheckFacts(facts);
  return facts;
}

bool Limit(const TPdfFacts& f) {
  return f.State == TPdfFacts::Status::TimedOut || f.State == TPdfFacts::Status::OutOfMemory ||
         f.State == TPdfFacts::Status::Crashed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t mode = data[0];
  const std::string pdf(reinterpret_cast<const char*>(data) + 1, size - 1);
  dlvr::fuzz::WorkDir dir;
  const std::string path = dir.Path() + ((mode & 1) ? "図面 1.PDF" : "DOC.PDF");
  FUZZ_CHECK(dlvr::WriteWholeFile(path, pdf));
  const TPdfFacts first = TimedRead(path);
  if (mode & 4) {
    const TPdfFacts again = TimedRead(path);
    if (!Limit(first) && !Limit(again)) {
      FUZZ_CHECK(again.State == first.State);
      FUZZ_CHECK(again.Pages == first.Pages);
    }
  }
  if (mode & 2) {
    FUZZ_CHECK(dlvr::WriteWholeFile(path, pdf.substr(0, pdf.size() / 2)));
    TimedRead(path);
  }
  // The documents are read elsewhere: this process grows by none of them.
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  FUZZ_CHECK(use.ru_maxrss < 1024 * 1024);  // KiB
  return 0;
}
