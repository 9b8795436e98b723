#pragma once

#include "StandinPost.h"

#include <QDateTime>
#include <QList>
#include <QString>

// One blog and its posts.
struct StandinBlog
{
    QString id;
    QString ownerId; // StandinAccount::id
    QString name;
    QString description;
    QString path; // the blog's address is base + "/" + path + "/"
    QDateTime published;
    QDateTime updated;
    int utcOffsetMinutes = 0; // the blog's time zone, used when writing dates
    QString language = "en";
    QList<StandinPost> posts;

    bool operator==(const StandinBlog&) const = default;
};
