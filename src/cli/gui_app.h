// The GUI application object the headless tool needs to paint text (PDF
// reports, drawings): made on the offscreen platform when there is none,
// with Qt's own notices kept off the tool's output and the Japanese font
// substitutions installed. Returns nullptr when an application exists.
#pragma once

#include <QGuiApplication>

#include <memory>

namespace dlvr {

std::unique_ptr<QGuiApplication> EnsureGuiApplication();

}  // namespace dlvr
