#pragma once

#include <QElapsedTimer>
#include <QString>
#include <utility>
#include <vector>

#include "core/SongDeletion.h"
#include "core/SongListing.h"
#include "data/Query.h"

namespace vaskord::cli {

// A progress line on a terminal for a walk that takes more than a second;
// silent when stderr is a file or a pipe, so scripts read only the results.
class WalkProgress {
public:
    explicit WalkProgress(int recordCount);
    ~WalkProgress();
    WalkProgress(const WalkProgress&) = delete;
    WalkProgress& operator=(const WalkProgress&) = delete;

    void rowExamined();
    void songListed() { ++m_listed; }

private:
    void show();

    bool m_enabled;
    bool m_shown = false;
    int m_recordCount;
    int m_examined = 0;
    int m_listed = 0;
    qint64 m_lastShownMs = 0;
    QElapsedTimer m_timer;
};

// The candidate query as the listing pass sees it. It keeps the typed values
// of the fields the pass read, so a listed song can be written with numbers
// and dates as the table holds them rather than as display text.
class TypedCandidateRows final : public CandidateRows {
public:
    TypedCandidateRows(data::Query& query, WalkProgress& progress)
        : m_query(query), m_progress(progress) {}

    bool atEnd() const override { return m_query.atEnd(); }
    void next() override;
    QString fieldText(const QString& column) const override;

    // A field of the row the pass read last; the query's current row for a
    // field it did not read.
    data::Value lastReadValue(const QString& column) const;

private:
    data::Query& m_query;
    WalkProgress& m_progress;
    int m_row = 0;
    mutable int m_readRow = -1;
    mutable std::vector<std::pair<QString, data::Value>> m_read;  // a few fields at most
};

// Every listed song, ticked, for the deletion pass.
class ListedSongFiles final : public TickedRows {
public:
    void append(const QString& path) { m_paths.push_back(path); }

    int count() const override { return static_cast<int>(m_paths.size()); }
    bool isTicked(int) const override { return true; }
    QString path(int row) const override { return m_paths.at(static_cast<size_t>(row)); }
    void removeRow(int row) override { m_paths.erase(m_paths.begin() + row); }

private:
    std::vector<QString> m_paths;
};

}  // namespace vaskord::cli
