#include "DynamicServiceState.h"

QString DynamicServiceState::blogId() const
{
    QMutexLocker locker(&m_mutex);
    return m_blogId;
}

void DynamicServiceState::setBlogId(const QString& blogId)
{
    QMutexLocker locker(&m_mutex);
    m_blogId = blogId;
}

QString DynamicServiceState::userId() const
{
    QMutexLocker locker(&m_mutex);
    return m_userId;
}

void DynamicServiceState::setUserId(const QString& userId)
{
    QMutexLocker locker(&m_mutex);
    m_userId = userId;
}

PostArea DynamicServiceState::area() const
{
    QMutexLocker locker(&m_mutex);
    return m_area;
}

void DynamicServiceState::setArea(PostArea area)
{
    QMutexLocker locker(&m_mutex);
    m_area = area;
}

PostSortOptions DynamicServiceState::sort() const
{
    QMutexLocker locker(&m_mutex);
    return m_sort;
}

void DynamicServiceState::setSort(PostSortOptions sort)
{
    QMutexLocker locker(&m_mutex);
    m_sort = sort;
}

PostSortOrderOptions DynamicServiceState::sortOrder() const
{
    QMutexLocker locker(&m_mutex);
    return m_sortOrder;
}

void DynamicServiceState::setSortOrder(PostSortOrderOptions sortOrder)
{
    QMutexLocker locker(&m_mutex);
    m_sortOrder = sortOrder;
}
