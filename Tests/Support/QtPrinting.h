#pragma once

#include <QString>
#include <ostream>

// GoogleTest prints Qt strings that differ as their text rather than as UTF-16 code units.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
