#include "cli/gui_app.h"

#include <cstdio>

#include "components/drawing_canvas.h"

namespace dlvr {

std::unique_ptr<QGuiApplication> EnsureGuiApplication() {
  if (QCoreApplication::instance()) return nullptr;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "dlvr";
  static char* argv[] = {name, nullptr};
  // Qt's own notices (fonts, runtime folders) are no business of a script.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
    if (type == QtCriticalMsg || type == QtFatalMsg) fprintf(stderr, "dlvr: %s\n", msg.toLocal8Bit().constData());
  });
  auto app = std::make_unique<QGuiApplication>(argc, argv);
  InstallFontSubstitutions();
  return app;
}

}  // namespace dlvr
