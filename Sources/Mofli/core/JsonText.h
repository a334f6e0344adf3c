#pragma once

#include <QByteArray>

// JSON files may come in any Unicode encoding: editors on some systems save UTF-16 with a
// byte-order mark. Qt's parser reads only UTF-8, so everything else is converted first.
namespace JsonText {

// The text as UTF-8 without a byte-order mark. The encoding is taken from the byte-order mark,
// else from the pattern of zero bytes in the first four bytes (JSON text starts with an ASCII
// character); anything else is taken as UTF-8 and returned unchanged.
QByteArray toUtf8(const QByteArray& data);

} // namespace JsonText
