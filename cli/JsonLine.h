#pragma once

#include <QList>
#include <QString>
#include <string>
#include <utility>

#include "data/Value.h"

namespace vaskord::cli {

using JsonField = std::pair<QString, data::Value>;

// One JSON object on one line, UTF-8, with the keys in the order given,
// appended to `out`. QJsonObject would sort the keys; scripts reading a
// select expect its order. Values take the forms of data/JsonText.h.
void appendJsonLine(std::string& out, const QList<JsonField>& fields);

}  // namespace vaskord::cli
