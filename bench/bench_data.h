// Shared pieces of the benchmarks: a fixed pseudo-random sequence, Japanese
// record text, records built in memory, their management-file text, and
// best/median timing.
//
// Everything generated here is the same on every run (fixed seeds), so runs
// on different days compare.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "delivery/records.h"

namespace dlvr::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// A small linear congruential sequence.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint32_t Next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state_ >> 33);
  }
  std::size_t Below(std::size_t n) { return Next() % n; }
  template <class T, std::size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(N)];
  }

 private:
  std::uint64_t state_;
};

// Best and median of a set of timings.
struct Stats {
  double best = 0;
  double median = 0;
};
Stats Summarise(std::vector<double> seconds);

// Full-width prose of at most maxChars characters, made of whole phrases.
std::string Prose(Rng& rng, std::size_t maxChars);
// A date "YYYY-MM-DD" in the given year.
std::string Date(Rng& rng, int year);

// --- records in memory ---------------------------------------------------

// The construction information of INDEX_C.XML (one medium).
TMdlTreeNodeIndex MakeIndexRecord();

// A meeting record with `orgs` original files named by OrgFileName and
// `reserves` 予備 values. `proseChars` bounds the long descriptions.
TMdlTreeNodeMeet MakeMeeting(Rng& rng, int serial, int orgs, int reserves, std::size_t proseChars);
// The name of original file k (1-based) of meeting `serial`.
std::string OrgFileName(int serial, int k);

TMdlTreeNodePlan MakePlan(Rng& rng, int serial, int orgs, int reserves);
TMdlTreeNodeOthrs MakeOther(Rng& rng, int serial, int orgs, int reserves);

// Drawing n (1-based) of a drawing list; `lead` is the first letter of its
// file name ('D' for order drawings, 'C' for final drawings). File names
// are unique within a list.
TMdlTreeNodeDraw MakeDrawing(Rng& rng, char lead, int n);

// --- management file text (UTF-8, LF, tab-indented, one element a line) ---

std::string IndexXml(const TMdlTreeNodeIndex& rec);
std::string MeetXml(const std::vector<TMdlTreeNodeMeet>& records);
std::string DrawXml(const std::vector<TMdlTreeNodeDraw>& records);

// Document type definitions written beside the management files.
std::string IndexDtd();
std::string MeetDtd();
std::string DrawDtd();

// Writes UTF-8 text with LF as a delivery file: CP932 with CR LF.
bool WriteDeliveryFile(const std::string& path, std::string_view utf8);

// Creates an empty file (or truncates one).
bool TouchFile(const std::string& path);

// A PDF of `pages` pages of Japanese prose, about `charsPerPage` characters
// each, whose text layer reads back as that prose: a CID font shown by
// UTF-16 codes with a ToUnicode map (the font is not embedded; only the
// text matters). `marker`, when given, ends the last page.
std::string JapanesePdf(Rng& rng, int pages, std::size_t charsPerPage, const std::string& marker = std::string());

}  // namespace dlvr::bench
