#include "components/legible_color.h"

#include <algorithm>
#include <cmath>

namespace dlvr {

namespace {

double Linear(int channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c) {
  const QColor rgb = c.toRgb();
  return 0.2126 * Linear(rgb.red()) + 0.7152 * Linear(rgb.green()) + 0.0722 * Linear(rgb.blue());
}

constexpr double kReadable = 2.5;
constexpr double kTarget = 4.5;

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool IsDark(const QColor& c) { return Luminance(c) < 0.18; }

QColor LegibleOn(const QColor& text, const QColor& background) {
  if (!text.isValid() || !background.isValid() || ContrastRatio(text, background) >= kReadable) return text;
  const bool lighten = IsDark(background);
  const QColor hsl = text.toHsl();
  // A grey (a palette's text) becomes black or white, as a light or dark
  // palette would have it.
  if (hsl.hslHueF() < 0 || hsl.hslSaturationF() < 0.1f) return lighten ? QColor(Qt::white) : QColor(Qt::black);
  const float hue = hsl.hslHueF(), saturation = hsl.hslSaturationF();
  for (int step = 1; step <= 20; ++step) {
    const float l = lighten ? std::min(1.0f, hsl.lightnessF() + step * 0.05f)
                            : std::max(0.0f, hsl.lightnessF() - step * 0.05f);
    const QColor shade = QColor::fromHslF(hue, saturation, l, hsl.alphaF()).toRgb();
    if (ContrastRatio(shade, background) >= kTarget) return shade;
  }
  return lighten ? QColor(Qt::white) : QColor(Qt::black);
}

}  // namespace dlvr
