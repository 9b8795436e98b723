#pragma once

#include "StandinAccount.h"
#include "StandinBlog.h"
#include "StandinPhoto.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Writes the Atom replies of the Blogger feeds and the photo album feed.
// gdata2 selects the GData 2 form; without it the older form of clients that send no GData-Version header.
class StandinAtomWriter
{
public:
    struct FeedPage
    {
        QList<const StandinPost*> posts;
        int totalResults = 0;
        int startIndex = 1;
        int itemsPerPage = 25;
        QString orderBy; // empty when the request named none
    };

    static QByteArray postEntry(const StandinBlog& blog, const StandinPost& post, const StandinAccount& owner,
                                const QString& base, bool gdata2);
    static QByteArray postsFeed(const StandinBlog& blog, const FeedPage& page, const StandinAccount& owner,
                                const QString& base, bool gdata2);
    static QByteArray commentEntry(const StandinBlog& blog, const StandinPost& post,
                                   const StandinComment& comment, const QString& base);
    static QByteArray photoEntry(const StandinPhoto& photo, const StandinAccount& owner, const QString& base);

    static QString escape(const QString& text);
    static QString postTagId(const QString& blogId, const QString& postId);
    static QString etag(const QString& seed);
    // First image address in a post's HTML, empty when there is none.
    static QString firstImage(const QString& html);
    static QString photoAddress(const StandinPhoto& photo, const QString& base);

private:
    static QString entryBody(const StandinBlog& blog, const StandinPost& post, const StandinAccount& owner,
                             const QString& base, bool gdata2);
    static QString authorElement(const StandinAccount& owner, const QString& base, bool withImage);
};
