#include "PostEnumerations.h"

QString rawValue(PostStatus status)
{
    switch (status) {
    case PostStatus::Published:
        return QStringLiteral("Published");
    case PostStatus::Scheduled:
        return QStringLiteral("Scheduled");
    case PostStatus::Draft:
        return QStringLiteral("Draft");
    case PostStatus::Offline:
        return QStringLiteral("Offline");
    case PostStatus::SyncedCopy:
        return QStringLiteral("Synced Copy");
    case PostStatus::Deleted:
        return QStringLiteral("Deleted");
    case PostStatus::Autosaved:
        return QStringLiteral("Autosaved");
    }
    return QStringLiteral("Offline");
}

QString rawValue(PostArea area)
{
    switch (area) {
    case PostArea::Published:
        return QStringLiteral("Published");
    case PostArea::Draft:
        return QStringLiteral("Draft");
    case PostArea::Offline:
        return QStringLiteral("Offline");
    }
    return QStringLiteral("Offline");
}

QString rawValue(PostSortOptions option)
{
    switch (option) {
    case PostSortOptions::PublishDate:
        return QStringLiteral("PublishDate");
    case PostSortOptions::UpdatedDate:
        return QStringLiteral("UpdatedDate");
    case PostSortOptions::Title:
        return QStringLiteral("Title");
    case PostSortOptions::CommentsCount:
        return QStringLiteral("CommentsCount");
    }
    return QStringLiteral("PublishDate");
}

QString rawValue(PostSortOrderOptions order)
{
    return order == PostSortOrderOptions::Ascending ? QStringLiteral("ASC") : QStringLiteral("DESC");
}

QString rawValue(PostFilterOptions filter)
{
    return filter == PostFilterOptions::ByArea ? QStringLiteral("PostArea") : QStringLiteral("PostStatus");
}
