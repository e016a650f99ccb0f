#include "app/desktop_windows.h"

#include <QStringList>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#ifdef DLVR_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace dlvr {

namespace {

class TNoWindows final : public TDesktopWindows {
 public:
  bool Available() const override { return false; }
  std::vector<TDesktopWindow> List() override { return {}; }
  bool RequestClose(std::uint32_t) override { return false; }
};

#ifdef DLVR_HAVE_XCB
class TX11Windows final : public TDesktopWindows {
 public:
  explicit TX11Windows(const QString& display) {
    const QByteArray name = display.toLocal8Bit();
    if (display.isEmpty() && !std::getenv("DISPLAY")) return;
    int screenNumber = 0;
    conn_ = xcb_connect(display.isEmpty() ? nullptr : name.constData(), &screenNumber);
    if (xcb_connection_has_error(conn_)) {
      xcb_disconnect(conn_);
      conn_ = nullptr;
      return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn_));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    if (!it.rem) {
      xcb_disconnect(conn_);
      conn_ = nullptr;
      return;
    }
    root_ = it.data->root;
  }
  ~TX11Windows() override {
    if (conn_) xcb_disconnect(conn_);
  }

  bool Available() const override { return conn_ != nullptr; }

  std::vector<TDesktopWindow> List() override {
    std::vector<TDesktopWindow> result;
    if (!conn_) return result;
    std::vector<xcb_window_t> ids = WindowProperty(root_, Atom("_NET_CLIENT_LIST"));
    if (ids.empty()) ids = RootChildren();
    for (xcb_window_t id : ids) {
      QString title = Title(id);
      if (!title.isEmpty()) result.push_back({id, title});
    }
    return result;
  }

  bool RequestClose(std::uint32_t id) override {
    if (!conn_ || !id) return false;
    xcb_client_message_event_t ev;
    std::memset(&ev, 0, sizeof ev);
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = id;
    const xcb_atom_t netClose = Atom("_NET_CLOSE_WINDOW");
    const std::vector<xcb_window_t> supported = WindowProperty(root_, Atom("_NET_SUPPORTED"), XCB_ATOM_ATOM);
    xcb_void_cookie_t cookie;
    if (std::find(supported.begin(), supported.end(), netClose) != supported.end()) {
      // The window manager closes it as if its close button were pressed.
      ev.type = netClose;
      ev.data.data32[0] = XCB_CURRENT_TIME;
      ev.data.data32[1] = 2;  // source: a pager or other tool
      cookie = xcb_send_event_checked(conn_, 0, root_,
                                      XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                                      reinterpret_cast<const char*>(&ev));
    } else {
      // No window manager: the window's own delete protocol.
      ev.type = Atom("WM_PROTOCOLS");
      ev.data.data32[0] = Atom("WM_DELETE_WINDOW");
      ev.data.data32[1] = XCB_CURRENT_TIME;
      cookie = xcb_send_event_checked(conn_, 0, id, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
    }
    xcb_generic_error_t* error = xcb_request_check(conn_, cookie);
    std::free(error);
    xcb_flush(conn_);
    return error == nullptr;
  }

 private:
  xcb_atom_t Atom(const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(conn_, xcb_intern_atom(conn_, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
  }

  std::vector<xcb_window_t> WindowProperty(xcb_window_t w, xcb_atom_t prop, xcb_atom_t type = XCB_ATOM_WINDOW) {
    std::vector<xcb_window_t> out;
    if (prop == XCB_ATOM_NONE) return out;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(conn_, xcb_get_property(conn_, 0, w, prop, type, 0, 65536), nullptr);
    if (reply && reply->format == 32) {
      const auto* data = static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
      out.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return out;
  }

  std::vector<xcb_window_t> RootChildren() {
    std::vector<xcb_window_t> out;
    xcb_query_tree_reply_t* reply = xcb_query_tree_reply(conn_, xcb_query_tree(conn_, root_), nullptr);
    if (reply) {
      const xcb_window_t* c = xcb_query_tree_children(reply);
      // The tree lists bottom to top; the list starts with the topmost.
      out.assign(c, c + xcb_query_tree_children_length(reply));
      std::reverse(out.begin(), out.end());
    }
    std::free(reply);
    return out;
  }

  QString Text(xcb_window_t w, xcb_atom_t prop, xcb_atom_t type, bool utf8) {
    QString text;
    if (prop == XCB_ATOM_NONE) return text;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(conn_, xcb_get_property(conn_, 0, w, prop, type, 0, 4096), nullptr);
    if (reply && reply->format == 8) {
      const char* data = static_cast<const char*>(xcb_get_property_value(reply));
      const int n = xcb_get_property_value_length(reply);
      text = utf8 ? QString::fromUtf8(data, n) : QString::fromLatin1(data, n);
    }
    std::free(reply);
    return text;
  }

  QString Title(xcb_window_t w) {
    QString title = Text(w, Atom("_NET_WM_NAME"), Atom("UTF8_STRING"), true);
    if (title.isEmpty()) title = Text(w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, false);
    return title;
  }

  xcb_connection_t* conn_ = nullptr;
  xcb_window_t root_ = 0;
};
#endif

TDesktopWindows*& Installed() {
  static TDesktopWindows* installed = nullptr;
  return installed;
}

}  // namespace

std::unique_ptr<TDesktopWindows> ConnectX11Windows(const QString& display) {
#ifdef DLVR_HAVE_XCB
  auto x11 = std::make_unique<TX11Windows>(display);
  if (x11->Available()) return x11;
#else
  (void)display;
#endif
  return std::make_unique<TNoWindows>();
}

TDesktopWindows& DesktopWindows() {
  if (Installed()) return *Installed();
  static std::unique_ptr<TDesktopWindows> session = ConnectX11Windows();
  return *session;
}

void SetDesktopWindows(TDesktopWindows* windows) { Installed() = windows; }

std::uint32_t FirstWindowWithPrefix(const std::vector<TDesktopWindow>& windows, const QStringList& prefixes) {
  for (const TDesktopWindow& w : windows)
    for (const QString& p : prefixes)
      if (w.Title.startsWith(p)) return w.Id;
  return 0;
}

}  // namespace dlvr
