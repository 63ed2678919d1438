#pragma once

#include <QString>
#include <QStringList>

#include "core/SongQuery.h"

namespace vaskord::cli {

enum ExitCode : int {
    kExitDone = 0,
    kExitFailed = 1,  // a database or file-system error
    kExitUsage = 2,   // a usage or input error
};

enum class Command { Help, Version, Sql, Find, Delete, Restore };

// What the command line asks for. The criteria of find and delete are read
// into the same QueryInput the window fills, so the checks and the SQL text
// stay those of the core.
struct Invocation {
    Command command = Command::Help;
    QString usageError;  // non-empty: the command line is wrong, nothing runs

    QString library;  // sql only; find and delete carry it in input
    QString sql;
    QueryInput input;
    bool showSql = false;
    bool confirmed = false;  // --yes

    // delete: where the files go instead of being deleted; restore: whence
    // they come back. An empty moveTo and no trash: delete deletes.
    QString moveTo;
    bool trash = false;
    QStringList restoreFiles;  // restore --trash: only these original paths
};

Invocation parseCommandLine(const QStringList& arguments);

QString helpText();

}  // namespace vaskord::cli
