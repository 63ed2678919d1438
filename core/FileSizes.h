#pragma once

#include <QString>
#include <QtGlobal>

namespace vaskord {

// The bytes a listed song file holds, as the lookup saw it (a link counts as
// its target), or -1 when no file is there any more.
qint64 songFileSize(const QString& path);

// An amount of disk space as operators read it: "512 B", "1.5 KB", "3.2 GB".
// Units step by 1024, with one decimal once past bytes.
QString sizeText(qint64 bytes);

// A count with a comma between groups of three digits, whatever the locale.
QString groupedNumber(qint64 number);

// The totals under a listing and under a deletion; only files actually
// removed count towards the space freed.
QString listedTotal(qint64 files, qint64 bytes);
QString freedTotal(qint64 bytes);

}  // namespace vaskord
