#pragma once

#include <QString>

// An account or a comment author.
class BloggerUser
{
public:
    BloggerUser();
    BloggerUser(QString userId, QString userName, QString userLink, QString userPicture);

    QString toString() const;
    bool operator==(const BloggerUser&) const = default;

    QString userId;
    QString userName;
    QString userLink;
    QString userPicture;
};
