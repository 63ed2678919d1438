// vaskord-cli: the window's query and deletion, run from a shell or a script.

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

#include "cli/CommandLine.h"
#include "cli/JsonLine.h"
#include "cli/SongRows.h"
#include "core/SongDeletion.h"
#include "core/SongFiles.h"
#include "core/SongListing.h"
#include "core/SongQuery.h"
#include "data/Query.h"
#include "data/USysset.h"

using namespace Qt::StringLiterals;
using namespace vaskord;
using namespace vaskord::cli;

namespace {

void writeOut(std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

// A full disk or a closed pipe must not pass for a complete listing.
void flushResults() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        throw std::runtime_error("无法写出结果 (标准输出写入失败)。");
    }
}

void writeErr(const QString& line) {
    std::fflush(stdout);  // keeps the order of results and messages on one terminal
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

int runSql(const Invocation& invocation) {
    data::Tsysset sysset;
    sysset.conDB.reopenOn(invocation.library);
    data::Query query;
    query.setConnection(&sysset.conDB);
    query.setSql(invocation.sql);
    query.open();
    // Rows gather in one buffer that leaves in large writes.
    constexpr std::size_t kWriteAt = std::size_t(256) << 10;
    std::string out;
    out.reserve(kWriteAt + 64 * 1024);
    for (; !query.atEnd(); query.next()) {
        query.appendJsonLine(out);
        if (out.size() >= kWriteAt) {
            writeOut(out);
            out.clear();
        }
    }
    writeOut(out);
    return kExitDone;
}

// The query button, then for delete the delete button with every row ticked.
int runFindOrDelete(const Invocation& invocation) {
    if (invocation.command == Command::Delete && !invocation.confirmed) {
        writeErr(u"删除歌曲文件须加上 --yes 确认; 未删除任何文件。"_s);
        return kExitUsage;
    }
    const CandidateQueryPlan plan = planCandidateQuery(invocation.input);
    if (!plan.prompt.isEmpty()) {
        writeErr(plan.prompt);
        return kExitUsage;
    }
    if (invocation.showSql) {
        writeErr(plan.sql);
    }

    data::Tsysset sysset;
    sysset.conDB.reopenOn(invocation.input.libraryPath);
    data::Query qrySong;
    qrySong.setConnection(&sysset.conDB);
    qrySong.setSql(plan.sql);
    qrySong.open();
    const int recordCount = qrySong.recordCount();

    ListedSongFiles listed;
    int matched = 0;
    {
        WalkProgress progress(recordCount);
        TypedCandidateRows rows(qrySong, progress);
        SongFileFinder finder(plan.songFolders);
        matched = listSongFiles(rows, finder, plan.limit, [&](const SongRow& song) {
            QList<JsonField> fields;
            for (const QString& column : {u"S_Code"_s, u"S_NAME"_s, u"S_Singer1"_s, u"S_Singer2"_s,
                                          u"S_CopyDest"_s, u"S_COUNT"_s, u"S_INPUTDATE"_s}) {
                fields.append({column, rows.lastReadValue(column)});
            }
            fields.append({u"path"_s, song.path});
            std::string line;
            appendJsonLine(line, fields);
            writeOut(line);
            listed.append(song.path);
            progress.songListed();
        });
    }
    writeErr(listingSummary(recordCount, matched));
    if (invocation.command == Command::Find) {
        return kExitDone;
    }

    // Nothing is deleted unless the list of what goes has been written.
    flushResults();
    const DeletionCounts counts = deleteTickedSongFiles(listed);
    writeErr(deletionSummary(counts));
    // A script must not take a file that is still there for a deleted one. A
    // file already gone (a song number listed twice, or removed meanwhile)
    // counts as failed in the summary, as in the window, but is no failure.
    for (int row = 0; row < listed.count(); ++row) {
        if (QFileInfo::exists(listed.path(row))) {
            return kExitFailed;
        }
    }
    return kExitDone;
}

int run(const Invocation& invocation) {
    switch (invocation.command) {
        case Command::Help:
            writeOut(helpText().toUtf8().toStdString());
            return kExitDone;
        case Command::Version:
            writeOut("vaskord-cli " VASKORD_VERSION "\n");
            return kExitDone;
        case Command::Sql:
            return runSql(invocation);
        case Command::Find:
        case Command::Delete:
            return runFindOrDelete(invocation);
    }
    return kExitUsage;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const Invocation invocation = parseCommandLine(QCoreApplication::arguments());
    if (!invocation.usageError.isEmpty()) {
        writeErr(invocation.usageError);
        return kExitUsage;
    }
    // The one place where database and file-system errors reach the operator.
    try {
        const int exitCode = run(invocation);
        flushResults();
        return exitCode;
    } catch (const std::exception& error) {
        writeErr(QString::fromUtf8(error.what()));
        return kExitFailed;
    }
}
