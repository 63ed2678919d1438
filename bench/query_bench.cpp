// Times the candidate query on a song library the way the window runs it:
// open the library, run the query (scan, filter, sort, count), then read every
// result row's fields as text, as the result list does. Prints one line per
// phase and the peak resident memory.
//
//   vaskord-query-bench LIBRARY.mdb [--all-criteria]

#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "core/SongQuery.h"
#include "data/Query.h"
#include "data/USysset.h"

namespace {

long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s LIBRARY.mdb [--all-criteria]\n", argv[0]);
        return 2;
    }
    const bool allCriteria = argc > 2 && QByteArray(argv[2]) == "--all-criteria";

    vaskord::QueryInput input;
    input.countText = QStringLiteral("100");
    if (allCriteria) {
        input.limitDate = true;
        input.dateText = QStringLiteral("2015-01-01");
        input.date = QDate(2015, 1, 1);
        input.songNo = true;
        input.songNoText = QStringLiteral("1");
        input.songName = true;
        input.songNameText = QStringLiteral("月");
        input.singer = true;
        input.singerText = QStringLiteral("张");
    }
    const vaskord::CriteriaText criteria = vaskord::buildCriteriaText(input);
    const QString sql = vaskord::candidateSql(input.countText, criteria.clauses);

    try {
        QElapsedTimer timer;
        timer.start();
        vaskord::data::Tsysset sysset;
        vaskord::data::Connection& connection = sysset.conDB;
        connection.reopenOn(QString::fromLocal8Bit(argv[1]));
        const qint64 openNs = timer.nsecsElapsed();

        vaskord::data::Query query;
        query.setConnection(&connection);
        query.setSql(sql);
        query.open();
        const int count = query.recordCount();
        const qint64 queryNs = timer.nsecsElapsed();

        static const char* const kShown[] = {"S_Code",     "S_NAME",  "S_Singer1",  "S_Singer2",
                                             "S_CopyDest", "S_COUNT", "S_INPUTDATE"};
        qint64 characters = 0;
        for (; !query.atEnd(); query.next()) {
            for (const char* column : kShown) {
                characters += query.fieldText(QLatin1String(column)).size();
            }
        }
        const qint64 readNs = timer.nsecsElapsed();

        std::printf("criteria        %s\n", allCriteria ? "all four" : "none");
        std::printf("rows            %d\n", count);
        std::printf("open_s          %.3f\n", openNs / 1e9);
        std::printf("query_s         %.3f\n", queryNs / 1e9);
        std::printf("read_text_s     %.3f\n", (readNs - queryNs) / 1e9);
        std::printf("total_s         %.3f\n", readNs / 1e9);
        std::printf("peak_kb         %ld\n", peakKilobytes());
        std::printf("text_chars      %lld\n", static_cast<long long>(characters));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
