#include "core/SongListing.h"

#include "core/SongFiles.h"

using namespace Qt::StringLiterals;

namespace vaskord {

int listSongFiles(CandidateRows& rows, SongFileFinder& finder, int limit,
                  const std::function<void(const SongRow&)>& addRow) {
    int matched = 0;
    // The limit counts listed songs, so rows without a file cost no share of it.
    while (!rows.atEnd() && matched < limit) {
        const QString code = rows.fieldText(u"S_Code"_s);
        QString path = finder.find(code);
        if (!path.isEmpty()) {
            ++matched;
            addRow(SongRow{
                code,
                rows.fieldText(u"S_NAME"_s),
                rows.fieldText(u"S_Singer1"_s),
                rows.fieldText(u"S_Singer2"_s),
                rows.fieldText(u"S_CopyDest"_s),
                rows.fieldText(u"S_COUNT"_s),
                rows.fieldText(u"S_INPUTDATE"_s),
                std::move(path),
            });
        }
        rows.next();
    }
    return matched;
}

QString queryingStatus() {
    return u"请耐心等待,正在查询符合条件的曲库记录..."_s;
}

QString findingFilesStatus(int recordCount) {
    return u"请耐心等待,符合条件的曲库记录数为"_s + QString::number(recordCount) +
           u",正在查找歌曲文件..."_s;
}

QString listingSummary(int recordCount, int matched) {
    return u"符合条件的曲库记录数为:"_s + QString::number(recordCount) +
           u",匹配歌曲文件的数量为:"_s + QString::number(matched);
}

}  // namespace vaskord
