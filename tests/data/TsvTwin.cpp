#include "TsvTwin.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <stdexcept>

namespace {

QString part(const std::optional<QString>& text) {
    return text ? *text : QStringLiteral("\\N");
}

}  // namespace

QString SongTsvRow::signature() const {
    return QStringList{part(code),
                       part(name),
                       part(singer1),
                       part(singer2),
                       part(inputCode),
                       part(copyDest),
                       count ? QString::number(*count) : QStringLiteral("\\N"),
                       inputDate ? inputDate->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                 : QStringLiteral("\\N"),
                       ifUsed ? QStringLiteral("1") : QStringLiteral("0")}
        .join(u'\t');
}

std::vector<SongTsvRow> readSongTsv(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("cannot read " + path.toStdString());
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    const QStringList header = lines.front().split(u'\t');
    std::vector<SongTsvRow> rows;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList cells = lines[i].split(u'\t');
        auto cell = [&](const char* column) -> std::optional<QString> {
            const QString text = cells.value(header.indexOf(QLatin1String(column)));
            if (text == QStringLiteral("\\N")) {
                return std::nullopt;
            }
            return text;
        };
        SongTsvRow row;
        row.code = cell("S_Code");
        row.name = cell("S_NAME");
        row.singer1 = cell("S_Singer1");
        row.singer2 = cell("S_Singer2");
        row.inputCode = cell("S_INPUTCODE");
        row.copyDest = cell("S_CopyDest");
        if (const auto count = cell("S_COUNT")) {
            row.count = count->toLongLong();
        }
        if (const auto date = cell("S_INPUTDATE")) {
            row.inputDate = QDateTime::fromString(*date, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            row.inputDate->setTimeSpec(Qt::UTC);
        }
        row.ifUsed = cell("S_IFUsed").value_or(QString()) == QStringLiteral("1");
        rows.push_back(row);
    }
    return rows;
}

QString fixturePath(const QString& name) {
    return QStringLiteral(VASKORD_FIXTURE_DIR "/") + name;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("cannot read " + path.toStdString());
    }
    return file.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

QString corpusDir() {
    static QTemporaryDir dir;
    static const bool unpacked = [] {
        if (!dir.isValid()) {
            return false;
        }
        return QProcess::execute(QStringLiteral("tar"),
                                 {QStringLiteral("-xJf"),
                                  QStringLiteral(VASKORD_FIXTURE_DIR "/real/access-corpus.tar.xz"),
                                  QStringLiteral("-C"), dir.path()}) == 0;
    }();
    return unpacked ? dir.path() : QString();
}

QStringList corpusFiles() {
    QStringList files;
    const QString dir = corpusDir();
    if (dir.isEmpty()) {
        return files;
    }
    QDirIterator it(dir, {QStringLiteral("*.mdb"), QStringLiteral("*.accdb")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files.append(it.next());
    }
    files.sort();
    return files;
}
