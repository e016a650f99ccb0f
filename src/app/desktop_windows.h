// The desktop's top-level windows: their titles in the window system's order,
// and asking one of them to close. On X11 this is the window manager's client
// list (or, without a window manager, the root window's children) and the
// close request of the window manager (or the window's own delete protocol).
// Elsewhere nothing is listed, and callers fall back to the started process.
#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace dlvr {

struct TDesktopWindow {
  std::uint32_t Id = 0;
  QString Title;
};

class TDesktopWindows {
 public:
  virtual ~TDesktopWindows() = default;
  // False when the window system offers no list of windows.
  virtual bool Available() const = 0;
  // The top-level windows with a title, in the window system's order.
  virtual std::vector<TDesktopWindow> List() = 0;
  // Asks a window to close; does not wait. False when the request could not be sent.
  virtual bool RequestClose(std::uint32_t id) = 0;
};

// A connection to the X display `display` ("" for $DISPLAY); one that is not
// Available() when there is no X server or no X support in this build.
std::unique_ptr<TDesktopWindows> ConnectX11Windows(const QString& display = QString());

// The windows the program works with: the X display of the session unless
// a test installs another (SetDesktopWindows; nullptr restores the default).
TDesktopWindows& DesktopWindows();
void SetDesktopWindows(TDesktopWindows* windows);

// The first window whose title begins with one of `prefixes`; 0 when none.
std::uint32_t FirstWindowWithPrefix(const std::vector<TDesktopWindow>& windows, const QStringList& prefixes);

}  // namespace dlvr
