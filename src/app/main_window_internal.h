// What the parts of the main window share: its settings' section, the
// photo viewer's settings and window titles, texts said by more than one
// part, the toolbar's logo.
#pragma once

#include <QColor>
#include <QCoreApplication>
#include <QPixmap>
#include <QString>
#include <QStringList>

#include <string>

#include "app/find_dialog.h"
#include "app/main_window.h"
#include "components/ext_registry.h"

namespace dlvr::main_window_detail {

// A delivery check that ends within this time shows no progress dialog.
inline constexpr int kDeliveryCheckQuietMs = 400;

inline const char* const kChangedMessage =
    QT_TRANSLATE_NOOP("TfrmMain", "メディアまたは、ファイルが変更されました。\n\r\n\r更新(F5)を行ってください。");
inline const char* const kChangedStatus =
    QT_TRANSLATE_NOOP("TfrmMain", "メディアまたは、ファイルが変更されました。更新(F5)を行ってください。");

// The item selected when the program restarted itself, as its path from
// the root (JSON), read once by the next start.
inline const QString kRestartItemKey = QStringLiteral("RestartItem");

inline std::string S(const QString& s) { return s.toStdString(); }

// Settings of the main window: Software\Tavrin\<program>\frmMain.
inline TExtRegistry ExRg() { return TExtRegistry("frmMain"); }

// The photo viewer's own settings: Software\Tavrin\<section>.
inline const char* const kViewerInstallKey = "QLNXMLVIEWER";
inline const char* const kViewerStartKey = "QLNXMLViewer\\FrmViewer";
inline TExtRegistry ViewerRegistry(const QString& section) {
  TExtRegistry r;
  r.UseAppName = false;
  r.SetSection(section);
  return r;
}

// Titles of the photo viewer's windows.
inline const QStringList kViewerTitles = {QStringLiteral("Fotoria XML ビューア"), QStringLiteral("Snapwell XML ビューア")};
inline const QString kViewerStartTitle = QStringLiteral("FrmTitle");

// The program's logo for the toolbar: a blue document with a folded corner
// and a tick, beside the program's name, `height` pixels high, drawn for
// the device pixel ratio `ratio` on a toolbar of colour `background`.
QPixmap PaintLogo(int height, qreal ratio, const QColor& background);

}  // namespace dlvr::main_window_detail

namespace dlvr {

// The find dialog's state while it is hidden.
struct TfrmMain::SavedFind {
  TFindDialog::State State;
};

}  // namespace dlvr
