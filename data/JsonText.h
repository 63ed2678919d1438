#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/Value.h"

namespace vaskord::data {

// The JSON form of field values, appended to a UTF-8 byte buffer. Both ways
// of writing a row use these: from a typed Value (the form every other
// reader of the table sees) and straight from the row's bytes, so that the
// two cannot drift apart.
//
//   NULL        null
//   Yes/No      true / false
//   whole       decimal digits
//   other number  the shortest text that reads back as the same double;
//               null when not finite (JSON has no NaN or infinity)
//   Date/Time   "yyyy-MM-ddTHH:mm:ss", milliseconds cut off; a year before 1
//               as Qt numbers it (1 BC is "-0001"); null when out of range
//   text        a JSON string: " \ and control characters escaped, the rest
//               as UTF-8; a lone surrogate becomes "?", as QString::toUtf8
//               makes it

void appendJsonString(std::string& out, std::u16string_view text);
void appendJsonWhole(std::string& out, std::int64_t number);
void appendJsonNumber(std::string& out, double number);
// A date as the reader's linear day count (linearDate); false, and nothing
// written, when the count is no date (dateFromLinear gives an invalid one).
bool appendJsonDate(std::string& out, double linear);

// The JSON form of a typed field value.
void appendJsonValue(std::string& out, const Value& value);

}  // namespace vaskord::data
