#pragma once

#include <QString>
#include <functional>

namespace vaskord {

class SongFileFinder;

// What the listing pass needs of an open candidate query.
class CandidateRows {
public:
    virtual ~CandidateRows() = default;
    virtual bool atEnd() const = 0;
    virtual void next() = 0;
    // The field of the current row as display text.
    virtual QString fieldText(const QString& column) const = 0;
};

// One row of the result list: song number, then the seven sub-items.
struct SongRow {
    QString code;
    QString name;
    QString singer1;
    QString singer2;
    QString copyDest;
    QString count;
    QString inputDate;
    QString path;  // the song file's full path
};

// Walks the rows in order and hands each song whose file exists to addRow,
// until the rows run out or `limit` songs are listed. Returns how many were
// listed. An exception from the rows ends the pass with the rows handed so far.
int listSongFiles(CandidateRows& rows, SongFileFinder& finder, int limit,
                  const std::function<void(const SongRow&)>& addRow);

QString queryingStatus();
QString findingFilesStatus(int recordCount);
QString listingSummary(int recordCount, int matched);

}  // namespace vaskord
