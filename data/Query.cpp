#include "data/Query.h"

#include "data/Errors.h"
#include "data/query/Executor.h"

namespace vaskord::data {

Query::Query() = default;
Query::~Query() = default;

void Query::open() {
    close();
    if (m_connection == nullptr || !m_connection->isOpen()) {
        raise(QStringLiteral("数据库连接未打开,不能执行查询。"));
    }
    m_result = executeSelect(m_connection->currentDatabase(), m_sql);
}

void Query::close() {
    m_result.reset();
}

bool Query::isOpen() const {
    return m_result != nullptr;
}

int Query::recordCount() const {
    return m_result ? int(m_result->size()) : 0;
}

QStringList Query::columnNames() const {
    return m_result ? m_result->columnNames() : QStringList();
}

bool Query::atEnd() const {
    return !m_result || m_result->current >= m_result->size();
}

void Query::next() {
    if (!atEnd()) {
        ++m_result->current;
    }
}

Value Query::value(const QString& column) const {
    if (!m_result) {
        raise(QStringLiteral("查询未打开,不能读取字段 '%1'。").arg(column));
    }
    const int index = m_result->selectedIndex(column);
    if (index < 0) {
        raise(QStringLiteral("查询结果中没有列 '%1'。").arg(column));
    }
    if (atEnd()) {
        raise(QStringLiteral("没有当前记录:已读到查询结果的末尾。"));
    }
    return m_result->value(m_result->current, index);
}

void Query::appendJsonLine(std::string& out) const {
    if (!m_result) {
        raise(QStringLiteral("查询未打开,不能读取记录。"));
    }
    if (atEnd()) {
        raise(QStringLiteral("没有当前记录:已读到查询结果的末尾。"));
    }
    m_result->appendJsonLine(m_result->current, out);
}

QString Query::fieldText(const QString& column) const {
    return displayText(value(column));
}

}  // namespace vaskord::data
