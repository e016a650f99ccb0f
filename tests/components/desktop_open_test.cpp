// Which application the desktop has for a file's type: defaults the user
// or the system chose, applications that declare the type, types derived
// from others, entries that are not installed.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QUrl>

#include <filesystem>
#include <map>
#include <string>

#include "components/desktop_open.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

// The XDG folders pointed at a scratch folder while the object lives.
class ScratchDesktop {
 public:
  ScratchDesktop() {
    for (const char* v : {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS"}) saved_[v] = qgetenv(v);
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(d_ / "config"));
    qputenv("XDG_CONFIG_DIRS", QByteArray::fromStdString(d_ / "etc"));
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(d_ / "home"));
    qputenv("XDG_DATA_DIRS", QByteArray::fromStdString(d_ / "usr"));
    d_.MakeDir("usr/applications");
    // The MIME database stays the system's: it is found through the same
    // data folders.
    std::filesystem::create_directory_symlink("/usr/share/mime", d_ / "usr/mime");
  }
  ~ScratchDesktop() {
    for (const auto& [name, value] : saved_) qputenv(name.c_str(), value);
  }
  void Write(const std::string& relative, const std::string& text) const { d_.WriteBytes(relative, text); }
  std::string Path(const std::string& relative) const { return d_ / relative; }

 private:
  test::ScratchDir d_;
  std::map<std::string, QByteArray> saved_;
};

std::string Entry(const std::string& types) {
  return "[Desktop Entry]\nType=Application\nName=X\nExec=x %f\nMimeType=" + types + "\n";
}

TEST(DesktopOpen, AnApplicationIsFoundOnlyWhereTheDesktopRegisteredOne) {
  const struct {
    const char* Case;
    std::map<std::string, std::string> Files;
    const char* Type;
    const char* Handler;
  } cases[] = {
      {"nothing installed", {}, "application/pdf", ""},
      {"an entry declares the type", {{"usr/applications/viewer.desktop", Entry("image/png;application/pdf;")}},
       "application/pdf", "viewer.desktop"},
      {"the user's own entries count", {{"home/applications/mine.desktop", Entry("application/pdf;")}},
       "application/pdf", "mine.desktop"},
      {"an entry for another type only", {{"usr/applications/viewer.desktop", Entry("image/png;")}},
       "application/pdf", ""},
      {"the cache names an installed entry",
       {{"usr/applications/mimeinfo.cache", "[MIME Cache]\napplication/pdf=cached.desktop;\n"},
        {"usr/applications/cached.desktop", "[Desktop Entry]\nType=Application\n"}},
       "application/pdf", "cached.desktop"},
      {"a default whose entry is gone", {{"config/mimeapps.list", "[Default Applications]\napplication/pdf=gone.desktop\n"}},
       "application/pdf", ""},
      {"the user's default before the declared one",
       {{"config/mimeapps.list", "[Default Applications]\napplication/pdf=chosen.desktop;\n"},
        {"usr/applications/chosen.desktop", "[Desktop Entry]\nType=Application\n"},
        {"usr/applications/other.desktop", Entry("application/pdf;")}},
       "application/pdf", "chosen.desktop"},
      {"a text editor opens a CSV file", {{"usr/applications/editor.desktop", Entry("text/plain;")}}, "text/csv",
       "editor.desktop"},
      {"raw data is no application for a type",
       {{"usr/applications/hex.desktop", Entry("application/octet-stream;")}}, "application/x-sfc-unknown", ""},
  };
  for (const auto& c : cases) {
    ScratchDesktop desktop;
    for (const auto& [path, text] : c.Files) desktop.Write(path, text);
    EXPECT_EQ(DesktopHandlerFor(QString::fromLatin1(c.Type)).toStdString(), c.Handler) << c.Case;
  }
}

TEST(DesktopOpen, AFileWithoutAnApplicationIsNotHandedToTheDesktop) {
  ScratchDesktop desktop;
  desktop.Write("data/drawing.sfc", "ISO-10303-21;\n");
  EXPECT_FALSE(OpenWithDesktop(QUrl::fromLocalFile(QString::fromStdString(desktop.Path("data/drawing.sfc")))));
}

}  // namespace
}  // namespace dlvr
