// Conversion between the station's UTF-8 and the legacy code page 949 (Unified Hangul Code).
// "windows-949" names the Windows code page; other names for Korean either lack the UHC-only
// syllables or decode them wrongly without an error.
#include <QStringDecoder>
#include <QStringEncoder>

#include "toolkit/toolkit.h"

namespace {
constexpr const char* LEGACY_CODE_PAGE = "windows-949";
}

bool ToLegacyText(const char* utf8, std::string* out) {
    out->clear();
    QStringEncoder encoder(LEGACY_CODE_PAGE, QStringConverter::Flag::Stateless);
    if (!encoder.isValid()) {
        return false;
    }
    const QString text = QString::fromUtf8(utf8);
    if (text.toUtf8() != QByteArray(utf8)) {
        return false;  // not valid UTF-8
    }
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError()) {
        return false;
    }
    out->assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return true;
}

bool FromLegacyText(const char* legacy, std::string* out) {
    out->clear();
    QStringDecoder decoder(LEGACY_CODE_PAGE, QStringConverter::Flag::Stateless);
    if (!decoder.isValid()) {
        return false;
    }
    const QByteArray bytes_in(legacy);
    const QString text = decoder.decode(bytes_in);
    if (decoder.hasError() || text.contains(QChar::ReplacementCharacter)) {
        return false;
    }
    // The decoder drops a cut-off double-byte character without an error: only text that
    // encodes back to the same bytes was read whole.
    QStringEncoder encoder(LEGACY_CODE_PAGE, QStringConverter::Flag::Stateless);
    if (encoder.encode(text) != bytes_in) {
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    out->assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return true;
}
