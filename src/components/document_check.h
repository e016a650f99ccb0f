// Looks into the documents of a delivery for the full delivery check: a
// PDF must open without a password, an image must decode, and a file's
// contents must be of the kind its extension says. Needs Qt Gui and Qt Pdf
// (without Qt Pdf, PDFs are judged by their contents' kind only).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "check/extended_check.h"
#include "components/pdf_facts.h"

namespace dlvr {

// What is wrong with the document at `path`, each with its severity; empty
// when nothing is. Reads the file only (a regular file, never a link);
// never throws. Call with a QGuiApplication (or QCoreApplication) present.
std::vector<std::pair<TSeverity, std::string>> CheckDocumentFile(const std::string& path);

// Why a PDF's facts could not be read, in the user's language ("PDF を読み取れ
// ませんでした（時間切れ）"); "" when they were read (it opened, wanted a
// password or was no PDF).
std::string PdfUnreadText(const TPdfFacts& facts);

}  // namespace dlvr
