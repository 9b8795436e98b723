#pragma once

#include "StandinComment.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// One post of a blog. Scheduled means not a draft and published later than updated.
struct StandinPost
{
    QString id;
    QString title;
    QString content; // HTML
    QStringList labels;
    QDateTime published;
    QDateTime updated;
    bool draft = false;
    QString urlPath; // "2015/03/slug.html" under the blog address; empty while a draft
    QList<StandinComment> comments;

    bool isScheduled() const { return !draft && published > updated; }

    bool operator==(const StandinPost&) const = default;
};
