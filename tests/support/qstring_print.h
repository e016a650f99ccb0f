#pragma once

#include <QString>

#include <ostream>

// Qt strings in a failing expectation's message, as UTF-8 in quotes.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
