#include "core/DateText.h"

#include <functional>

using namespace Qt::StringLiterals;

namespace vaskord {

namespace {

// Rewrites each run of one of the field letters d, M and y in a date format,
// leaving quoted text and every other letter as they are.
QString rewriteFields(const QString& format,
                      const std::function<QString(QChar, qsizetype)>& field) {
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == u'\'') {
            quoted = !quoted;
            out += c;
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c) {
            ++run;
        }
        const bool isField = !quoted && (c == u'd' || c == u'M' || c == u'y');
        out += isField ? field(c, run) : format.mid(i, run);
        i += run;
    }
    return out;
}

// The short format as typing reads it: day and month of one or two digits
// (a day or month name stays as it is), the year in the given number of digits.
QString typingFormat(const QString& shortFormat, qsizetype yearDigits) {
    return rewriteFields(shortFormat, [yearDigits](QChar c, qsizetype run) {
        if (c == u'y') {
            return QString(yearDigits, u'y');
        }
        return run <= 2 ? QString(c) : QString(run, c);
    });
}

}  // namespace

QString shortDateFormat(const QLocale& locale) {
    return rewriteFields(locale.dateFormat(QLocale::ShortFormat), [](QChar c, qsizetype run) {
        return c == u'y' ? u"yyyy"_s : QString(run, c);
    });
}

std::optional<QDate> readTypedDate(const QString& text, const QLocale& locale) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return QDate();
    }
    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    const QString withFullYear[] = {
        typingFormat(shortFormat, 4),
        locale.dateFormat(QLocale::LongFormat),
        u"yyyy-M-d"_s,
        u"yyyy/M/d"_s,
    };
    for (const QString& format : withFullYear) {
        const QDate date = locale.toDate(trimmed, format);
        if (date.isValid()) {
            return date;
        }
    }
    // The toolkit reads a two-digit year as 19xx.
    const QDate date = locale.toDate(trimmed, typingFormat(shortFormat, 2));
    if (date.isValid()) {
        return date.year() < 1950 ? date.addYears(100) : date;
    }
    return std::nullopt;
}

}  // namespace vaskord
