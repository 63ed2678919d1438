#include "cli/SongRows.h"

#include <unistd.h>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace vaskord::cli {

namespace {

constexpr qint64 kQuietMs = 1000;   // a walk shorter than this shows nothing
constexpr qint64 kRefreshMs = 200;  // no faster than a terminal can be read

}  // namespace

WalkProgress::WalkProgress(int recordCount)
    : m_enabled(::isatty(STDERR_FILENO) == 1), m_recordCount(recordCount) {
    m_timer.start();
}

WalkProgress::~WalkProgress() {
    if (m_shown) {
        // Clears the line so the summary that follows stands alone.
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
}

void WalkProgress::rowExamined() {
    ++m_examined;
    if (!m_enabled) {
        return;
    }
    const qint64 elapsed = m_timer.elapsed();
    if (elapsed >= kQuietMs && elapsed - m_lastShownMs >= kRefreshMs) {
        m_lastShownMs = elapsed;
        show();
    }
}

void WalkProgress::show() {
    const QString line =
        u"\r正在查找歌曲文件: 已检查 %1/%2 条记录, 已找到 %3 个文件"_s.arg(m_examined)
            .arg(m_recordCount)
            .arg(m_listed);
    std::fputs(line.toUtf8().constData(), stderr);
    std::fflush(stderr);
    m_shown = true;
}

void TypedCandidateRows::next() {
    m_query.next();
    ++m_row;
    m_progress.rowExamined();
}

// The value is read once and its display text made from it, as the query's
// own fieldText makes it.
QString TypedCandidateRows::fieldText(const QString& column) const {
    if (m_readRow != m_row) {
        m_read.clear();
        m_readRow = m_row;
    }
    m_read.emplace_back(column, m_query.value(column));
    return data::displayText(m_read.back().second);
}

data::Value TypedCandidateRows::lastReadValue(const QString& column) const {
    for (const auto& [name, value] : m_read) {
        if (name == column) {
            return value;
        }
    }
    return m_query.value(column);
}

}  // namespace vaskord::cli
