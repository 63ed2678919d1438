#include "core/FileSizes.h"

#include <sys/stat.h>

#include <QFile>
#include <array>
#include <cmath>

using namespace Qt::StringLiterals;

namespace vaskord {

qint64 songFileSize(const QString& path) {
    struct stat st {};
    if (path.isEmpty() || path.contains(QChar(u'\0')) ||
        ::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return -1;
    }
    return st.st_size;
}

QString sizeText(qint64 bytes) {
    constexpr qint64 kStep = 1024;
    if (bytes < kStep) {
        return QString::number(bytes) + u" B"_s;
    }
    static const std::array<QString, 5> kUnits = {u"KB"_s, u"MB"_s, u"GB"_s, u"TB"_s, u"PB"_s};
    double value = static_cast<double>(bytes) / kStep;
    std::size_t unit = 0;
    // Rounded to one decimal, as shown: 1023.96 MB reads "1.0 GB", not "1024.0 MB".
    while (unit + 1 < kUnits.size() && std::round(value * 10) / 10 >= kStep) {
        value /= kStep;
        ++unit;
    }
    return QString::number(value, 'f', 1) + u' ' + kUnits[unit];
}

QString groupedNumber(qint64 number) {
    QString digits = QString::number(number);
    const qsizetype first = number < 0 ? 1 : 0;
    for (qsizetype at = digits.size() - 3; at > first; at -= 3) {
        digits.insert(at, u',');
    }
    return digits;
}

QString listedTotal(qint64 files, qint64 bytes) {
    return u"共 "_s + groupedNumber(files) + u" 个文件,"_s + sizeText(bytes);
}

QString freedTotal(qint64 bytes) {
    return u"释放空间:"_s + sizeText(bytes);
}

}  // namespace vaskord
