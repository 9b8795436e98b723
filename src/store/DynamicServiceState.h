#pragma once

#include "model/PostEnumerations.h"

#include <QMutex>
#include <QString>

// The in-memory selection: current account and blog, and how the post list is shown.
// Read from background work too, so every field is guarded and handed out as a copy.
class DynamicServiceState
{
public:
    DynamicServiceState() = default;
    DynamicServiceState(const DynamicServiceState&) = delete;
    DynamicServiceState& operator=(const DynamicServiceState&) = delete;

    QString blogId() const;
    void setBlogId(const QString& blogId);
    QString userId() const;
    void setUserId(const QString& userId);
    PostArea area() const;
    void setArea(PostArea area);
    PostSortOptions sort() const;
    void setSort(PostSortOptions sort);
    PostSortOrderOptions sortOrder() const;
    void setSortOrder(PostSortOrderOptions sortOrder);

private:
    mutable QMutex m_mutex;
    QString m_blogId = QString("");
    QString m_userId = QString("");
    PostArea m_area = PostArea::Published;
    PostSortOptions m_sort = PostSortOptions::UpdatedDate;
    PostSortOrderOptions m_sortOrder = PostSortOrderOptions::Descending;
};
