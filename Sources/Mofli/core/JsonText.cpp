#include "JsonText.h"

#include <QStringDecoder>
#include <optional>

namespace JsonText {

namespace {

struct Detected {
    QStringConverter::Encoding encoding;
    qsizetype markLength;
};

std::optional<Detected> detect(const QByteArray& data) {
    const auto at = [&](qsizetype i) {
        return i < data.size() ? quint8(data[i]) : 0xFFu;
    };
    const bool z0 = at(0) == 0, z1 = at(1) == 0, z2 = at(2) == 0, z3 = at(3) == 0;
    // The four-byte marks first: UTF-32LE's begins with UTF-16LE's.
    if (at(0) == 0xFF && at(1) == 0xFE && z2 && z3 && data.size() >= 4) {
        return Detected{QStringConverter::Utf32LE, 4};
    }
    if (z0 && z1 && at(2) == 0xFE && at(3) == 0xFF) {
        return Detected{QStringConverter::Utf32BE, 4};
    }
    if (at(0) == 0xFF && at(1) == 0xFE) {
        return Detected{QStringConverter::Utf16LE, 2};
    }
    if (at(0) == 0xFE && at(1) == 0xFF) {
        return Detected{QStringConverter::Utf16BE, 2};
    }
    if (data.size() >= 4) {
        if (z0 && z1 && z2 && !z3) {
            return Detected{QStringConverter::Utf32BE, 0};
        }
        if (!z0 && z1 && z2 && z3) {
            return Detected{QStringConverter::Utf32LE, 0};
        }
        if (z0 && !z1 && z2 && !z3) {
            return Detected{QStringConverter::Utf16BE, 0};
        }
        if (!z0 && z1 && !z2 && z3) {
            return Detected{QStringConverter::Utf16LE, 0};
        }
    }
    return std::nullopt;
}

} // namespace

QByteArray toUtf8(const QByteArray& data) {
    if (data.startsWith("\xEF\xBB\xBF")) {
        return data.mid(3);
    }
    const std::optional<Detected> detected = detect(data);
    if (!detected) {
        return data;
    }
    // Broken text must stay broken: replacement characters would parse as valid strings. Invalid
    // input comes out as U+0000 instead, which JSON text cannot hold unescaped; lone surrogates
    // pass the decoder and are caught afterwards.
    QStringDecoder decoder(detected->encoding, QStringConverter::Flag::Stateless |
                                                   QStringConverter::Flag::ConvertInvalidToNull);
    const QString text = decoder(QByteArrayView(data).sliced(detected->markLength));
    if (text.contains(QChar::Null) || !text.isValidUtf16()) {
        return {};
    }
    return text.toUtf8();
}

} // namespace JsonText
