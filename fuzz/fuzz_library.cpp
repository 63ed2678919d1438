// libFuzzer target: a library file's bytes are opened as the connection opens
// a file, then every user table is queried in full, with a condition and a
// sort, and every field of every row is decoded. A damaged file may only end
// in DatabaseError.
//
//   cmake -S . -B build-fuzz -DVASKORD_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++
//   -DCMAKE_C_COMPILER=clang cmake --build build-fuzz --target vaskord-fuzz-library fuzz/run.sh
//   build-fuzz 600

#include <cstdint>

#include "data/Connection.h"
#include "data/access/Database.h"
#include "data/query/Executor.h"

using namespace vaskord::data;

namespace {

void readAll(const std::shared_ptr<Database>& db, const QString& sql) {
    try {
        const std::unique_ptr<ResultSet> rows = executeSelect(db, sql);
        const int columns = int(rows->columnNames().size());
        for (std::size_t row = 0; row < rows->size(); ++row) {
            for (int column = 0; column < columns; ++column) {
                displayText(rows->value(row, column));
            }
        }
    } catch (const DatabaseError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::shared_ptr<Database> db;
    try {
        db = Database::fromBytes(data, size, QStringLiteral("fuzz.mdb"));
    } catch (const DatabaseError&) {
        return 0;
    }
    for (const QString& table : db->tableNames()) {
        const Table& def = db->table(table);
        readAll(db, QStringLiteral("select * from [%1]").arg(table));
        if (!def.columns.empty()) {
            const QString first = def.columns.front().name;
            const QString last = def.columns.back().name;
            readAll(db, QStringLiteral("select * from [%1] where [%2] is not null or [%3] like "
                                       "'%a_%' order by [%3] desc, [%2]")
                            .arg(table, first, last));
        }
    }
    readAll(db, QStringLiteral(
                    " Select S_Code,S_NAME,S_Singer1,S_Singer2,S_INPUTCODE,S_CopyDest, S_COUNT,"
                    "S_INPUTDATE,S_IFUsed from Ok_Song Where S_COUNT<100 and "
                    "S_INPUTDATE<#2015-01-01# and S_Code like '1%' and ( S_Singer1 like '张%' OR "
                    "S_Singer2 like '张%') order by S_COUNT,S_INPUTCODE,S_Code"));
    return 0;
}
