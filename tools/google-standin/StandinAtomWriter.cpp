#include "StandinAtomWriter.h"

#include "StandinDates.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

namespace {

const QString XmlDecl = QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>");
const QString AtomNs = QStringLiteral("http://www.w3.org/2005/Atom");
const QString GdNs = QStringLiteral("http://schemas.google.com/g/2005");
const QString ThrNs = QStringLiteral("http://purl.org/syndication/thread/1.0");
const QString App2007Ns = QStringLiteral("http://www.w3.org/2007/app");
const QString AppOldNs = QStringLiteral("http://purl.org/atom/app#");
const QString LabelScheme = QStringLiteral("http://www.blogger.com/atom/ns#");

QString blogUrl(const StandinBlog& blog, const QString& base)
{
    return base + QLatin1Char('/') + blog.path + QLatin1Char('/');
}

QString feedUrl(const StandinBlog& blog, const QString& base)
{
    return base + QStringLiteral("/feeds/") + blog.id + QStringLiteral("/posts/default");
}

QString plainText(const QString& html)
{
    QString text = html;
    text.replace(QRegularExpression(QStringLiteral("<br\\s*/?>"), QRegularExpression::CaseInsensitiveOption),
                 QStringLiteral(" "));
    text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    text.replace(QStringLiteral("&#39;"), QStringLiteral("'"));
    text.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return text.simplified();
}

} // namespace

QString StandinAtomWriter::escape(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar ch : text) {
        switch (ch.unicode()) {
        case '&':
            out += QStringLiteral("&amp;");
            break;
        case '<':
            out += QStringLiteral("&lt;");
            break;
        case '>':
            out += QStringLiteral("&gt;");
            break;
        case '\'':
            out += QStringLiteral("&apos;");
            break;
        case '"':
            out += QStringLiteral("&quot;");
            break;
        default:
            out += ch;
        }
    }
    return out;
}

QString StandinAtomWriter::postTagId(const QString& blogId, const QString& postId)
{
    return QStringLiteral("tag:blogger.com,1999:blog-") + blogId + QStringLiteral(".post-") + postId;
}

QString StandinAtomWriter::etag(const QString& seed)
{
    const QByteArray hash = QCryptographicHash::hash(seed.toUtf8(), QCryptographicHash::Sha1).toBase64();
    return QStringLiteral("W/\"") + QString::fromLatin1(hash.left(26)) + QStringLiteral(".\"");
}

QString StandinAtomWriter::firstImage(const QString& html)
{
    static const QRegularExpression re(QStringLiteral("<img[^>]*\\ssrc\\s*=\\s*[\"']([^\"']+)[\"']"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(html);
    return m.hasMatch() ? m.captured(1) : QString();
}

QString StandinAtomWriter::photoAddress(const StandinPhoto& photo, const QString& base)
{
    return base + QStringLiteral("/photos/") + photo.id + QLatin1Char('/') +
           QString::fromUtf8(QUrl::toPercentEncoding(photo.fileName));
}

QString StandinAtomWriter::authorElement(const StandinAccount& owner, const QString& base, bool withImage)
{
    QString out = QStringLiteral("<author><name>") + escape(owner.name) + QStringLiteral("</name><uri>") +
                  escape(base + QStringLiteral("/profile/") + owner.profileId) +
                  QStringLiteral("</uri><email>noreply@blogger.com</email>");
    if (withImage) {
        const QString image =
            owner.picture.isEmpty() ? base + QStringLiteral("/img/b16-rounded.gif") : owner.picture;
        out +=
            QStringLiteral(
                "<gd:image rel='http://schemas.google.com/g/2005#thumbnail' width='16' height='16' src='") +
            escape(image) + QStringLiteral("'/>");
    }
    return out + QStringLiteral("</author>");
}

QString StandinAtomWriter::entryBody(const StandinBlog& blog, const StandinPost& post,
                                     const StandinAccount& owner, const QString& base, bool gdata2)
{
    const int off = blog.utcOffsetMinutes;
    const QString edit = feedUrl(blog, base) + QLatin1Char('/') + post.id;
    QString out;
    out += QStringLiteral("<id>") + postTagId(blog.id, post.id) + QStringLiteral("</id>");
    out += QStringLiteral("<published>") + StandinDates::write(post.published, off) +
           QStringLiteral("</published>");
    out +=
        QStringLiteral("<updated>") + StandinDates::write(post.updated, off) + QStringLiteral("</updated>");
    if (gdata2) {
        out += QStringLiteral("<app:edited xmlns:app='") + App2007Ns + QStringLiteral("'>") +
               StandinDates::write(post.updated, off) + QStringLiteral("</app:edited>");
    }
    for (const QString& label : post.labels) {
        out += QStringLiteral("<category scheme='") + LabelScheme + QStringLiteral("' term='") +
               escape(label) + QStringLiteral("'/>");
    }
    if (post.draft) {
        out += QStringLiteral("<app:control xmlns:app='") + (gdata2 ? App2007Ns : AppOldNs) +
               QStringLiteral("'><app:draft>yes</app:draft></app:control>");
    }
    out += gdata2 ? QStringLiteral("<title>") : QStringLiteral("<title type='text'>");
    out += escape(post.title) + QStringLiteral("</title>");
    out += QStringLiteral("<content type='html'>") + escape(post.content) + QStringLiteral("</content>");
    if (!post.draft) {
        const int count = int(post.comments.size());
        out += QStringLiteral("<link rel='replies' type='application/atom+xml' href='") +
               escape(blogUrl(blog, base) + QStringLiteral("feeds/") + post.id +
                      QStringLiteral("/comments/default")) +
               QStringLiteral("' title='Post Comments'/>");
        out += QStringLiteral("<link rel='replies' type='text/html' href='") +
               escape(base + QStringLiteral("/comment.g?blogID=") + blog.id + QStringLiteral("&postID=") +
                      post.id) +
               QStringLiteral("' title='") + QString::number(count) +
               (count == 1 ? QStringLiteral(" Comment'/>") : QStringLiteral(" Comments'/>"));
    }
    out += QStringLiteral("<link rel='edit' type='application/atom+xml' href='") + escape(edit) +
           QStringLiteral("'/>");
    out += QStringLiteral("<link rel='self' type='application/atom+xml' href='") + escape(edit) +
           QStringLiteral("'/>");
    if (!post.draft) {
        out += QStringLiteral("<link rel='alternate' type='text/html' href='") +
               escape(blogUrl(blog, base) + post.urlPath) + QStringLiteral("' title='") + escape(post.title) +
               QStringLiteral("'/>");
    }
    out += authorElement(owner, base, gdata2 && !post.draft && !post.isScheduled());
    const QString image = firstImage(post.content);
    if (!image.isEmpty()) {
        out += QStringLiteral("<media:thumbnail xmlns:media='http://search.yahoo.com/mrss/' url='") +
               escape(image) + QStringLiteral("' height='72' width='72'/>");
    }
    if (!post.draft)
        out += QStringLiteral("<thr:total>") + QString::number(post.comments.size()) +
               QStringLiteral("</thr:total>");
    return out;
}

QByteArray StandinAtomWriter::postEntry(const StandinBlog& blog, const StandinPost& post,
                                        const StandinAccount& owner, const QString& base, bool gdata2)
{
    QString out = XmlDecl + QStringLiteral("<entry xmlns='") + AtomNs + QStringLiteral("'");
    if (gdata2) {
        out += QStringLiteral(" xmlns:gd='") + GdNs + QStringLiteral("' xmlns:thr='") + ThrNs +
               QStringLiteral("' gd:etag='") +
               escape(etag(blog.id + post.id + StandinDates::write(post.updated, 0))) + QStringLiteral("'>");
    } else {
        out += QStringLiteral(" xmlns:thr='") + ThrNs + QStringLiteral("'>");
    }
    out += entryBody(blog, post, owner, base, gdata2) + QStringLiteral("</entry>");
    return out.toUtf8();
}

QByteArray StandinAtomWriter::postsFeed(const StandinBlog& blog, const FeedPage& page,
                                        const StandinAccount& owner, const QString& base, bool gdata2)
{
    const int off = blog.utcOffsetMinutes;
    QDateTime updated = blog.updated;
    for (const StandinPost& p : blog.posts)
        updated = qMax(updated, p.updated);
    const QString openSearchNs = gdata2 ? QStringLiteral("http://a9.com/-/spec/opensearch/1.1/")
                                        : QStringLiteral("http://a9.com/-/spec/opensearchrss/1.0/");
    const QString openSearch =
        QStringLiteral("<openSearch:totalResults>") + QString::number(page.totalResults) +
        QStringLiteral("</openSearch:totalResults><openSearch:startIndex>") +
        QString::number(page.startIndex) +
        QStringLiteral("</openSearch:startIndex><openSearch:itemsPerPage>") +
        QString::number(page.itemsPerPage) + QStringLiteral("</openSearch:itemsPerPage>");
    const QString generator =
        QStringLiteral("<generator version='7.00' uri='http://www.blogger.com'>Blogger</generator>");
    const QString id = QStringLiteral("<id>tag:blogger.com,1999:blog-") + blog.id + QStringLiteral("</id>");
    const QString updatedElement =
        QStringLiteral("<updated>") + StandinDates::write(updated, off) + QStringLiteral("</updated>");
    const QString alternate = QStringLiteral("<link rel='alternate' type='text/html' href='") +
                              escape(blogUrl(blog, base)) + QStringLiteral("'/>");

    QString out = XmlDecl + QStringLiteral("<feed xmlns='") + AtomNs +
                  QStringLiteral("' xmlns:openSearch='") + openSearchNs + QStringLiteral("'");
    if (page.posts.isEmpty()) {
        // A page past the last post carries only the feed's bare description.
        if (gdata2)
            out += QStringLiteral(" xmlns:gd='") + GdNs + QStringLiteral("'");
        out += QStringLiteral(" xmlns:thr='") + ThrNs + QStringLiteral("'>");
        out += id + updatedElement + QStringLiteral("<title>") + escape(blog.name) +
               QStringLiteral("</title>") + alternate + QStringLiteral("<author><name>") +
               escape(owner.name) + QStringLiteral("</name></author>") + generator + openSearch +
               QStringLiteral("</feed>");
        return out.toUtf8();
    }

    out += QStringLiteral(" xmlns:blogger='http://schemas.google.com/blogger/2008' "
                          "xmlns:georss='http://www.georss.org/georss'");
    if (gdata2) {
        out += QStringLiteral(" xmlns:gd='") + GdNs + QStringLiteral("' xmlns:thr='") + ThrNs +
               QStringLiteral("' gd:etag='") + escape(etag(blog.id + StandinDates::write(updated, 0))) +
               QStringLiteral("'>");
    } else {
        out += QStringLiteral(" xmlns:thr='") + ThrNs + QStringLiteral("'>");
    }
    out += id + updatedElement;
    QStringList labels;
    QSet<QString> seen;
    for (const StandinPost& p : blog.posts) {
        for (const QString& l : p.labels) {
            if (!seen.contains(l)) {
                seen.insert(l);
                labels.append(l);
            }
        }
    }
    for (const QString& l : labels) {
        out += QStringLiteral("<category scheme='") + LabelScheme + QStringLiteral("' term='") + escape(l) +
               QStringLiteral("'/>");
    }
    out += gdata2 ? QStringLiteral("<title>") : QStringLiteral("<title type='text'>");
    out += escape(blog.name) + QStringLiteral("</title><subtitle type='html'>") + escape(blog.description) +
           QStringLiteral("</subtitle>");
    const QString feed = feedUrl(blog, base);
    const QString orderBy =
        page.orderBy.isEmpty() ? QString() : QStringLiteral("orderby=") + page.orderBy + QLatin1Char('&');
    out += QStringLiteral(
               "<link rel='http://schemas.google.com/g/2005#feed' type='application/atom+xml' href='") +
           escape(feed) + QStringLiteral("'/>");
    out += QStringLiteral("<link rel='self' type='application/atom+xml' href='") +
           escape(feed + QLatin1Char('?') + orderBy + QStringLiteral("max-results=") +
                  QString::number(page.itemsPerPage) + QStringLiteral("&start-index=") +
                  QString::number(page.startIndex)) +
           QStringLiteral("'/>");
    out += alternate;
    out += QStringLiteral("<link rel='hub' href='http://pubsubhubbub.appspot.com/'/>");
    const int nextIndex = page.startIndex + int(page.posts.size());
    if (nextIndex <= page.totalResults) {
        out += QStringLiteral("<link rel='next' type='application/atom+xml' href='") +
               escape(feed + QLatin1Char('?') + orderBy + QStringLiteral("start-index=") +
                      QString::number(nextIndex) + QStringLiteral("&max-results=") +
                      QString::number(page.itemsPerPage)) +
               QStringLiteral("'/>");
    }
    out += authorElement(owner, base, gdata2);
    out += generator + openSearch;
    for (const StandinPost* p : page.posts) {
        out += QStringLiteral("<entry");
        if (gdata2) {
            out += QStringLiteral(" gd:etag='") +
                   escape(etag(blog.id + p->id + StandinDates::write(p->updated, 0))) + QStringLiteral("'");
        }
        out += QLatin1Char('>') + entryBody(blog, *p, owner, base, gdata2) + QStringLiteral("</entry>");
    }
    out += QStringLiteral("</feed>");
    return out.toUtf8();
}

QByteArray StandinAtomWriter::commentEntry(const StandinBlog& blog, const StandinPost& post,
                                           const StandinComment& comment, const QString& base)
{
    const int off = blog.utcOffsetMinutes;
    const QString self = base + QStringLiteral("/feeds/") + blog.id + QLatin1Char('/') + post.id +
                         QStringLiteral("/comments/default/") + comment.id;
    const QString postUrl = blogUrl(blog, base) + post.urlPath;
    QString title = plainText(comment.content);
    if (title.size() > 50)
        title = title.left(47) + QStringLiteral("...");
    QString out = XmlDecl + QStringLiteral("<entry xmlns='") + AtomNs + QStringLiteral("' xmlns:gd='") +
                  GdNs + QStringLiteral("' xmlns:thr='") + ThrNs + QStringLiteral("'>");
    out += QStringLiteral("<id>") + postTagId(blog.id, comment.id) + QStringLiteral("</id>");
    out += QStringLiteral("<published>") + StandinDates::write(comment.published, off) +
           QStringLiteral("</published>");
    out += QStringLiteral("<updated>") + StandinDates::write(comment.updated, off) +
           QStringLiteral("</updated>");
    out += QStringLiteral("<title>") + escape(title) + QStringLiteral("</title>");
    out += QStringLiteral("<content type='html'>") + escape(comment.content) + QStringLiteral("</content>");
    out += QStringLiteral("<link rel='edit' type='application/atom+xml' href='") + escape(self) +
           QStringLiteral("'/>");
    out += QStringLiteral("<link rel='self' type='application/atom+xml' href='") + escape(self) +
           QStringLiteral("'/>");
    out +=
        QStringLiteral("<link rel='alternate' type='text/html' href='") +
        escape(postUrl + QStringLiteral("?showComment=") +
               QString::number(comment.published.toMSecsSinceEpoch()) + QStringLiteral("#c") + comment.id) +
        QStringLiteral("' title=''/>");
    const QString profile = comment.authorId.isEmpty()
                                ? base + QStringLiteral("/profile/")
                                : base + QStringLiteral("/profile/") + comment.authorId;
    const QString image =
        comment.authorImage.isEmpty() ? base + QStringLiteral("/img/blank.gif") : comment.authorImage;
    out += QStringLiteral("<author><name>") + escape(comment.authorName) + QStringLiteral("</name><uri>") +
           escape(profile) + QStringLiteral("</uri><email>noreply@blogger.com</email>") +
           QStringLiteral(
               "<gd:image rel='http://schemas.google.com/g/2005#thumbnail' width='32' height='32' src='") +
           escape(image) + QStringLiteral("'/></author>");
    out += QStringLiteral("<thr:in-reply-to xmlns:thr='") + ThrNs + QStringLiteral("' href='") +
           escape(postUrl) + QStringLiteral("' ref='") + postTagId(blog.id, post.id) +
           QStringLiteral("' source='") + escape(feedUrl(blog, base) + QLatin1Char('/') + post.id) +
           QStringLiteral("' type='text/html'/>");
    out += QStringLiteral("<gd:extendedProperty name='blogger.itemClass' value='pid-1178530'/>");
    out += QStringLiteral("<gd:extendedProperty name='blogger.displayTime' value='") +
           escape(StandinDates::displayTime(comment.published, off)) + QStringLiteral("'/>");
    out += QStringLiteral("</entry>");
    return out.toUtf8();
}

QByteArray StandinAtomWriter::photoEntry(const StandinPhoto& photo, const StandinAccount& owner,
                                         const QString& base)
{
    const QString address = photoAddress(photo, base);
    const QString thumb = base + QStringLiteral("/photos/") + photo.id + QStringLiteral("/s72/") +
                          QString::fromUtf8(QUrl::toPercentEncoding(photo.fileName));
    const QString entryPath = base + QStringLiteral("/data/entry/api/user/") + owner.id +
                              QStringLiteral("/albumid/") + photo.albumId + QStringLiteral("/photoid/") +
                              photo.id;
    const QString feedPath = base + QStringLiteral("/data/feed/api/user/") + owner.id +
                             QStringLiteral("/albumid/") + photo.albumId + QStringLiteral("/photoid/") +
                             photo.id;
    const QString type = QString::fromLatin1(photo.contentType);
    int thumbWidth = 72, thumbHeight = 72;
    if (photo.width > 0 && photo.height > 0) {
        if (photo.width >= photo.height)
            thumbHeight = qMax(1, 72 * photo.height / photo.width);
        else
            thumbWidth = qMax(1, 72 * photo.width / photo.height);
    }
    QString out = XmlDecl + QStringLiteral("<entry xmlns='") + AtomNs +
                  QStringLiteral("' xmlns:exif='http://schemas.google.com/photos/exif/2007' "
                                 "xmlns:gphoto='http://schemas.google.com/photos/2007' "
                                 "xmlns:media='http://search.yahoo.com/mrss/'>");
    out += QStringLiteral("<id>") + escape(entryPath) + QStringLiteral("</id>");
    out += QStringLiteral("<published>") + StandinDates::write(photo.published, 0, true) +
           QStringLiteral("</published>");
    out += QStringLiteral("<updated>") + StandinDates::write(photo.published, 0, true) +
           QStringLiteral("</updated>");
    out += QStringLiteral("<category scheme='http://schemas.google.com/g/2005#kind' "
                          "term='http://schemas.google.com/photos/2007#photo'/>");
    out += QStringLiteral("<title type='text'>") + escape(photo.fileName) + QStringLiteral("</title>");
    out += QStringLiteral("<summary type='text'></summary>");
    out += QStringLiteral("<content type='") + escape(type) + QStringLiteral("' src='") + escape(address) +
           QStringLiteral("'/>");
    out += QStringLiteral(
               "<link rel='http://schemas.google.com/g/2005#feed' type='application/atom+xml' href='") +
           escape(feedPath) + QStringLiteral("'/>");
    out += QStringLiteral("<link rel='alternate' type='text/html' href='") +
           escape(base + QStringLiteral("/photos/") + photo.id) + QStringLiteral("'/>");
    out += QStringLiteral("<link rel='self' type='application/atom+xml' href='") + escape(entryPath) +
           QStringLiteral("'/>");
    out += QStringLiteral("<gphoto:id>") + photo.id + QStringLiteral("</gphoto:id>");
    out += QStringLiteral("<gphoto:albumid>") + escape(photo.albumId) + QStringLiteral("</gphoto:albumid>");
    out +=
        QStringLiteral("<gphoto:width>") + QString::number(photo.width) + QStringLiteral("</gphoto:width>");
    out += QStringLiteral("<gphoto:height>") + QString::number(photo.height) +
           QStringLiteral("</gphoto:height>");
    out += QStringLiteral("<gphoto:size>") + QString::number(photo.data.size()) +
           QStringLiteral("</gphoto:size>");
    out += QStringLiteral("<media:group><media:content url='") + escape(address) +
           QStringLiteral("' height='") + QString::number(photo.height) + QStringLiteral("' width='") +
           QString::number(photo.width) + QStringLiteral("' type='") + escape(type) +
           QStringLiteral("' medium='image'/>");
    out += QStringLiteral("<media:credit>") + escape(owner.name) + QStringLiteral("</media:credit>");
    out += QStringLiteral("<media:title type='plain'>") + escape(photo.fileName) +
           QStringLiteral("</media:title>");
    out += QStringLiteral("<media:thumbnail url='") + escape(thumb) + QStringLiteral("' height='") +
           QString::number(thumbHeight) + QStringLiteral("' width='") + QString::number(thumbWidth) +
           QStringLiteral("'/></media:group>");
    out += QStringLiteral("</entry>");
    return out.toUtf8();
}
