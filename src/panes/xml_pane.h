// The XML view pane: a class's management file rendered with its
// stylesheet, as an element tree, or as plain source text that the main
// window's find dialog searches.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <functional>
#include <string>

#include "components/ext_registry.h"
#include "components/preview_view.h"
#include "panes/pane.h"

namespace dlvr {

class TfrmXML : public TPane {
  Q_OBJECT
 public:
  // How long the browser may take to show a file before control returns.
  static constexpr int kWaitMs = 2000;

  explicit TfrmXML(TViewerModel& model, QWidget* parent = nullptr);
  ~TfrmXML() override;

  void ShowNode(TTreeItem* item) override;
  void Refresh() override { ShowNode(current_); }

  // 0 stylesheet, 1 XML code, 2 source code.
  int ViewStyle() const;
  // The source-code option is shown and chosen (the find dialog may search).
  bool PureSourceChosen() const { return !rbtPureSource->isHidden() && rbtPureSource->isChecked(); }
  // Searches the source text from the selection and selects the match;
  // tells the user when there is none. Returns whether a match was found.
  bool FindInSource(const QString& text, bool down, bool matchCase);
  // The message shown instead of the content ("" when none).
  QString Message() const { return pnlMsg->isHidden() ? QString() : pnlMsg->text(); }

  // Set by the main window.
  // Whether the main window's photo viewer command is enabled.
  std::function<bool()> PhotoViewerAvailable;
  // Whether that command starts the photo viewer program (unset: it does).
  // Without the program, the command opens the viewer's own photo window,
  // which the pane offers with a button instead of a question.
  std::function<bool()> ExternalPhotoViewer;
  // Runs the main window's photo viewer command.
  std::function<void()> OnStartPhotoViewer;
  // After a style button click that leaves a style other than source code
  // chosen: the main window closes its find dialog (keeping its state).
  std::function<void()> OnLeaveSource;

  QFrame* pnlTop = nullptr;
  QRadioButton* rbtStyle = nullptr;
  QRadioButton* rbtXMLSource = nullptr;
  QRadioButton* rbtPureSource = nullptr;
  QToolButton* sbtSaveAs = nullptr;
  QFrame* pnlC = nullptr;
  TPreviewView* webBrowser = nullptr;
  QPlainTextEdit* memSource = nullptr;
  QLabel* pnlMsg = nullptr;
  // On the message panel of the photo class, without the program.
  QPushButton* btnPhotoView = nullptr;

 private:
  void StyleClick();
  void ShowMessage(const QString& text);
  // The missing-file message for a path.
  void ShowMissing(const std::string& path);

  TExtRegistry ExRg{QStringLiteral("frmXML")};
};

}  // namespace dlvr
