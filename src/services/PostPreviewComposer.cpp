#include "PostPreviewComposer.h"

#include "platform/LocalPictures.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

const QString Separator = QStringLiteral(" \u00B7 ");

// The end of the element whose start tag begins at `start`, just past its end tag; -1 when it never ends.
qsizetype endOfElement(const QString& html, qsizetype start)
{
    static const QRegularExpression name(QStringLiteral("^<([A-Za-z][A-Za-z0-9]*)"));
    const QRegularExpressionMatch tag = name.match(QStringView(html).mid(start));
    if (!tag.hasMatch()) {
        return -1;
    }
    const QRegularExpression tags(QStringLiteral("<(/?)") + tag.captured(1) + QStringLiteral("\\b[^>]*>"),
                                  QRegularExpression::CaseInsensitiveOption);
    int depth = 0;
    QRegularExpressionMatchIterator it = tags.globalMatch(html, start);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        if (match.captured(0).endsWith(QLatin1StringView("/>"))) {
            continue;
        }
        depth += match.captured(1).isEmpty() ? 1 : -1;
        if (depth == 0) {
            return match.capturedEnd(0);
        }
    }
    return -1;
}

// The start of the tag whose class attribute holds the class name, or -1.
qsizetype tagWithClass(const QString& html, const QString& className)
{
    const QRegularExpression attribute(QStringLiteral("<[A-Za-z][A-Za-z0-9]*\\s[^>]*\\bclass\\s*=\\s*([\"'])"
                                                      "(?:[^\"']*\\s)?") +
                                           QRegularExpression::escape(className) +
                                           QStringLiteral("(?:\\s[^\"']*)?\\1"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = attribute.match(html);
    return match.hasMatch() ? match.capturedStart(0) : -1;
}

// Just past the start tag that begins at `start`, or -1.
qsizetype afterStartTag(const QString& html, qsizetype start)
{
    const qsizetype close = html.indexOf(QLatin1Char('>'), start);
    return close < 0 ? -1 : close + 1;
}

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

} // namespace

QString PostPreviewComposer::previewTitle(const QString& postTitle)
{
    return QStringLiteral("Preview") + Separator + postTitle;
}

QString PostPreviewComposer::livePreviewTitle(const QString& postTitle)
{
    return QStringLiteral("Live Preview") + Separator + postTitle;
}

QString PostPreviewComposer::templateAddress(const QString& blogUrl)
{
    QString base = blogUrl.trimmed();
    while (base.endsWith(QLatin1Char('/'))) {
        base.chop(1);
    }
    return base + QStringLiteral("/temp/post/title.html");
}

QString PostPreviewComposer::postBlock(const BloggerPost& post)
{
    // Blogger's own class names, so the template's style sheet dresses the post as it will on the blog.
    return QStringLiteral("<div class='post hentry'>\n<h3 class='post-title entry-title'>") +
           escaped(post.title) +
           QStringLiteral("</h3>\n<div class='post-header'></div>\n<div class='post-body entry-content'>\n") +
           post.content + QStringLiteral("\n</div>\n</div>\n");
}

QString PostPreviewComposer::livePreviewHtml(const QString& blogTemplate, const BloggerPost& post) const
{
    QString page = blogTemplate;
    const QString block = postBlock(post);

    const qsizetype notice = tagWithClass(page, QStringLiteral("status-msg-wrap"));
    const qsizetype noticeEnd = notice < 0 ? -1 : endOfElement(page, notice);
    if (notice >= 0 && noticeEnd > notice) {
        page.replace(notice, noticeEnd - notice, block);
    } else {
        qsizetype at = -1;
        const qsizetype posts = tagWithClass(page, QStringLiteral("blog-posts"));
        if (posts >= 0) {
            at = afterStartTag(page, posts);
        }
        if (at < 0) {
            static const QRegularExpression body(QStringLiteral("<body\\b"),
                                                 QRegularExpression::CaseInsensitiveOption);
            const QRegularExpressionMatch match = body.match(page);
            if (match.hasMatch()) {
                at = afterStartTag(page, match.capturedStart(0));
            }
        }
        if (at < 0) {
            return plainPreviewHtml(post);
        }
        page.insert(at, block);
    }

    static const QRegularExpression title(QStringLiteral("(<title\\b[^>]*>)(.*?)(</title>)"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = title.match(page);
    if (match.hasMatch()) {
        page.replace(match.capturedStart(2), match.capturedLength(2), escaped(post.title));
    }
    return page;
}

QString PostPreviewComposer::plainPreviewHtml(const BloggerPost& post) const
{
    return QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset='utf-8'>\n<title>") +
           escaped(post.title) +
           QStringLiteral(
               "</title>\n<style>\n"
               "body { margin: 0; padding: 24px 40px; background: #ffffff; color: #333333;"
               " font: 16px/1.55 system-ui, sans-serif; }\n"
               "article { max-width: 46em; margin: 0 auto; }\n"
               ".post-title { font-size: 1.7em; line-height: 1.25; margin: 0 0 0.8em; color: #2d3436; }\n"
               "img { max-width: 100%; height: auto; }\n"
               "</style>\n</head>\n<body>\n<article class='post hentry'>\n"
               "<h1 class='post-title entry-title'>") +
           escaped(post.title) + QStringLiteral("</h1>\n<div class='post-body entry-content'>\n") +
           post.content + QStringLiteral("\n</div>\n</article>\n</body>\n</html>\n");
}

namespace {

// The value of an attribute of a start tag, or none.
std::optional<QString> attribute(QStringView tag, const QString& name)
{
    const QRegularExpression value(QStringLiteral("\\s") + name +
                                       QStringLiteral("\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"),
                                   QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = value.match(tag);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    for (int i = 1; i <= 3; ++i) {
        if (match.capturedStart(i) >= 0) {
            return match.captured(i);
        }
    }
    return QString();
}

QString length(const std::optional<QString>& attribute, int natural, int fallback)
{
    static const QRegularExpression digits(QStringLiteral("^\\s*(\\d{1,5})\\s*$"));
    const QRegularExpressionMatch match = digits.match(attribute.value_or(QString()));
    return QString::number(match.hasMatch() ? match.captured(1).toInt()
                           : natural > 0    ? natural
                                            : fallback) +
           QStringLiteral("px");
}

QString placeholder(QStringView tag, const QSize& natural)
{
    QString box = QStringLiteral("<span");
    for (const QString& kept : {QStringLiteral("id"), QStringLiteral("class")}) {
        if (const std::optional<QString> value = attribute(tag, kept)) {
            box +=
                QLatin1Char(' ') + kept + QStringLiteral("=\"") + value->toHtmlEscaped() + QLatin1Char('"');
        }
    }
    if (const std::optional<QString> alt = attribute(tag, QStringLiteral("alt"))) {
        box += QStringLiteral(" title=\"") + alt->toHtmlEscaped() + QLatin1Char('"');
    }
    const QString style = attribute(tag, QStringLiteral("style")).value_or(QString());
    box += QStringLiteral(" style=\"display: inline-block; box-sizing: border-box; max-width: 100%; "
                          "overflow: hidden; width: ") +
           length(attribute(tag, QStringLiteral("width")), natural.width(), 200) +
           QStringLiteral("; height: ") +
           length(attribute(tag, QStringLiteral("height")), natural.height(), 120) +
           QStringLiteral("; background: #f0f0f0; border: 1px dashed #b0b0b0; color: #556064; "
                          "font: 12px sans-serif; padding: 4px; ") +
           style.toHtmlEscaped() + QStringLiteral("\">Picture from this computer</span>");
    return box;
}

} // namespace

namespace {

// Calls `replace` with each <img> whose source is a picture of the images folder: the match, the source's
// start and end, and the file name; its result stands in place of the match.
template <typename Replace> QString eachLocalPicture(const QString& content, Replace replace)
{
    static const QRegularExpression source(
        QStringLiteral("(<img\\b[^>]*?\\bsrc\\s*=\\s*)([\"'])(file:[^\"']*)\\2[^>]*>"),
        QRegularExpression::CaseInsensitiveOption);
    QString out;
    qsizetype copied = 0;
    QRegularExpressionMatchIterator it = source.globalMatch(content);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        QString address = match.captured(3);
        address.replace(QLatin1StringView("&amp;"), QLatin1StringView("&"));
        const std::optional<QString> served = LocalPictures::addressForSource(address);
        if (!served) {
            continue;
        }
        out += QStringView(content).mid(copied, match.capturedStart(0) - copied);
        out += replace(match, *LocalPictures::nameForAddress(*served));
        copied = match.capturedEnd(0);
    }
    out += QStringView(content).mid(copied);
    return out;
}

} // namespace

QString PostPreviewComposer::withLocalPictureAddresses(const QString& content, QStringList& names,
                                                       const QString& addressBase) const
{
    const QString out =
        eachLocalPicture(content, [&](const QRegularExpressionMatch& match, const QString& name) {
            names << name;
            const qsizetype start = match.capturedStart(0);
            return match.captured(0).left(match.capturedStart(3) - start) +
                   (addressBase.isEmpty() ? LocalPictures::pictureAddress(name) : addressBase + name) +
                   match.captured(0).mid(match.capturedEnd(3) - start);
        });
    names.removeDuplicates();
    return out;
}

QString PostPreviewComposer::withLocalPicturePlaceholders(const QString& content,
                                                          const PictureSize& size) const
{
    return eachLocalPicture(content, [&](const QRegularExpressionMatch& match, const QString& name) {
        return placeholder(match.capturedView(0), size ? size(name) : QSize());
    });
}
