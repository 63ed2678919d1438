#pragma once

#include "data/Connection.h"

namespace vaskord::data {

inline constexpr char kBaseConnectionString[] =
    "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False";

// The connection module: created before the main window, holds the one
// library connection, closed at start, never asks for a login.
class Tsysset {
public:
    Tsysset() { conDB.setConnectionString(QString::fromLatin1(kBaseConnectionString)); }

    Connection conDB;
};

}  // namespace vaskord::data
