// Paths as the Qt side of the program takes them: the UTF-8 strings of the
// core as QString, and the sample deliveries' folders.
#pragma once

#include <QString>

#include <string>

#include "support/fixtures.h"

namespace dlvr::test {

inline QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

// The folder of a sample delivery ("clean", "multi/MEDIA1", ...).
inline QString QSample(const std::string& name) { return QString::fromStdString(SamplePath(name)); }

}  // namespace dlvr::test
