// The application objects of the headless tool. The tool's texts follow the
// language of the environment, which needs an application object before any
// text is made; a GUI one is needed to paint text (PDF reports, drawings).
#pragma once

#include <QGuiApplication>

#include <memory>
#include <string>
#include <vector>

namespace dlvr {

// The GUI application object the headless tool needs to paint text: made on
// the offscreen platform when there is no application object, with Qt's own
// notices kept off the tool's output and the Japanese font substitutions
// installed. Returns nullptr when an application object exists.
std::unique_ptr<QGuiApplication> EnsureGuiApplication();

// The application object for the command line `args` (the command first): a
// GUI one for the commands that paint (render, report, photos --ledger),
// else a plain one.
// The C library's locale stays as it was (numbers are read and written with
// '.' whatever the user's locale).
std::unique_ptr<QCoreApplication> MakeToolApplication(const std::vector<std::string>& args);

}  // namespace dlvr
