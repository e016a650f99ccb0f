// Paths as QString: the core's UTF-8 strings and the sample deliveries' folders.
#pragma once

#include <QString>

#include <string>

#include "support/fixtures.h"

namespace dlvr::test {

inline QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
// The folder of a sample delivery ("clean", "multi/MEDIA1", ...).
inline QString QSample(const std::string& name) { return Q(SamplePath(name)); }

}  // namespace dlvr::test
