#include "cli/gui_app.h"

#include <algorithm>
#include <clocale>
#include <cstdio>

#include "components/drawing_canvas.h"

namespace dlvr {
namespace {

int g_argc = 1;
char g_name[] = "dlvr";
char* g_argv[] = {g_name, nullptr};

// Qt's own notices (fonts, runtime folders) are no business of a script.
void InstallMessageHandler() {
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
    if (type == QtCriticalMsg || type == QtFatalMsg) fprintf(stderr, "dlvr: %s\n", msg.toLocal8Bit().constData());
  });
}

}  // namespace

std::unique_ptr<QGuiApplication> EnsureGuiApplication() {
  if (QCoreApplication::instance()) return nullptr;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  InstallMessageHandler();
  auto app = std::make_unique<QGuiApplication>(g_argc, g_argv);
  InstallFontSubstitutions();
  return app;
}

std::unique_ptr<QCoreApplication> MakeToolApplication(const std::vector<std::string>& args) {
  // Qt sets the C library's locale from the environment.
  const char* current = std::setlocale(LC_ALL, nullptr);
  const std::string locale = current ? current : "C";
  std::unique_ptr<QCoreApplication> app;
  // The command, after a "--" that may stand before it.
  const std::size_t at = !args.empty() && args[0] == "--" ? 1 : 0;
  const std::string command = at < args.size() ? args[at] : std::string();
  // The photo ledger paints too.
  const bool ledger = command == "photos" && std::any_of(args.begin() + static_cast<std::ptrdiff_t>(at), args.end(),
                                                         [](const std::string& a) { return a.rfind("--ledger", 0) == 0; });
  if (command == "render" || command == "report" || ledger) {
    app = EnsureGuiApplication();
  } else if (!QCoreApplication::instance()) {
    InstallMessageHandler();
    app = std::make_unique<QCoreApplication>(g_argc, g_argv);
  }
  std::setlocale(LC_ALL, locale.c_str());
  return app;
}

}  // namespace dlvr
