#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <optional>

namespace vaskord {

// The locale's short date format with the year in four digits. Many locales
// write a two-digit year there ("M/d/yy"), which loses the century: a date
// shown that way and read back lands in another century.
QString shortDateFormat(const QLocale& locale);

// The date an operator typed: the locale's short date order with a two- or
// four-digit year and with one- or two-digit day and month, the locale's long
// format, or the year first (2015-1-2, 2015/1/2). A two-digit year stands for
// 1950 to 2049. A null date for an empty or blank text; std::nullopt when the
// text is no date.
std::optional<QDate> readTypedDate(const QString& text, const QLocale& locale);

}  // namespace vaskord
