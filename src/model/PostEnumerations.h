#pragma once

#include <QString>

#include <cstdint>

// The raw values are what the POSTS table stores and what the post list queries name.

enum class PostStatus : std::uint8_t
{
    Published,
    Scheduled,
    Draft,
    Offline,
    SyncedCopy,
    Deleted,
    Autosaved
};

enum class PostArea : std::uint8_t
{
    Published,
    Draft,
    Offline
};

enum class PostSortOptions : std::uint8_t
{
    PublishDate,
    UpdatedDate,
    Title,
    CommentsCount
};

enum class PostSortOrderOptions : std::uint8_t
{
    Ascending,
    Descending
};

enum class PostFilterOptions : std::uint8_t
{
    ByArea,
    ByStatus
};

enum class PublishedToOfflineUpdateType : std::uint8_t
{
    NoUpdate,
    OfflineCopy,
    DeletePublishedVersion,
    SyncedCopy
};

QString rawValue(PostStatus status);
QString rawValue(PostArea area);
QString rawValue(PostSortOptions option);
QString rawValue(PostSortOrderOptions order);
QString rawValue(PostFilterOptions filter);
