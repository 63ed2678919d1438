#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// A song library's rows as its .tsv twin lists them, in the table's physical
// order, so that tests can work out the expected answer without the engine.
struct SongTsvRow {
    std::optional<QString> code, name, singer1, singer2, inputCode, copyDest;
    std::optional<qint64> count;
    std::optional<QDateTime> inputDate;
    bool ifUsed = false;

    // All nine fields in one line, in the form RowSignature gives for a query row.
    QString signature() const;
};

std::vector<SongTsvRow> readSongTsv(const QString& path);

QString fixturePath(const QString& name);

// The library file under a temporary name, for tests that damage it.
QByteArray readAll(const QString& path);
void writeAll(const QString& path, const QByteArray& bytes);

// The Access files of the corpus (tests/fixtures/real/access-corpus.tar.xz),
// unpacked once per test run into a temporary folder; corpusDir() is empty
// when unpacking failed.
QString corpusDir();
QStringList corpusFiles();
