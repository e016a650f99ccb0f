// Text colours against cell and note backgrounds: the light palette's pairs
// stay as designed, unreadable pairs (a dark palette's light text on a light
// cell) turn readable and keep their hue.
#include <gtest/gtest.h>

#include <QColor>

#include "components/legible_color.h"

namespace dlvr {
namespace {

TEST(LegibleOn, KeepsReadablePairsAndMendsUnreadableOnes) {
  const QColor white(Qt::white), black(Qt::black);
  const QColor darkBase(0x1e, 0x1e, 0x1e), lightText(0xe6, 0xe6, 0xe6);
  const QColor labelYellow(255, 255, 192), requiredRed(255, 85, 85), conditionalBlue(136, 136, 255);
  struct Row {
    const char* name;
    QColor text, background;
    bool kept;
  } rows[] = {
      {"black on white", black, white, true},
      {"white on the required-empty red", white, requiredRed, true},
      {"white on the conditional-empty blue", white, conditionalBlue, true},
      {"error red on a light base", QColor(0xC0, 0, 0), white, true},
      {"dark palette text on the label yellow", lightText, labelYellow, false},
      {"dark palette text on a white note", lightText, QColor(0xff, 0xff, 0xe1), false},
      {"black on a dark base", black, darkBase, false},
      {"deep red on a dark base", QColor(0x80, 0, 0), darkBase, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const QColor got = LegibleOn(r.text, r.background);
    if (r.kept) {
      EXPECT_EQ(got, r.text);
      continue;
    }
    EXPECT_GE(ContrastRatio(got, r.background), 4.5);
    if (r.text.toHsl().hslSaturationF() > 0.5 && got.toHsl().hslSaturationF() > 0.1) {
      const int hueDiff = std::abs(got.toHsl().hslHue() - r.text.toHsl().hslHue());
      EXPECT_LE(std::min(hueDiff, 360 - hueDiff), 2) << "the hue is kept";
    }
  }
  EXPECT_EQ(LegibleOn(lightText, labelYellow), black) << "a palette's grey text turns black on a light cell";
  EXPECT_EQ(LegibleOn(QColor(0x30, 0x30, 0x30), darkBase), white);
  EXPECT_FALSE(LegibleOn(QColor(), white).isValid());
}

}  // namespace
}  // namespace dlvr
