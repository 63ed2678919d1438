#include "data/Value.h"

#include <QLocale>

#include "core/DateText.h"

namespace vaskord::data {

namespace {

// Windows' long time format has no time zone, Qt's may end in one ("t"):
// drop that token, and the blanks it leaves, outside quoted text.
QString longTimeFormatWithoutZone(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') {
            quoted = !quoted;
        }
        if (!quoted && c == u't') {
            continue;
        }
        out.append(c);
    }
    return out.simplified();
}

}  // namespace

QString displayText(const Value& v) {
    struct Visitor {
        QString operator()(std::monostate) const { return {}; }
        QString operator()(bool b) const {
            return b ? QStringLiteral("True") : QStringLiteral("False");
        }
        QString operator()(qint64 n) const { return QString::number(n); }
        QString operator()(double d) const {
            QLocale locale;
            locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
            return locale.toString(d, 'g', 15);
        }
        QString operator()(const QString& s) const { return s; }
        QString operator()(const QDateTime& dt) const {
            if (!dt.isValid()) {
                return {};
            }
            const QLocale locale;
            // A four-digit year, as the date box shows it, whatever the locale.
            QString text = locale.toString(dt.date(), shortDateFormat(locale));
            if (dt.time() != QTime(0, 0)) {
                text += u' ' + locale.toString(dt.time(), longTimeFormatWithoutZone(locale));
            }
            return text;
        }
    };
    return std::visit(Visitor{}, v);
}

}  // namespace vaskord::data
