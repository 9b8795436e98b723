#include "PostAreaAndStatusConverter.h"

#include <array>

PostArea PostAreaAndStatusConverter::areaForStatus(PostStatus status) const
{
    switch (status) {
    case PostStatus::Published:
    case PostStatus::Scheduled:
        return PostArea::Published;
    case PostStatus::Draft:
        return PostArea::Draft;
    default:
        return PostArea::Offline;
    }
}

PostArea PostAreaAndStatusConverter::areaFromString(const QString& text) const
{
    for (PostArea area : {PostArea::Published, PostArea::Draft, PostArea::Offline}) {
        if (text == rawValue(area)) {
            return area;
        }
    }
    return PostArea::Offline;
}

PostStatus PostAreaAndStatusConverter::statusFromString(const QString& text) const
{
    static constexpr std::array statuses{PostStatus::Published, PostStatus::Scheduled,  PostStatus::Draft,
                                         PostStatus::Offline,   PostStatus::SyncedCopy, PostStatus::Deleted,
                                         PostStatus::Autosaved};
    for (PostStatus status : statuses) {
        if (text == rawValue(status)) {
            return status;
        }
    }
    return PostStatus::Offline;
}
