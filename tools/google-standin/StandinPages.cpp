#include "StandinPages.h"

#include "StandinDates.h"

QString StandinPages::escape(const QString& text)
{
    return text.toHtmlEscaped();
}

QByteArray StandinPages::consentPage(const QList<QPair<QString, QString>>& hiddenFields,
                                     const QList<StandinAccount>& accounts, const QString& chosenAccountId,
                                     const QString& scope)
{
    QString page = QStringLiteral("<!DOCTYPE html>\n<html lang='en'><head><meta "
                                  "charset='utf-8'><title>Request for Permission</title></head>\n"
                                  "<body>\n<h1>Penhollow would like to:</h1>\n<ul id='scopes'>");
    for (const QString& s : scope.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        page += QStringLiteral("<li>") + escape(s) + QStringLiteral("</li>");
    page += QStringLiteral("</ul>\n<form id='consent' method='get' action='/o/oauth2/approval'>\n");
    for (const auto& field : hiddenFields) {
        page += QStringLiteral("<input type='hidden' name='") + escape(field.first) +
                QStringLiteral("' value='") + escape(field.second) + QStringLiteral("'>\n");
    }
    page += QStringLiteral("<fieldset id='accounts'><legend>Choose an account</legend>\n");
    for (const StandinAccount& a : accounts) {
        page += QStringLiteral("<label><input type='radio' name='account' id='account-") + escape(a.id) +
                QStringLiteral("' value='") + escape(a.id) + QStringLiteral("'") +
                (a.id == chosenAccountId ? QStringLiteral(" checked") : QString()) + QStringLiteral("> ") +
                escape(a.name) + QStringLiteral("</label><br>\n");
    }
    page += QStringLiteral(
        "</fieldset>\n<button type='submit' id='allow' name='decision' value='allow'>Allow</button>\n"
        "<button type='submit' id='deny' name='decision' "
        "value='deny'>Deny</button>\n</form>\n</body></html>\n");
    return page.toUtf8();
}

QByteArray StandinPages::successPage(const QString& state, const QString& code)
{
    const QString title = state.isEmpty()
                              ? QStringLiteral("Success code=") + code
                              : QStringLiteral("Success state=") + state + QStringLiteral("&code=") + code;
    return (QStringLiteral("<!DOCTYPE html>\n<html lang='en'><head><meta charset='utf-8'><title>") +
            escape(title) +
            QStringLiteral(
                "</title></head>\n<body><p>Please copy this code, switch to your application and paste "
                "it there:</p>\n<textarea id='code' readonly>") +
            escape(code) + QStringLiteral("</textarea>\n</body></html>\n"))
        .toUtf8();
}

QByteArray StandinPages::deniedPage(const QString& state)
{
    Q_UNUSED(state)
    return QByteArrayLiteral("<!DOCTYPE html>\n<html lang='en'><head><meta charset='utf-8'>"
                             "<title>Denied error=access_denied</title></head>\n"
                             "<body><p>You denied access to the application.</p></body></html>\n");
}

QByteArray StandinPages::oauthErrorPage(int status, const QString& error, const QString& description)
{
    const QString code = QString::number(status);
    return (QStringLiteral("<!DOCTYPE html>\n<html lang='en'><head><meta charset='utf-8'><title>Error ") +
            code +
            QStringLiteral(
                " (OAuth 2.0 Error)</title></head>\n<body><h1>Access blocked: authorization error</h1>\n"
                "<p id='error'>Error ") +
            code + QStringLiteral(": ") + escape(error) + QStringLiteral("</p>\n<p id='error-description'>") +
            escape(description) + QStringLiteral("</p>\n</body></html>\n"))
        .toUtf8();
}

QString StandinPages::postBlock(const StandinBlog& blog, const StandinPost& post, const QString& base)
{
    const QString url = base + QLatin1Char('/') + blog.path + QLatin1Char('/') + post.urlPath;
    QString out = QStringLiteral("<div class='post hentry'>\n<h3 class='post-title entry-title'><a href='") +
                  escape(url) + QStringLiteral("'>") + escape(post.title) +
                  QStringLiteral("</a></h3>\n<div class='post-header'><abbr class='published' title='") +
                  StandinDates::write(post.published, blog.utcOffsetMinutes) + QStringLiteral("'>") +
                  escape(StandinDates::displayTime(post.published, blog.utcOffsetMinutes)) +
                  QStringLiteral("</abbr></div>\n<div class='post-body entry-content'>\n") + post.content +
                  QStringLiteral("\n</div>\n<div class='post-footer'>");
    if (!post.labels.isEmpty()) {
        out += QStringLiteral("<span class='post-labels'>Labels: ");
        QStringList links;
        for (const QString& l : post.labels)
            links.append(QStringLiteral("<a rel='tag'>") + escape(l) + QStringLiteral("</a>"));
        out += links.join(QStringLiteral(", ")) + QStringLiteral("</span>");
    }
    out += QStringLiteral("<span class='post-comment-link'>") + QString::number(post.comments.size()) +
           QStringLiteral(" comments</span></div>\n</div>\n");
    return out;
}

QByteArray StandinPages::blogFrame(const StandinBlog& blog, const QString& base, const QString& title,
                                   const QString& main)
{
    const QString home = base + QLatin1Char('/') + blog.path + QLatin1Char('/');
    return (QStringLiteral("<!DOCTYPE html>\n<html lang='") + escape(blog.language) +
            QStringLiteral("'>\n<head>\n<meta charset='utf-8'>\n<title>") + escape(title) +
            QStringLiteral(
                "</title>\n<style type='text/css'>\n"
                "body { font: 15px Georgia, serif; color: #333; background: #f4f1ea; margin: 0; }\n"
                ".header { background: #2d4a5a; color: #fff; padding: 24px 40px; }\n"
                ".header a { color: #fff; text-decoration: none; }\n"
                ".main { background: #fff; margin: 0 40px; padding: 20px 40px; }\n"
                ".post-title { font-size: 22px; }\n.post-footer { color: #888; font-size: 12px; }\n"
                "</style>\n</head>\n<body>\n<div class='header'><h1 class='title'><a href='") +
            escape(home) + QStringLiteral("'>") + escape(blog.name) +
            QStringLiteral("</a></h1>\n<p class='description'>") + escape(blog.description) +
            QStringLiteral("</p></div>\n<div class='main' id='main'>\n") + main +
            QStringLiteral("</div>\n<div class='footer'>Powered by Blogger.</div>\n</body>\n</html>\n"))
        .toUtf8();
}

QByteArray StandinPages::blogHome(const StandinBlog& blog, const QString& base)
{
    QList<const StandinPost*> visible;
    for (const StandinPost& p : blog.posts) {
        if (!p.draft && !p.isScheduled())
            visible.append(&p);
    }
    std::sort(visible.begin(), visible.end(),
              [](const StandinPost* a, const StandinPost* b) { return a->published > b->published; });
    QString main;
    for (const StandinPost* p : visible)
        main += postBlock(blog, *p, base);
    return blogFrame(blog, base, blog.name, main);
}

QByteArray StandinPages::postPage(const StandinBlog& blog, const StandinPost& post, const QString& base)
{
    return blogFrame(blog, base, blog.name + QStringLiteral(": ") + post.title, postBlock(blog, post, base));
}

QByteArray StandinPages::missingPage(const StandinBlog& blog, const QString& base)
{
    return blogFrame(
        blog, base, blog.name,
        QStringLiteral("<div class='status-msg-wrap'><div class='status-msg-body'>Sorry, the page you "
                       "were looking for in this blog does not exist.</div></div>\n"));
}
