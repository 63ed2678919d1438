#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

namespace vaskord {

// The prompts of the query checks, in the order they are checked.
inline constexpr char kPromptNoLibrary[] = "请先选择歌库文件!";
inline constexpr char kPromptNoSongFolders[] = "请添加歌曲路径!";
inline constexpr char kPromptEmptyDate[] = "选择了限制日期,日期不能为空!";
inline constexpr char kPromptEmptySongNo[] = "歌曲编号不能为空!";
inline constexpr char kPromptEmptySongName[] = "歌曲名称不能为空!";
inline constexpr char kPromptEmptySinger[] = "歌星姓名不能为空!";

// What the operator set for one candidate query, read off the window or the
// command line.
struct QueryInput {
    QString libraryPath;      // the library file box, as shown
    QStringList folderLines;  // the folder memo, one folder per line
    QString countText;        // the request-count threshold exactly as its box shows it
    int showCount = 100;      // the result limit, 1 to 1000

    bool limitDate = false;
    QString dateText;  // the date box's text; empty when the operator cleared it
    QDate date;

    bool songNo = false;
    QString songNoText;
    bool songName = false;
    QString songNameText;
    bool singer = false;
    QString singerText;
};

// The outcome of checking the input and composing the SQL text.
struct CandidateQueryPlan {
    QString prompt;                   // non-empty: show it and stop
    bool songFoldersRebuilt = false;  // the folder list was rebuilt (before any criteria prompt)
    QStringList songFolders;          // the normalized folders, when rebuilt
    QString sql;                      // the candidate SQL, when there is no prompt
    int limit = 0;                    // the result limit, when there is no prompt
};

// Checks library, folders and the ticked criteria in the order the operator
// sees them and composes the candidate SQL.
CandidateQueryPlan planCandidateQuery(const QueryInput& input);

// The optional criteria clauses, each beginning with " and ". Sets prompt and
// returns no clauses at the first ticked criterion that is empty.
struct CriteriaText {
    QString prompt;
    QString clauses;
};
CriteriaText buildCriteriaText(const QueryInput& input);

// ' + text + "%" + ', with every quote inside doubled.
QString quotedPrefixPattern(const QString& text);

// Removes leading and trailing blanks and control characters (code points up to U+0020).
QString trimBlanksAndControls(const QString& text);

QString candidateSql(const QString& countText, const QString& criteriaClauses);

}  // namespace vaskord
