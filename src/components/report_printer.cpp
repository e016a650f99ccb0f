#include "components/report_printer.h"

#include <QApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>

#include "components/drawing_canvas.h"

namespace dlvr {

bool PrintErrorReportOn(QPrinter& printer, const std::vector<std::array<std::string, 5>>& errors) {
  if (errors.empty()) return false;
  printer.setDocName(ApplicationTitle());
  printer.setFullPage(true);  // positions count from the paper's corner
  printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
  if (!PaintErrorReport(printer, errors)) {
    printer.abort();
    return false;
  }
  return true;
}

bool PrintErrorReport(QWidget* parent, const std::vector<std::array<std::string, 5>>& errors) {
  if (errors.empty()) return false;
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
  QPrintDialog dialog(&printer, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  bool ok = PrintErrorReportOn(printer, errors);
  QApplication::restoreOverrideCursor();
  return ok;
}

}  // namespace dlvr
