// The whole query button on a song library: the candidate query, then the
// listing pass over the song folders, once with SongFileFinder (what the window
// and the command line use) and once with the plain per-row test FindSongFile,
// next to the candidate query alone. Prints wall times, file-system calls and
// whether both passes listed the same songs.
//
//   vaskord-button-bench [--only=query|finder|per-row] [--runs=N] LIBRARY.mdb FOLDER...
//
// --only runs one phase once, for counting system calls with strace -c -f.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/SongFiles.h"
#include "core/SongListing.h"
#include "core/SongQuery.h"
#include "data/Query.h"
#include "data/USysset.h"

namespace {

using vaskord::SongRow;

// Counts the rows the listing pass moves over.
class CountingRows final : public vaskord::CandidateRows {
public:
    explicit CountingRows(vaskord::CandidateRows& rows) : m_rows(rows) {}
    bool atEnd() const override { return m_rows.atEnd(); }
    void next() override {
        ++examined;
        m_rows.next();
    }
    QString fieldText(const QString& column) const override { return m_rows.fieldText(column); }
    int examined = 0;

private:
    vaskord::CandidateRows& m_rows;
};

struct PassResult {
    double seconds = 0;
    double querySeconds = 0;
    int records = 0;
    int examined = 0;
    std::uint64_t calls = 0;
    QStringList paths;
};

void openQuery(vaskord::data::Query& query, vaskord::data::Connection& connection,
               const QString& sql) {
    query.setConnection(&connection);
    query.setSql(sql);
    query.open();
}

PassResult queryOnly(vaskord::data::Connection& connection,
                     const vaskord::CandidateQueryPlan& plan) {
    PassResult result;
    QElapsedTimer timer;
    timer.start();
    vaskord::data::Query query;
    openQuery(query, connection, plan.sql);
    result.records = query.recordCount();
    result.seconds = result.querySeconds = timer.nsecsElapsed() / 1e9;
    return result;
}

PassResult buttonWithFinder(vaskord::data::Connection& connection,
                            const vaskord::CandidateQueryPlan& plan) {
    PassResult result;
    QElapsedTimer timer;
    timer.start();
    vaskord::data::Query query;
    openQuery(query, connection, plan.sql);
    result.records = query.recordCount();
    result.querySeconds = timer.nsecsElapsed() / 1e9;
    CountingRows rows(query);
    vaskord::SongFileFinder finder(plan.songFolders);
    vaskord::listSongFiles(rows, finder, plan.limit,
                           [&](const SongRow& row) { result.paths << row.path; });
    result.seconds = timer.nsecsElapsed() / 1e9;
    result.examined = rows.examined;
    result.calls = finder.fileSystemCalls();
    return result;
}

// The floor of any listing pass: the query and reading each row's song number.
PassResult walkCodes(vaskord::data::Connection& connection,
                     const vaskord::CandidateQueryPlan& plan) {
    PassResult result;
    QElapsedTimer timer;
    timer.start();
    vaskord::data::Query query;
    openQuery(query, connection, plan.sql);
    const QString codeColumn = QStringLiteral("S_Code");
    for (; !query.atEnd(); query.next(), ++result.examined) {
        query.fieldText(codeColumn);
    }
    result.seconds = timer.nsecsElapsed() / 1e9;
    return result;
}

// The listing pass as first written: one FindSongFile per row. Its file tests
// are counted from the answer: folders up to the one that held the file, or all.
PassResult buttonPerRow(vaskord::data::Connection& connection,
                        const vaskord::CandidateQueryPlan& plan) {
    PassResult result;
    QElapsedTimer timer;
    timer.start();
    vaskord::data::Query query;
    openQuery(query, connection, plan.sql);
    result.records = query.recordCount();
    result.querySeconds = timer.nsecsElapsed() / 1e9;
    const QString codeColumn = QStringLiteral("S_Code");
    const QStringList& folders = plan.songFolders;
    int matched = 0;
    for (; !query.atEnd() && matched < plan.limit; query.next(), ++result.examined) {
        const QString code = query.fieldText(codeColumn);
        const QString path = vaskord::FindSongFile(folders, code);
        if (!vaskord::isSafeSongCode(code)) {
            continue;
        }
        if (path.isEmpty()) {
            result.calls += folders.size();
            continue;
        }
        for (qsizetype i = 0; i < folders.size(); ++i) {
            if (path.startsWith(folders[i]) && path.size() == folders[i].size() + code.size() + 4) {
                result.calls += i + 1;
                break;
            }
        }
        ++matched;
        // The other fields, as the result list reads them.
        for (const char* column :
             {"S_NAME", "S_Singer1", "S_Singer2", "S_CopyDest", "S_COUNT", "S_INPUTDATE"}) {
            query.fieldText(QLatin1String(column));
        }
        result.paths << path;
    }
    result.seconds = timer.nsecsElapsed() / 1e9;
    return result;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString only;
    int runs = 3;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (option.startsWith(QLatin1String("--only="))) {
            only = option.mid(7);
        } else if (option.startsWith(QLatin1String("--runs="))) {
            runs = std::max(1, option.mid(7).toInt());
        }
    }
    if (args.size() < 2) {
        std::fprintf(stderr,
                     "usage: %s [--only=query|finder|per-row] [--runs=N] LIBRARY.mdb FOLDER...\n",
                     argv[0]);
        return 2;
    }

    vaskord::QueryInput input;
    input.libraryPath = args.takeFirst();
    input.folderLines = args;
    input.countText = QStringLiteral("100");
    input.showCount = 1000;
    const vaskord::CandidateQueryPlan plan = vaskord::planCandidateQuery(input);
    if (!plan.prompt.isEmpty()) {
        std::fprintf(stderr, "%s\n", plan.prompt.toUtf8().constData());
        return 2;
    }

    try {
        vaskord::data::Tsysset sysset;
        vaskord::data::Connection& connection = sysset.conDB;
        connection.reopenOn(input.libraryPath);

        if (only == QLatin1String("query")) {
            std::printf("records %d\n", queryOnly(connection, plan).records);
            return 0;
        }
        if (only == QLatin1String("finder")) {
            std::printf("listed %lld\n",
                        static_cast<long long>(buttonWithFinder(connection, plan).paths.size()));
            return 0;
        }
        if (only == QLatin1String("per-row")) {
            std::printf("listed %lld\n",
                        static_cast<long long>(buttonPerRow(connection, plan).paths.size()));
            return 0;
        }

        std::vector<double> queryTimes, walkTimes, finderTimes, perRowTimes;
        PassResult finder, perRow;
        int records = 0;
        for (int run = 0; run < runs; ++run) {
            const PassResult query = queryOnly(connection, plan);
            records = query.records;
            queryTimes.push_back(query.seconds);
            walkTimes.push_back(walkCodes(connection, plan).seconds);
            finder = buttonWithFinder(connection, plan);
            finderTimes.push_back(finder.seconds);
            perRow = buttonPerRow(connection, plan);
            perRowTimes.push_back(perRow.seconds);
        }
        const double queryS = median(queryTimes);
        std::printf("folders              %lld\n", static_cast<long long>(plan.songFolders.size()));
        std::printf("records              %d\n", records);
        std::printf("rows_examined        %d (finder), %d (per-row)\n", finder.examined,
                    perRow.examined);
        std::printf("listed               %lld (finder), %lld (per-row)\n",
                    static_cast<long long>(finder.paths.size()),
                    static_cast<long long>(perRow.paths.size()));
        std::printf("same_list            %s\n", finder.paths == perRow.paths ? "yes" : "NO");
        std::printf("runs                 %d (medians below)\n", runs);
        std::printf("query_alone_s        %.3f\n", queryS);
        std::printf(
            "query_and_codes_s    %.3f  (%.2f x query alone: the query, reading every S_Code)\n",
            median(walkTimes), median(walkTimes) / queryS);
        std::printf("button_finder_s      %.3f  (%.2f x query alone)\n", median(finderTimes),
                    median(finderTimes) / queryS);
        std::printf("button_per_row_s     %.3f  (%.2f x query alone)\n", median(perRowTimes),
                    median(perRowTimes) / queryS);
        std::printf("fs_calls_finder      %llu\n", static_cast<unsigned long long>(finder.calls));
        std::printf("fs_calls_per_row     %llu  (%.1f x finder)\n",
                    static_cast<unsigned long long>(perRow.calls),
                    finder.calls ? double(perRow.calls) / double(finder.calls) : 0.0);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
