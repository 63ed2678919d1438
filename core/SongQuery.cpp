#include "core/SongQuery.h"

#include <algorithm>

#include "core/SongFolders.h"

using namespace Qt::StringLiterals;

namespace vaskord {

namespace {

constexpr int kMinShowCount = 1;
constexpr int kMaxShowCount = 1000;

// A text criterion: its box, its prompt and the clause it adds around the pattern.
struct TextCriterion {
    bool ticked;
    const QString& text;
    const char* prompt;
    QString (*clause)(const QString& pattern);
};

QString songNoClause(const QString& pattern) {
    return u" and S_Code like "_s + pattern;
}

QString songNameClause(const QString& pattern) {
    return u" and S_NAME like "_s + pattern;
}

QString singerClause(const QString& pattern) {
    return u" and ( S_Singer1 like "_s + pattern + u" OR S_Singer2 like "_s + pattern + u")"_s;
}

}  // namespace

QString trimBlanksAndControls(const QString& text) {
    // QString::trimmed() would also strip U+3000 and other Unicode spaces, which
    // an operator may type on purpose; only blanks and controls go.
    const auto isTrimmed = [](QChar c) { return c.unicode() <= 0x20; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isTrimmed(text.at(begin))) {
        ++begin;
    }
    while (end > begin && isTrimmed(text.at(end - 1))) {
        --end;
    }
    return text.mid(begin, end - begin);
}

QString quotedPrefixPattern(const QString& text) {
    QString inner = text;
    inner.replace(u'\'', u"''"_s);
    return u'\'' + inner + u"%'"_s;
}

CriteriaText buildCriteriaText(const QueryInput& input) {
    CriteriaText result;
    QStringList clauses;

    if (input.limitDate) {
        // An invalid date cannot be written as a Jet date literal; it would only
        // turn into a syntax error later, so it is treated like a cleared box.
        if (input.dateText.isEmpty() || !input.date.isValid()) {
            result.prompt = QString::fromUtf8(kPromptEmptyDate);
            return result;
        }
        clauses << u" and S_INPUTDATE<#"_s + input.date.toString(u"yyyy-MM-dd"_s) + u'#';
    }

    const TextCriterion textCriteria[] = {
        {input.songNo, input.songNoText, kPromptEmptySongNo, songNoClause},
        {input.songName, input.songNameText, kPromptEmptySongName, songNameClause},
        {input.singer, input.singerText, kPromptEmptySinger, singerClause},
    };
    for (const TextCriterion& criterion : textCriteria) {
        if (!criterion.ticked) {
            continue;
        }
        const QString trimmed = trimBlanksAndControls(criterion.text);
        if (trimmed.isEmpty()) {
            result.prompt = QString::fromUtf8(criterion.prompt);
            return result;
        }
        clauses << criterion.clause(quotedPrefixPattern(trimmed));
    }

    result.clauses = clauses.join(QString());
    return result;
}

QString candidateSql(const QString& countText, const QString& criteriaClauses) {
    const QStringList parts = {
        u" Select S_Code,S_NAME,S_Singer1,S_Singer2,S_INPUTCODE,S_CopyDest, S_COUNT,S_INPUTDATE,S_IFUsed from Ok_Song Where S_COUNT<"_s,
        countText,
        criteriaClauses,
        u" order by S_COUNT,S_INPUTCODE,S_Code"_s,
    };
    return parts.join(QString());
}

CandidateQueryPlan planCandidateQuery(const QueryInput& input) {
    CandidateQueryPlan plan;
    if (input.libraryPath.isEmpty()) {
        plan.prompt = QString::fromUtf8(kPromptNoLibrary);
        return plan;
    }
    // Empty memo lines name no folder: a memo read as one empty line is an empty memo.
    const QStringList folders = normalizeSongFolders(input.folderLines);
    if (folders.isEmpty()) {
        plan.prompt = QString::fromUtf8(kPromptNoSongFolders);
        return plan;
    }
    for (const QString& folder : folders) {
        plan.prompt = songFolderProblem(folder);
        if (!plan.prompt.isEmpty()) {
            return plan;
        }
    }
    plan.songFoldersRebuilt = true;
    plan.songFolders = folders;

    const CriteriaText criteria = buildCriteriaText(input);
    if (!criteria.prompt.isEmpty()) {
        plan.prompt = criteria.prompt;
        return plan;
    }
    plan.limit = std::clamp(input.showCount, kMinShowCount, kMaxShowCount);
    plan.sql = candidateSql(input.countText, criteria.clauses);
    return plan;
}

}  // namespace vaskord
