#include "data/query/Executor.h"

#include <mdbtools.h>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>

#include "data/Errors.h"
#include "data/access/FieldValues.h"
#include "data/query/Like.h"
#include "data/query/SqlParser.h"

namespace vaskord::data {

namespace {

// Three-valued logic: a comparison with NULL is neither true nor false, and
// only True lets a row through.
enum class Truth : std::uint8_t { False, True, Unknown };

Truth negate(Truth t) {
    return t == Truth::Unknown ? t : (t == Truth::True ? Truth::False : Truth::True);
}

std::u16string_view view(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size())};
}

// A side of a condition after binding: a column of the table, or a literal
// already in the form the comparison uses (linear date, folded text).
struct Operand {
    enum class Kind : std::uint8_t { Column, Literal, Null } kind = Kind::Null;
    const Column* column = nullptr;
    ValueClass valueClass = ValueClass::Other;
    double number = 0;
    std::u16string text;
    QString spelling;  // as written, for messages
    qsizetype position = 0;
};

struct Node {
    SqlCondition::Kind kind = SqlCondition::Kind::Compare;
    CompareOp op = CompareOp::Equal;
    bool negated = false;
    ValueClass compareAs = ValueClass::Number;
    std::unique_ptr<Node> left;
    std::unique_ptr<Node> right;
    Operand a;
    Operand b;
    LikePattern pattern;
};

// What evaluating one row needs: the row, and buffers reused from row to row
// so that text fields are decoded without allocating.
struct RowContext {
    const Database& db;
    const RowReader* row = nullptr;
    std::u16string textA;
    std::u16string textB;
    std::u16string scratch;
};

QString numberText(double value) {
    if (value == std::trunc(value) && std::fabs(value) < 1e15) {
        return QString::number(qint64(value));
    }
    return QString::number(value, 'g', 15);
}

// Reads a column operand as the comparison wants it; false for NULL.
bool readNumber(RowContext& ctx, const Operand& operand, double& out) {
    if (operand.kind == Operand::Kind::Literal) {
        out = operand.number;
        return true;
    }
    const Column& column = *operand.column;
    if (column.type == MDB_BOOL) {
        out = ctx.row->boolValue(column) ? -1 : 0;
        return true;
    }
    const FieldBytes field = ctx.row->field(column);
    if (field.isNull()) {
        return false;
    }
    if (column.valueClass == ValueClass::Date) {
        out = dateNumber(column, field);
        return true;
    }
    out = numberValue(*ctx.row, column, field);
    return true;
}

bool readText(RowContext& ctx, const Operand& operand, std::u16string& out) {
    if (operand.kind == Operand::Kind::Literal) {
        out = operand.text;
        return true;
    }
    const Column& column = *operand.column;
    if (column.valueClass == ValueClass::Number) {
        double number;
        if (!readNumber(ctx, operand, number)) {
            return false;
        }
        out = std::u16string(view(numberText(number)));
        return true;
    }
    const FieldBytes field = ctx.row->field(column);
    if (field.isNull()) {
        return false;
    }
    if (column.type == MDB_MEMO) {
        ctx.db.readMemoInto(column, field, ctx.scratch);
    } else {
        ctx.db.decodeTextInto(field.data, field.length, ctx.scratch);
    }
    foldCaseInto(ctx.scratch, out);
    return true;
}

Truth fromOrder(int order, CompareOp op) {
    bool result = false;
    switch (op) {
        case CompareOp::Equal:
            result = order == 0;
            break;
        case CompareOp::NotEqual:
            result = order != 0;
            break;
        case CompareOp::Less:
            result = order < 0;
            break;
        case CompareOp::LessEqual:
            result = order <= 0;
            break;
        case CompareOp::Greater:
            result = order > 0;
            break;
        case CompareOp::GreaterEqual:
            result = order >= 0;
            break;
    }
    return result ? Truth::True : Truth::False;
}

Truth evaluate(const Node& node, RowContext& ctx) {
    switch (node.kind) {
        case SqlCondition::Kind::And: {
            const Truth left = evaluate(*node.left, ctx);
            if (left == Truth::False) {
                return Truth::False;
            }
            const Truth right = evaluate(*node.right, ctx);
            if (right == Truth::False) {
                return Truth::False;
            }
            return (left == Truth::True && right == Truth::True) ? Truth::True : Truth::Unknown;
        }
        case SqlCondition::Kind::Or: {
            const Truth left = evaluate(*node.left, ctx);
            if (left == Truth::True) {
                return Truth::True;
            }
            const Truth right = evaluate(*node.right, ctx);
            if (right == Truth::True) {
                return Truth::True;
            }
            return (left == Truth::False && right == Truth::False) ? Truth::False : Truth::Unknown;
        }
        case SqlCondition::Kind::Not:
            return negate(evaluate(*node.left, ctx));
        case SqlCondition::Kind::IsNull: {
            bool isNull = true;
            if (node.a.kind == Operand::Kind::Literal) {
                isNull = false;
            } else if (node.a.kind == Operand::Kind::Column) {
                isNull = node.a.column->type != MDB_BOOL && ctx.row->field(*node.a.column).isNull();
            }
            return (isNull != node.negated) ? Truth::True : Truth::False;
        }
        case SqlCondition::Kind::Like: {
            if (node.a.kind == Operand::Kind::Null || !readText(ctx, node.a, ctx.textA)) {
                return Truth::Unknown;
            }
            const bool match = node.pattern.matches(ctx.textA);
            return (match != node.negated) ? Truth::True : Truth::False;
        }
        case SqlCondition::Kind::Compare: {
            if (node.a.kind == Operand::Kind::Null || node.b.kind == Operand::Kind::Null) {
                return Truth::Unknown;
            }
            if (node.compareAs == ValueClass::Text) {
                if (!readText(ctx, node.a, ctx.textA) || !readText(ctx, node.b, ctx.textB)) {
                    return Truth::Unknown;
                }
                const int order = std::u16string_view(ctx.textA).compare(ctx.textB);
                return fromOrder(order, node.op);
            }
            double x;
            double y;
            if (!readNumber(ctx, node.a, x) || !readNumber(ctx, node.b, y)) {
                return Truth::Unknown;
            }
            if (std::isnan(x) || std::isnan(y)) {
                return Truth::Unknown;
            }
            return fromOrder(x < y ? -1 : (x > y ? 1 : 0), node.op);
        }
    }
    return Truth::Unknown;
}

// Names to columns, literals to comparable forms, and the type check Access
// makes before it reads a row.
class Binder {
public:
    explicit Binder(const Table& table) : m_table(table) {}

    const Column& column(const SqlName& name) const {
        const int index = columnIndex(name);
        return m_table.columns[std::size_t(index)];
    }

    int columnIndex(const SqlName& name) const {
        const int index = m_table.columnIndex(name.text);
        if (index < 0) {
            raise(QStringLiteral("表 '%1' 中找不到列 '%2'(第 %3 个字符)。")
                      .arg(m_table.name, name.text)
                      .arg(name.position + 1));
        }
        return index;
    }

    std::unique_ptr<Node> bind(const SqlCondition& condition) const {
        auto node = std::make_unique<Node>();
        node->kind = condition.kind;
        node->op = condition.op;
        node->negated = condition.negated;
        switch (condition.kind) {
            case SqlCondition::Kind::And:
            case SqlCondition::Kind::Or:
                node->left = bind(*condition.left);
                node->right = bind(*condition.right);
                break;
            case SqlCondition::Kind::Not:
                node->left = bind(*condition.left);
                break;
            case SqlCondition::Kind::IsNull:
                node->a = operand(condition.lhs);
                break;
            case SqlCondition::Kind::Like: {
                node->a = operand(condition.lhs);
                const ValueClass cls = node->a.valueClass;
                if (node->a.kind != Operand::Kind::Null && cls != ValueClass::Text &&
                    cls != ValueClass::Number) {
                    mismatch(node->a);
                }
                node->pattern = LikePattern(view(std::get<QString>(condition.rhs.literal)));
                if (node->a.kind == Operand::Kind::Literal && cls == ValueClass::Number) {
                    node->a.text = foldCase(view(numberText(node->a.number)));
                }
                node->compareAs = ValueClass::Text;
                break;
            }
            case SqlCondition::Kind::Compare: {
                node->a = operand(condition.lhs);
                node->b = operand(condition.rhs);
                if (node->a.kind == Operand::Kind::Null || node->b.kind == Operand::Kind::Null) {
                    break;
                }
                node->compareAs = comparable(node->a, node->b);
                break;
            }
        }
        return node;
    }

private:
    // Numbers compare with numbers and dates (a date is a day count to Access),
    // text only with text.
    ValueClass comparable(const Operand& a, const Operand& b) const {
        const auto isNumeric = [](ValueClass c) {
            return c == ValueClass::Number || c == ValueClass::Date;
        };
        if (a.valueClass == ValueClass::Other) {
            mismatch(a);
        }
        if (b.valueClass == ValueClass::Other) {
            mismatch(b);
        }
        if (a.valueClass == ValueClass::Text && b.valueClass == ValueClass::Text) {
            return ValueClass::Text;
        }
        if (isNumeric(a.valueClass) && isNumeric(b.valueClass)) {
            return ValueClass::Number;
        }
        mismatch(a.kind == Operand::Kind::Literal ? a : b);
    }

    [[noreturn]] void mismatch(const Operand& operand) const {
        raise(QStringLiteral("条件表达式中的数据类型不匹配:第 %1 个字符处的 '%2'。")
                  .arg(operand.position + 1)
                  .arg(operand.spelling));
    }

    Operand operand(const SqlOperand& source) const {
        Operand operand;
        operand.position = source.position;
        if (source.isColumn) {
            operand.kind = Operand::Kind::Column;
            operand.column = &column(source.column);
            operand.valueClass = operand.column->valueClass;
            operand.spelling = source.column.text;
            return operand;
        }
        operand.kind = Operand::Kind::Literal;
        if (const auto* whole = std::get_if<qint64>(&source.literal)) {
            operand.valueClass = ValueClass::Number;
            operand.number = double(*whole);
            operand.spelling = QString::number(*whole);
        } else if (const auto* real = std::get_if<double>(&source.literal)) {
            operand.valueClass = ValueClass::Number;
            operand.number = *real;
            operand.spelling = QString::number(*real, 'g', 15);
        } else if (const auto* text = std::get_if<QString>(&source.literal)) {
            operand.valueClass = ValueClass::Text;
            operand.text = foldCase(view(*text));
            operand.spelling = *text;
        } else if (const auto* date = std::get_if<QDateTime>(&source.literal)) {
            operand.valueClass = ValueClass::Date;
            operand.number = linearFromDate(*date);
            operand.spelling = date->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        } else {
            operand.kind = Operand::Kind::Null;
            operand.spelling = QStringLiteral("NULL");
        }
        return operand;
    }

    const Table& m_table;
};

// Sort keys are worked out once per row while scanning, each as a 64-bit
// code whose unsigned order is the key's order: NULL lowest, negated or
// complemented when descending. A number's or date's code is exact; so is a
// short text's. A longer text's code holds its first folded units, and only
// codes that are equal and not exact send the comparison to the whole folded
// text, kept for that in one shared buffer.
struct SortKey {
    const Column* column = nullptr;
    bool descending = false;
    bool text = false;
    std::u16string arena;                  // text keys: the folded texts codes do not hold
    std::vector<std::uint32_t> textStart;  // text keys: where each row's text starts
    std::vector<std::uint64_t> codes;      // keys the sort entries do not carry

    static constexpr std::uint64_t kMarker = std::uint64_t(1) << 63;
    static constexpr std::uint64_t kInexact = std::uint64_t(1) << 14;

    // Room for `rows` rows, taken from the system as the rows come.
    void reserve(std::size_t rows, bool carried) {
        if (text) {
            textStart.reserve(rows);
            arena.reserve(rows * 8);
        }
        if (!carried) {
            codes.reserve(rows);
        }
    }

    std::uint64_t add(RowContext& ctx) {
        Operand operand;
        operand.kind = Operand::Kind::Column;
        operand.column = column;
        if (text) {
            const bool present = readText(ctx, operand, ctx.textA);
            textStart.push_back(std::uint32_t(arena.size()));
            if (!present) {
                return descending ? ~std::uint64_t(0) : 0;
            }
            const std::uint64_t code = textCode(ctx.textA);
            if (code & kInexact) {
                arena += ctx.textA;
            }
            return descending ? ~code : code;
        }
        double number = 0;
        if (!readNumber(ctx, operand, number) || std::isnan(number)) {
            number = -std::numeric_limits<double>::infinity();
        }
        return numberCode(descending ? -number : number);
    }

    // Whether rows with this code may still differ: only inexact texts may.
    bool mayHide(std::uint64_t code) const {
        return text && ((descending ? ~code : code) & kInexact) != 0;
    }

    // Order of two rows whose codes are equal.
    int compareText(std::uint32_t x, std::uint32_t y, std::uint64_t code) const {
        if (!mayHide(code)) {
            return 0;
        }
        const auto textOf = [this](std::uint32_t row) {
            const std::uint32_t end =
                row + 1 < textStart.size() ? textStart[row + 1] : std::uint32_t(arena.size());
            return std::u16string_view(arena.data() + textStart[row], end - textStart[row]);
        };
        const int c = textOf(x).compare(textOf(y));
        const int order = c < 0 ? -1 : (c > 0 ? 1 : 0);
        return descending ? -order : order;
    }

    // The bits of a double, turned so that unsigned order is numeric order;
    // -0 and +0 compare equal, as numbers do.
    static std::uint64_t numberCode(double number) {
        if (number == 0) {
            number = 0;
        }
        std::uint64_t bits;
        std::memcpy(&bits, &number, sizeof bits);
        return (bits & kMarker) ? ~bits : bits | kMarker;
    }

    // From the top: a marker (no text is NULL), the first three units
    // (missing ones as zeros), the inexact bit, the top 14 bits of the fourth
    // unit. The inexact bit is clear only for a text the three units spell
    // out alone: at most three units, none of them zero. Set, it still sorts
    // right: such a text has the same first units as an exact one only when
    // it begins with all of it, so it comes after.
    static std::uint64_t textCode(std::u16string_view folded) {
        char16_t unit[4] = {};
        bool exact = folded.size() <= 3;
        for (std::size_t i = 0; i < 4 && i < folded.size(); ++i) {
            unit[i] = folded[i];
            exact = exact && unit[i] != 0;
        }
        return kMarker | (std::uint64_t(unit[0]) << 47) | (std::uint64_t(unit[1]) << 31) |
               (std::uint64_t(unit[2]) << 15) | (exact ? 0 : kInexact) | (unit[3] >> 2);
    }
};

// Each sort entry carries the codes of the first keys, so most comparisons
// touch only the entries; the row index as the last key makes the in-place
// sort stable without the extra buffer a stable sort would take.
constexpr std::size_t kCarriedKeys = 3;

struct SortEntry {
    std::uint64_t code[kCarriedKeys];
    std::uint32_t index;
};

void addSortEntry(std::vector<SortEntry>& entries, std::vector<SortKey>& keys, RowContext& ctx) {
    SortEntry entry{{}, std::uint32_t(entries.size())};
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const std::uint64_t code = keys[k].add(ctx);
        if (k < kCarriedKeys) {
            entry.code[k] = code;
        } else {
            keys[k].codes.push_back(code);
        }
    }
    entries.push_back(entry);
}

// Order of two entries whose codes agree before key `from` and, when `from`
// is a key, on it too.
bool lessFrom(const SortEntry& x, const SortEntry& y, const std::vector<SortKey>& keys,
              std::size_t from) {
    for (std::size_t k = from; k < keys.size(); ++k) {
        const std::uint64_t cx = k < kCarriedKeys ? x.code[k] : keys[k].codes[x.index];
        const std::uint64_t cy = k < kCarriedKeys ? y.code[k] : keys[k].codes[y.index];
        if (cx != cy) {
            return cx < cy;
        }
        if (const int c = keys[k].compareText(x.index, y.index, cx); c != 0) {
            return c < 0;
        }
    }
    return x.index < y.index;
}

// Sorts the rows by the keys, ties kept in the table's order. Most pairs part
// on a carried code, which is all the inlined comparison looks at; a key
// absent from the entry leaves its code 0 in both.
void sortRows(std::vector<RowLocation>& rows, std::vector<SortEntry>& entries,
              std::vector<SortKey>& keys) {
    // Per carried key, what turns a code into one where the inexact bit
    // shows: a code of a number key or of no key never hides anything.
    std::uint64_t flip[kCarriedKeys] = {};
    std::uint64_t hides[kCarriedKeys] = {};
    for (std::size_t k = 0; k < kCarriedKeys && k < keys.size(); ++k) {
        flip[k] = keys[k].descending ? ~std::uint64_t(0) : 0;
        hides[k] = keys[k].text ? SortKey::kInexact : 0;
    }
    std::sort(entries.begin(), entries.end(), [&](const SortEntry& x, const SortEntry& y) {
        for (std::size_t k = 0; k < kCarriedKeys; ++k) {
            if (x.code[k] != y.code[k]) {
                return x.code[k] < y.code[k];
            }
            if (((x.code[k] ^ flip[k]) & hides[k]) != 0) {
                return lessFrom(x, y, keys, k);
            }
        }
        return lessFrom(x, y, keys, kCarriedKeys);
    });
    keys.clear();
    std::vector<RowLocation> sorted(rows.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        sorted[i] = rows[entries[i].index];
    }
    entries = {};
    rows = std::move(sorted);
}

}  // namespace

std::unique_ptr<ResultSet> executeSelect(const std::shared_ptr<Database>& database,
                                         const QString& sql) {
    SqlParser parser(sql);
    const SqlSelect select = parser.parseSelect();
    const Table& table = database->table(select.table.text);
    const Binder binder(table);

    std::vector<int> selected;
    if (select.allColumns) {
        selected.resize(table.columns.size());
        std::iota(selected.begin(), selected.end(), 0);
    } else {
        for (const SqlName& name : select.columns) {
            selected.push_back(binder.columnIndex(name));
        }
    }
    const std::unique_ptr<Node> filter = select.where ? binder.bind(*select.where) : nullptr;
    std::vector<SortKey> keys(select.orderBy.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
        keys[k].column = &binder.column(select.orderBy[k].column);
        keys[k].descending = select.orderBy[k].descending;
        keys[k].text = keys[k].column->valueClass == ValueClass::Text;
        if (keys[k].column->valueClass == ValueClass::Other) {
            raise(QStringLiteral("不能按列 '%1' 排序。").arg(keys[k].column->name));
        }
    }

    // Making room once spares the copies a growing buffer makes, and pages
    // never written to cost nothing.
    const std::size_t room = database->rowSlots(table);
    std::vector<RowLocation> rows;
    rows.reserve(room);
    std::vector<SortEntry> entries;
    if (!keys.empty()) {
        entries.reserve(room);
    }
    for (std::size_t k = 0; k < keys.size(); ++k) {
        keys[k].reserve(room, k < kCarriedKeys);
    }
    std::vector<RowLocation> pageRows;
    RowContext ctx{*database, nullptr, {}, {}, {}};
    for (const std::uint32_t page : table.dataPages) {
        pageRows.clear();
        database->rowsOfPage(table, page, pageRows);
        for (const RowLocation& location : pageRows) {
            const RowReader row(*database, table, location);
            ctx.row = &row;
            if (filter && evaluate(*filter, ctx) != Truth::True) {
                continue;
            }
            rows.push_back(location);
            if (!keys.empty()) {
                addSortEntry(entries, keys, ctx);
            }
        }
    }

    if (!keys.empty()) {
        sortRows(rows, entries, keys);
    }
    return std::make_unique<ResultSet>(database, table, std::move(selected), std::move(rows));
}

ResultSet::ResultSet(std::shared_ptr<Database> database, const Table& table,
                     std::vector<int> selected, std::vector<RowLocation> rows)
    : m_db(std::move(database)),
      m_table(table),
      m_selected(std::move(selected)),
      m_rows(std::move(rows)) {}

QStringList ResultSet::columnNames() const {
    QStringList names;
    for (const int index : m_selected) {
        names.append(m_table.columns[std::size_t(index)].name);
    }
    return names;
}

int ResultSet::selectedIndex(const QString& name) const {
    for (std::size_t i = 0; i < m_selected.size(); ++i) {
        if (m_table.columns[std::size_t(m_selected[i])].name.compare(name, Qt::CaseInsensitive) ==
            0) {
            return int(i);
        }
    }
    return -1;
}

const RowReader& ResultSet::reader(std::size_t row) const {
    if (!m_reader || m_readerRow != row) {
        m_reader.reset();
        m_reader.emplace(*m_db, m_table, m_rows[row]);
        m_readerRow = row;
        // Rows are read in sorted order, which jumps about the file: ask for a
        // row a little ahead so its page is in cache when the caller gets there.
        constexpr std::size_t kPrefetchDistance = 8;
        if (row + kPrefetchDistance < m_rows.size()) {
            __builtin_prefetch(m_db->rowBytes(m_rows[row + kPrefetchDistance]));
        }
    }
    return *m_reader;
}

Value ResultSet::value(std::size_t row, int selectedIndex) const {
    const Column& column = m_table.columns[std::size_t(m_selected[std::size_t(selectedIndex)])];
    return m_db->value(reader(row), column);
}

void ResultSet::appendJsonLine(std::size_t row, std::string& out) const {
    if (!m_json) {
        m_json.emplace(*m_db, m_table, m_selected);
    }
    m_json->append(reader(row), out);
}

}  // namespace vaskord::data
