#pragma once

#include <QDateTime>
#include <QString>

// One comment of a post.
struct StandinComment
{
    QString id;
    QString authorId; // empty for an anonymous comment
    QString authorName;
    QString authorImage;
    QDateTime published;
    QDateTime updated;
    QString content; // HTML

    bool operator==(const StandinComment&) const = default;
};
