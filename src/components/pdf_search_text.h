// The PDF reader the full-text search plugs in: a PDF's page texts read by
// the PDF-facts worker processes, under their time and memory limits, with
// the reason (in English, as the search engine keeps it) when there are
// none. Used by the viewer's search and by `dlvr search` alike.
#pragma once

#include <atomic>
#include <string>
#include <utility>

#include "components/pdf_facts.h"
#include "search/sources.h"

namespace dlvr {

inline search::TPdfText ReadPdfSearchText(const std::string& path, const std::atomic<bool>* cancel) {
  TPdfPagesText read = ReadPdfText(path, search::kMaxFileTextBytes, cancel);
  search::TPdfText text;
  text.Pages = std::move(read.Pages);
  using S = TPdfFacts::Status;
  switch (read.Facts.State) {
    case S::Read: break;
    case S::Password: text.Reason = "encrypted"; break;
    case S::Unreadable: text.Reason = "broken"; break;
    case S::TimedOut: text.Reason = "time limit"; break;
    case S::OutOfMemory: text.Reason = "too large (memory limit)"; break;
    case S::Crashed: text.Reason = "broken (" + read.Facts.Detail + ")"; break;
    case S::NotStarted: text.Reason = "no PDF reader (" + read.Facts.Detail + ")"; break;
    case S::Cancelled: text.Reason = "cancelled"; break;
  }
  return text;
}

// The readers of the search with the PDF reader above.
inline search::TExtractors SearchExtractors() {
  search::TExtractors extractors;
  extractors.Pdf = ReadPdfSearchText;
  return extractors;
}

}  // namespace dlvr
