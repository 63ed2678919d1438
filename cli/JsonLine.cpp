#include "cli/JsonLine.h"

#include "data/JsonText.h"

namespace vaskord::cli {

void appendJsonLine(std::string& out, const QList<JsonField>& fields) {
    out += '{';
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        const QString& key = fields[i].first;
        data::appendJsonString(
            out, {reinterpret_cast<const char16_t*>(key.utf16()), std::size_t(key.size())});
        out += ':';
        data::appendJsonValue(out, fields[i].second);
    }
    out += "}\n";
}

}  // namespace vaskord::cli
