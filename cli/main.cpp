// vaskord-cli: the window's query and deletion, run from a shell or a script,
// and a way back for files moved aside instead of deleted.

#include <QCoreApplication>
#include <QFile>
#include <QSet>
#include <csignal>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "cli/CommandLine.h"
#include "cli/JsonLine.h"
#include "cli/SongRows.h"
#include "core/FileMoves.h"
#include "core/FileSizes.h"
#include "core/SongDeletion.h"
#include "core/SongDisposal.h"
#include "core/SongFiles.h"
#include "core/SongFolderHandles.h"
#include "core/SongListing.h"
#include "core/SongMove.h"
#include "core/SongQuery.h"
#include "core/SongTrash.h"
#include "core/StandardStreams.h"
#include "data/Query.h"
#include "data/USysset.h"

using namespace Qt::StringLiterals;
using namespace vaskord;
using namespace vaskord::cli;

namespace {

// Standard output was closed at start and now writes to /dev/null: no
// listing can reach anyone.
bool g_outputWasClosed = false;

// The signal that asked a deletion to stop, or 0.
volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void requestStop(int signal) {
    g_stopSignal = signal;
}

// From here on an interrupt, a kill or a closed terminal lets the deletion
// finish the file at hand and report what it did. SA_RESTART: writing the
// list goes on undisturbed.
void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
}

void writeOut(std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

// A full disk or a closed pipe must not pass for a complete listing.
void flushResults() {
    if (g_outputWasClosed) {
        throw std::runtime_error("无法写出结果 (标准输出已关闭)。");
    }
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
    if (invocation.command == Command::Delete) {
        catchStopSignals();
    }
    // A keeping folder that cannot take the files stops the run before the
    // library is even read.
    std::unique_ptr<SongDisposal> disposal;
    if (invocation.command == Command::Delete && !invocation.moveTo.isEmpty()) {
        disposal = std::make_unique<SongMover>(invocation.moveTo);
    } else if (invocation.command == Command::Delete && invocation.trash) {
        disposal = std::make_unique<SongTrash>();
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
    qint64 listedBytes = 0;
    // Opens the song folders once: the deletion goes through the same handles.
    SongFileFinder finder(plan.songFolders);
    {
        WalkProgress progress(recordCount);
        TypedCandidateRows rows(qrySong, progress);
        matched = listSongFiles(rows, finder, plan.limit, [&](const SongRow& song) {
            QList<JsonField> fields;
            for (const QString& column : {u"S_Code"_s, u"S_NAME"_s, u"S_Singer1"_s, u"S_Singer2"_s,
                                          u"S_CopyDest"_s, u"S_COUNT"_s, u"S_INPUTDATE"_s}) {
                fields.append({column, rows.lastReadValue(column)});
            }
            fields.append({u"path"_s, song.path});
            const qint64 size = songFileSize(song.path);
            fields.append({u"size"_s, size < 0 ? data::Value() : data::Value(size)});
            listedBytes += std::max<qint64>(size, 0);
            std::string line;
            appendJsonLine(line, fields);
            writeOut(line);
            listed.append(song.path);
            progress.songListed();
        });
    }
    writeErr(listingSummary(recordCount, matched));
    writeErr(listedTotal(matched, listedBytes));
    // A folder that cannot be searched hides its songs: the run is no success.
    bool searchFailed = false;
    QSet<QString> named;
    for (const QString& folder : plan.songFolders) {
        if (finder.folderHandles().open(folder) < 0 && !named.contains(folder)) {
            named.insert(folder);
            writeErr(folderUnsearchableText(folder, finder.folderHandles().openError(folder)));
            searchFailed = true;
        }
    }
    if (invocation.command == Command::Find) {
        return searchFailed ? kExitFailed : kExitDone;
    }

    // Nothing is deleted unless the list of what goes has been written.
    flushResults();
    DeletionPass pass;
    if (const auto library = sysset.conDB.libraryFileId()) {
        pass.keep.push_back(*library);
    }
    qint64 freed = 0;
    if (disposal) {
        // Says why a file stays where it is, which the counts alone cannot.
        pass.dispose = [&disposal](int folderFd, const std::string& name, const struct stat& file) {
            const Disposal outcome = disposal->dispose(folderFd, name, file);
            if (outcome == Disposal::Refused && !disposal->failureReason().isEmpty()) {
                const std::string folder = files::folderRealPath(folderFd);
                writeErr(u"未能移走 "_s +
                         QFile::decodeName(QByteArray::fromStdString((folder == "/" ? "" : folder) +
                                                                     '/' + name)) +
                         u": "_s + disposal->failureReason());
            }
            return outcome;
        };
    }
    pass.dispose = countingFreedBytes(pass.dispose, &freed);
    pass.stopRequested = [] { return g_stopSignal != 0; };
    const DeletionCounts counts = deleteTickedSongFiles(listed, finder.folderHandles(), pass);
    if (!invocation.moveTo.isEmpty()) {
        writeErr(movingSummary(counts));
        writeErr(movedTotal(freed));
    } else if (invocation.trash) {
        writeErr(trashingSummary(counts));
        writeErr(trashedTotal(freed));
    } else {
        writeErr(deletionSummary(counts));
        writeErr(freedTotal(freed));
    }
    if (g_stopSignal != 0) {
        return 128 + g_stopSignal;
    }
    // A script must not take a file that is still there for a deleted one. A
    // file already gone (a song number listed twice, or removed meanwhile)
    // counts as failed in the summary, as in the window, but is no failure.
    for (int row = 0; row < listed.count(); ++row) {
        if (songFileRemains(finder.folderHandles(), listed.path(row))) {
            return kExitFailed;
        }
    }
    return searchFailed ? kExitFailed : kExitDone;
}

// Puts moved or trashed files back; one JSON line per file, then the counts.
int runRestore(const Invocation& invocation) {
    const auto report = [](const RestoredSong& song) {
        const auto text = [](const std::string& bytes) {
            return data::Value(QFile::decodeName(QByteArray::fromStdString(bytes)));
        };
        std::string line;
        appendJsonLine(
            line,
            {
                {u"path"_s, text(song.original)},
                {u"from"_s, song.keptAt.empty() ? data::Value() : text(song.keptAt)},
                {u"restored"_s, data::Value(song.result == RestoredSong::Result::Restored)},
                {u"reason"_s, song.reason.isEmpty() ? data::Value() : data::Value(song.reason)},
            });
        writeOut(line);
    };
    const RestoreCounts counts = invocation.trash
                                     ? restoreTrashedSongs(invocation.restoreFiles, report)
                                     : restoreMovedSongs(invocation.moveTo, report);
    writeErr(restoreSummary(counts));
    return counts.failed == 0 ? kExitDone : kExitFailed;
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
        case Command::Restore:
            return runRestore(invocation);
    }
    return kExitUsage;
}

}  // namespace

int main(int argc, char* argv[]) {
    g_outputWasClosed = openClosedStandardStreams().output;
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
