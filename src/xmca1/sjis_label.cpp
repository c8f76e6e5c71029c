#include "sjis_label.h"

#include "files/sjis_text.h"

namespace xmca {

// One converter serves the files, the plot and this dialog, so a label reads the
// same everywhere it is shown.
QString decodeLabel(const std::string& raw) { return QString::fromStdString(sjisToUtf8(raw)); }

std::string encodeLabel(const QString& text, std::size_t maxBytes) {
    return utf8ToSjis(text.toStdString(), maxBytes);
}

}  // namespace xmca
