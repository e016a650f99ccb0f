#pragma once

#include <QString>

#include <string>

namespace dlvr {

// A UTF-8 string of the core as a Qt string.
inline QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace dlvr
