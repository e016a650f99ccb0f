// Journeys: the real main window on a delivery, driven with the mouse and
// the keys as a person drives it, and what it then shows. A journey test
// builds a TJourney, opens folders, clicks tree items by their captions and
// checks the visible result (a preview's pixels, a label's text, the window
// with the focus, a modal box).
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>
#include <ostream>

#include "i18n/ui_language.h"
#include "support/fixtures.h"
#include "support/qt_paths.h"

class QWidget;

namespace dlvr {

class TfrmMain;
class TPreviewView;
class TTreeItem;

namespace test {

// The language a journey runs in, for parameterised journey suites.
struct JourneyLanguage {
  UiLanguage Lang;
  const char* Name;
};
inline std::ostream& operator<<(std::ostream& os, const JourneyLanguage& l) { return os << l.Name; }
inline const JourneyLanguage kJourneyJapanese{UiLanguage::Japanese, "Japanese"};
inline const JourneyLanguage kJourneyEnglish{UiLanguage::English, "English"};

class TJourney {
 public:
  // The program's texts in `lang` while the journey lasts; every drive is a
  // fixed disk unless a test overrides it; messages go to `Prompts`
  // (answered Ok unless scripted).
  explicit TJourney(UiLanguage lang = UiLanguage::Japanese);
  ~TJourney();
  TJourney(const TJourney&) = delete;
  TJourney& operator=(const TJourney&) = delete;

  // Starts the main window as the command line would with these folders
  // (the first the delivery, the others further media), shows it at
  // 1200 x 800 and waits for the first load.
  TfrmMain& Open(const QStringList& folders);
  TfrmMain& Window() const { return *window_; }

  // The tree item reached from the root by captions, one per level below
  // the root, each matched in full or, failing that, as the caption's start
  // ("施工計画書", "P001_01"); null when a step finds nothing.
  TTreeItem* Item(const QStringList& captions) const;
  // Clicks the item's row in the tree with the mouse (its ancestors
  // expanded and the row scrolled into view first), then waits until the
  // previews are done.
  void Click(TTreeItem* item);
  void Click(const QStringList& captions);
  // A key pressed on whatever widget has the keyboard focus (the tree when
  // none), then the previews waited for.
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  // Waits until no visible preview is busy (at most `ms`); false on time-out.
  bool Settle(int ms = 10000);

  // The preview of the pane shown now (files, drawing or XML pane), null
  // when the pane shown has none or it is hidden.
  TPreviewView* VisiblePreview() const;
  // What a widget shows on the screen, at device pixels (of a scroll area,
  // its viewport).
  static QImage Grab(QWidget* widget);
  // With DLVR_JOURNEY_SHOTS set to a folder, saves the main window as it
  // looks now there as `name`.png, for a person to look at.
  void Shot(const QString& name) const;

  ScriptedPrompts Prompts;

 private:
  std::unique_ptr<TfrmMain> window_;
  UiLanguage lang_;
};

// The first page of a PDF file rendered on its own (a fresh document), at
// `width` pixels wide; a null image when it cannot be read.
QImage RenderPdfPage(const QString& path, int page, int width);

// How alike the page a screen grab shows is to a page rendered on its own:
// the grab cropped to its white page, read from the page's top left corner
// (the view may cut it at the right or bottom), aligned at the page width
// that fits best; the share (0..1) of the ink of either that the other has
// within a pixel, so that two forms alike but for their text differ.
double ImageLikeness(const QImage& a, const QImage& b);

// How alike the page a screen grab shows (a PDF view fitting the page's
// width) is to page `page` (0-based) of the PDF file `path`, rendered anew
// at the size it has on the screen: the share (0..1) of the ink of either
// that the other has within a pixel. The same page gives nearly 1; another
// page of the same form well below.
double PdfPageLikeness(const QImage& shown, const QString& path, int page);

// Clicks the item's row as TJourney::Click does, but lets the window go on
// for `ms` only: a user clicking on before what was clicked is shown.
void ClickInPassing(TJourney& journey, const QStringList& captions, int ms = 10);

}  // namespace test
}  // namespace dlvr
