#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <utility>

#include "data/Value.h"

namespace vaskord::cli {

using JsonField = std::pair<QString, data::Value>;

// One JSON object on one line, UTF-8, with the keys in the order given.
// QJsonObject would sort the keys; scripts reading a select expect its order.
// Numbers are JSON numbers (a non-finite one is null), dates
// "yyyy-MM-ddTHH:mm:ss", Yes/No true/false, NULL null.
QByteArray jsonLine(const QList<JsonField>& fields);

}  // namespace vaskord::cli
