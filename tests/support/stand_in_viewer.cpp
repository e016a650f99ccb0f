// A stand-in for the photo viewer program in tests. It behaves as the main
// window expects of the viewer: a start-up window titled "FrmTitle", then
// two main windows whose titles begin with "Fotoria XML ビューア", the
// start-up window going away; it ends when a main window is asked to close.
//
// DLVR_STANDIN_MODE=exit makes it end after a moment without any window.
// Every step is appended to the file named by DLVR_STANDIN_LOG.
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

void Log(const std::string& line) {
  const char* path = std::getenv("DLVR_STANDIN_LOG");
  if (!path) return;
  if (FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  }
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* r =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  xcb_atom_t a = r ? r->atom : 0;
  std::free(r);
  return a;
}

xcb_window_t MakeWindow(xcb_connection_t* c, xcb_screen_t* screen, const std::string& title) {
  xcb_window_t w = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, 10, 10, 200, 100, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    screen->root_visual, 0, nullptr);
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, Atom(c, "_NET_WM_NAME"), Atom(c, "UTF8_STRING"), 8,
                      static_cast<uint32_t>(title.size()), title.data());
  xcb_atom_t del = Atom(c, "WM_DELETE_WINDOW");
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, Atom(c, "WM_PROTOCOLS"), XCB_ATOM_ATOM, 32, 1, &del);
  xcb_map_window(c, w);
  xcb_flush(c);
  return w;
}

}  // namespace

int main() {
  using namespace std::chrono;
  Log("started");
  const char* mode = std::getenv("DLVR_STANDIN_MODE");
  if (mode && std::string(mode) == "exit") {
    std::this_thread::sleep_for(milliseconds(700));
    Log("exit");
    return 0;
  }
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) {
    Log("no display");
    return 2;
  }
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const xcb_atom_t protocols = Atom(c, "WM_PROTOCOLS");
  const xcb_atom_t del = Atom(c, "WM_DELETE_WINDOW");
  const auto start = steady_clock::now();
  xcb_window_t title = MakeWindow(c, screen, "FrmTitle");
  Log("title");
  bool mainShown = false, titleGone = false;
  while (steady_clock::now() - start < seconds(30)) {
    const auto elapsed = steady_clock::now() - start;
    if (!mainShown && elapsed > milliseconds(500)) {
      MakeWindow(c, screen, "Fotoria XML ビューア");
      MakeWindow(c, screen, "Fotoria XML ビューア - 写真一覧");
      mainShown = true;
      Log("main");
    }
    if (!titleGone && elapsed > milliseconds(1200)) {
      xcb_destroy_window(c, title);
      xcb_flush(c);
      titleGone = true;
      Log("title gone");
    }
    while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
      const bool close = (e->response_type & 0x7f) == XCB_CLIENT_MESSAGE &&
                         reinterpret_cast<xcb_client_message_event_t*>(e)->type == protocols &&
                         reinterpret_cast<xcb_client_message_event_t*>(e)->data.data32[0] == del;
      std::free(e);
      if (close) {
        Log("closed");
        xcb_disconnect(c);
        return 0;
      }
    }
    if (xcb_connection_has_error(c)) break;
    std::this_thread::sleep_for(milliseconds(20));
  }
  Log("timeout");
  xcb_disconnect(c);
  return 1;
}
