#include "components/drawing_renderer.h"

#include <QCoreApplication>
#include <QToolButton>

#include "components/drawing_view.h"

namespace dlvr {
namespace {

// The name under which the paper's colour carries to the next drawing.
const QString kBlackPaperChoice = QStringLiteral("drawing/black");

class TDrawingRenderer : public TPreviewRenderer {
 public:
  using TPreviewRenderer::TPreviewRenderer;
  QString Kind() const override { return shown_ ? QStringLiteral("drawing") : QStringLiteral("blank"); }

  bool Start() override {
    Host().SetNote(QCoreApplication::translate("TPreviewView", "%1 を読み込んでいます…").arg(File().OriginName()));
    Host().Present(nullptr);
    view_ = Own(new TDrawingView);
    Host().Place(view_);
    view_->SetBlackBackground(Host().Carried(kBlackPaperChoice).toBool());
    connect(view_, &TDrawingView::Loaded, this, [this](const QString& file) { Loaded(file); });
    view_->SetDeliveryFolders(File().SandboxFolders);
    view_->Open(File().Path, File().Origin);
    return false;
  }

  void Cancel() override {
    if (view_) {
      // Carried now: a cancelled renderer no longer talks to its host.
      if (auto* black = view_->findChild<QToolButton*>(QStringLiteral("btnDrawingBlack")))
        Host().Carry(kBlackPaperChoice, black->isChecked());
      disconnect(view_, nullptr, this, nullptr);
      view_->SetDrawing(nullptr);
    }
    TPreviewRenderer::Cancel();
  }

 private:
  void Loaded(const QString& file) {
    if (!Live() || file != File().Path) return;
    Host().SetNote(QString());
    if (view_->Scene()) {
      shown_ = true;
      // The drawing view tells a drawing's problem in its own note, above
      // the sheet; a second one here would say it twice.
      rendered_ = view_->Problem();
      Host().Present(view_);
    } else {
      // Not a drawing after all: its facts and the reason.
      Host().ShowFacts(view_->Problem());
    }
    Host().Completed();
  }

  TDrawingView* view_ = nullptr;
  bool shown_ = false;
};

}  // namespace

std::unique_ptr<TPreviewRenderer> MakeDrawingRenderer(TPreviewHost& host, const TPreviewFile& file,
                                                      const TPreviewSniff& sniff) {
  if (!sniff.Markup.startsWith("iso-10303-21")) return nullptr;
  return std::make_unique<TDrawingRenderer>(host, file);
}

}  // namespace dlvr
