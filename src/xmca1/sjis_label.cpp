#include "sjis_label.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

namespace xmca {

QString decodeLabel(const std::string& raw) {
    const auto n = std::find(raw.begin(), raw.end(), '\0') - raw.begin();
    // The decoder holds a lead byte that ends the text back, waiting for its
    // partner; such a cut-off character is shown as a replacement instead.
    qsizetype whole = 0;
    bool cut = false;
    while (whole < n) {
        const auto b = static_cast<unsigned char>(raw[static_cast<std::size_t>(whole)]);
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        if (lead && whole + 1 >= n) {
            cut = true;
            break;
        }
        whole += lead ? 2 : 1;
    }
    QStringDecoder dec("Shift_JIS", QStringConverter::Flag::Stateless);
    if (!dec.isValid()) return QString::fromLatin1(raw.data(), n);
    QString text = dec.decode(QByteArrayView(raw.data(), whole));
    if (cut) text += QChar(QChar::ReplacementCharacter);
    return text;
}

std::string encodeLabel(const QString& text, std::size_t maxBytes) {
    std::string out;
    // One code point at a time, so that a character the codec cannot encode turns
    // into '?' instead of its replacement bytes (which would read as a lead byte),
    // and the cut at maxBytes falls between whole characters.
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len = (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2 : 1;
        const QStringView cp = QStringView(text).mid(i, len);
        i += len;
        const char16_t u = cp[0].unicode();
        if (u == 0) break;
        std::string bytes;
        if (u < 0x80) {
            bytes.assign(1, static_cast<char>(u));
        } else {
            QStringEncoder enc("Shift_JIS", QStringConverter::Flag::Stateless);
            const QByteArray b = enc.isValid() ? QByteArray(enc.encode(cp)) : QByteArray();
            if (enc.isValid() && !enc.hasError() && !b.isEmpty() && b.size() <= 2)
                bytes.assign(b.constData(), static_cast<std::size_t>(b.size()));
            else
                bytes = "?";
        }
        if (out.size() + bytes.size() > maxBytes) break;
        out += bytes;
    }
    return out;
}

}  // namespace xmca
