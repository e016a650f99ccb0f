// Printing the data check's error report on a printer.
#pragma once

#include <QPrinter>
#include <QWidget>

#include <array>
#include <string>
#include <vector>

namespace dlvr {

// Sets the printer to A4 landscape with the application title as the job
// name and prints the report on it. A failure after the job started aborts
// the job; nothing is reported. Returns whether the report was printed.
bool PrintErrorReportOn(QPrinter& printer, const std::vector<std::array<std::string, 5>>& errors);

// The print command: nothing for an empty list; otherwise the print dialog,
// then the report with the wait cursor shown. Returns whether it printed.
bool PrintErrorReport(QWidget* parent, const std::vector<std::array<std::string, 5>>& errors);

}  // namespace dlvr
