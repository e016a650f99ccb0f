// Small functions shared by the shell, the model and the panes: drive tests
// for the media, the readiness test and its retry prompt, the stylesheet
// line of a management file shown in the preview, and the blank page.
#pragma once

#include <string>
#include <string_view>

#include "delivery/prompts.h"

namespace dlvr {

// The text of the not-ready prompt, in Japanese: AskMediaNotReady shows it
// in the user's language (context "Media").
extern const char* const kMediaNotReadyText;

// The delivery a file belongs to: the nearest folder at most two levels up
// that holds INDEX_C.XML (any case), else the file's own folder; ending in
// '/'.
std::string DeliveryFolderOf(const std::string& file);

// True when `path` lies on a fixed disk.
bool IsFixedDrive(const std::string& path);

// True when `path` lies on a removable disk or a CD/DVD.
bool IsRemovableDrive(const std::string& path);

// Warning with Abort and Retry, Retry the default. Callers go on only on
// DialogAnswer::Retry.
DialogAnswer AskRetry(const std::string& message);

// AskRetry with the not-ready text.
DialogAnswer AskMediaNotReady();

// True when the medium holding `path` can be queried (never shows a
// platform error).
bool IsMediaReady(const std::string& path);

// Writes `target` as a copy of `source` whose stylesheet instruction names
// `href`: an existing one right after the XML declaration is replaced in
// place, otherwise the line is inserted after the last XML declaration line
// before it, or first when there is none. Returns whether `target` exists
// afterwards; false on any failure.
bool InsertStylesheet(const std::string& source, const std::string& target, const std::string& href);

// Writes `target` as a copy of `source` without any stylesheet instruction.
bool RemoveStylesheet(const std::string& source, const std::string& target);

// The same on a file's bytes in memory; lines keep their breaks.
std::string InsertStylesheetText(std::string_view text, const std::string& href);
std::string RemoveStylesheetText(std::string_view text);
// Writes what InsertStylesheetText (`href` given) or RemoveStylesheetText
// (`href` null) makes of the text to `path`, a piece at a time, never
// holding it whole. False when the file cannot be written.
bool WriteStylesheetCopy(const std::string& path, std::string_view text, const std::string* href);
// The same of the file `source`, read a piece at a time: the file is never
// held whole. False (and no `path` left) when it cannot be read; false when
// `path` cannot be written.
bool WriteStylesheetCopyOf(const std::string& source, const std::string& path, const std::string* href);

// Writes the blank page NONE.HTML into the program's folder (replacing the
// file, unless it already holds the page). Returns whether the page is there
// afterwards: false when the folder cannot be written, and when it holds a
// delivery (an INDEX_C.XML), which is never written into.
bool WriteBlankPage();

// The blank page's path (in the program's folder).
std::string BlankPagePath();

}  // namespace dlvr
