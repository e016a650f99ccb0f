// Journeys through the XML view: a class item shows its own management file
// or its own message, never the file the item selected before it showed.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>

#include "app/main_window.h"
#include "components/preview_view.h"
#include "panes/xml_pane.h"
#include "support/journey.h"

namespace dlvr {
namespace {

class JourneyXmlView : public ::testing::TestWithParam<test::JourneyLanguage> {};

// Whether any text view in the window shows text now.
bool SourceTextShown(const TfrmMain& w) {
  for (const QPlainTextEdit* e : w.findChildren<QPlainTextEdit*>())
    if (e->isVisible() && !e->toPlainText().isEmpty()) return true;
  return false;
}

// In each style, after the ordering drawings' DRAWINGS.XML is shown, the
// special specifications item leaves the pane area empty, and the photo
// item shows its message alone: no preview and no source text of the
// drawings file is left in view; typing the drawings item again shows it.
TEST_P(JourneyXmlView, ThePhotoAndSpecificationItemsNeverShowAnotherClassFile) {
  test::TJourney j(GetParam().Lang);
  TfrmMain& w = j.Open({test::QSample("clean")});
  const QString photoMessage =
      QCoreApplication::translate("TfrmXML", "写真と写真管理情報は「写真閲覧」でご確認ください。");
  for (const char* style : {"rbtStyle", "rbtXMLSource", "rbtPureSource"}) {
    SCOPED_TRACE(style);
    j.Click({QStringLiteral("発注図面")});
    auto* button = w.findChild<QRadioButton*>(QString::fromLatin1(style));
    ASSERT_TRUE(button && button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(j.Settle());
    const bool source = std::string(style) == "rbtPureSource";
    ASSERT_TRUE(source ? SourceTextShown(w) : j.VisiblePreview() != nullptr);

    j.Click({QStringLiteral("発注図面"), QStringLiteral("特記仕様書")});
    EXPECT_EQ(w.VisiblePane(), nullptr);
    EXPECT_EQ(j.VisiblePreview(), nullptr);
    EXPECT_FALSE(SourceTextShown(w));

    j.Click({QStringLiteral("写真")});
    EXPECT_EQ(w.VisiblePane(), w.pnlXML);
    EXPECT_EQ(j.VisiblePreview(), nullptr);
    EXPECT_FALSE(SourceTextShown(w));
    auto* message = w.pnlXML->findChild<QLabel*>(QStringLiteral("pnlMsg"));
    ASSERT_TRUE(message);
    EXPECT_TRUE(message->isVisible());
    EXPECT_EQ(message->text(), photoMessage);
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, JourneyXmlView, ::testing::Values(test::kJourneyJapanese, test::kJourneyEnglish),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace dlvr
