#include "StandinPages.h"

#include "StandinDates.h"

QString StandinPages::escape(const QString& text)
{
    return text.toHtmlEscaped();
}

namespace {

// A card in the look of a consent screen; the pages of the flow share it.
const QString CardStyle = QStringLiteral(
    "<style>"
    "body{margin:0;min-height:100vh;display:flex;align-items:center;justify-content:center;"
    "background:#f1f3f4;color:#202124;font:14px/1.5 system-ui,'Segoe UI',Roboto,Arial,sans-serif}"
    ".card{box-sizing:border-box;width:100%;max-width:450px;margin:24px;padding:36px 40px 28px;"
    "background:#fff;border:1px solid #dadce0;border-radius:8px}"
    ".brand{margin:0 0 4px;color:#5f6368;font-size:13px;text-align:center}"
    "h1{margin:0 0 20px;font-size:22px;font-weight:400;text-align:center}"
    "h2{margin:20px 0 8px;font-size:14px;font-weight:500}"
    "#scopes{margin:0;padding:0;list-style:none}"
    "#scopes li{padding:8px 0;border-bottom:1px solid #e8eaed}"
    ".raw{margin:10px 0 24px;color:#80868b;font-size:11px;word-break:break-all}"
    "#accounts{margin:0;padding:0;border:0}"
    "#accounts legend{padding:0;margin-bottom:8px;font-weight:500}"
    ".account{display:flex;align-items:center;gap:12px;padding:8px 10px;margin:0 -10px;border-radius:6px;"
    "cursor:pointer}"
    ".account:hover{background:#f1f3f4}"
    ".account img{width:32px;height:32px;border-radius:50%;background:#dadce0}"
    ".account span{display:flex;flex-direction:column;line-height:1.3}"
    ".account small{color:#5f6368}"
    ".buttons{display:flex;justify-content:flex-end;gap:8px;margin-top:28px}"
    "button{min-width:88px;padding:9px 22px;border-radius:4px;font:500 14px "
    "system-ui,sans-serif;cursor:pointer}"
    "#allow{border:1px solid #1a73e8;background:#1a73e8;color:#fff}"
    "#deny{border:1px solid #dadce0;background:#fff;color:#1a73e8}"
    "button:focus-visible{outline:2px solid #174ea6;outline-offset:2px}"
    "</style>");

// What a scope lets the application do, in plain words; none for a scope the stand-in does not know.
QString plainWords(const QString& scope)
{
    if (scope.contains(QLatin1String("blogger"))) {
        return QStringLiteral("Read and manage your blogs");
    }
    if (scope.contains(QLatin1String("picasaweb"))) {
        return QStringLiteral("Upload photos");
    }
    if (scope.contains(QLatin1String("userinfo")) || scope == QLatin1String("profile") ||
        scope == QLatin1String("email") || scope == QLatin1String("openid")) {
        return QStringLiteral("See your name and picture");
    }
    return QString();
}

// The stand-in's accounts carry no mail address: one in the reserved example domain stands for it.
QString addressOf(const StandinAccount& account)
{
    const QString local = account.givenName.isEmpty()
                              ? account.id
                              : (account.givenName + QLatin1Char('.') + account.familyName);
    return local.toLower().remove(QLatin1Char(' ')) + QStringLiteral("@example.com");
}

} // namespace

QByteArray StandinPages::consentPage(const QList<QPair<QString, QString>>& hiddenFields,
                                     const QList<StandinAccount>& accounts, const QString& chosenAccountId,
                                     const QString& scope)
{
    QString page = QStringLiteral("<!DOCTYPE html>\n<html lang='en'><head><meta charset='utf-8'>"
                                  "<meta name='viewport' content='width=device-width'>"
                                  "<title>Request for Permission</title>") +
                   CardStyle +
                   QStringLiteral("</head>\n<body>\n<main class='card'>\n"
                                  "<p class='brand'>Sign in with Google (local stand-in)</p>\n"
                                  "<h1>Penhollow wants to access your Google Account</h1>\n"
                                  "<h2>This will allow Penhollow to:</h2>\n<ul id='scopes'>");
    const QStringList scopes = scope.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList said;
    for (const QString& s : scopes) {
        const QString words = plainWords(s).isEmpty() ? s : plainWords(s);
        if (!said.contains(words)) {
            said << words;
            page += QStringLiteral("<li>") + escape(words) + QStringLiteral("</li>");
        }
    }
    page += QStringLiteral("</ul>\n<p class='raw'>Scopes: ") + escape(scopes.join(QLatin1Char(' '))) +
            QStringLiteral("</p>\n<form id='consent' method='get' action='/o/oauth2/approval'>\n");
    for (const auto& field : hiddenFields) {
        page += QStringLiteral("<input type='hidden' name='") + escape(field.first) +
                QStringLiteral("' value='") + escape(field.second) + QStringLiteral("'>\n");
    }
    page += QStringLiteral("<fieldset id='accounts'><legend>Choose an account</legend>\n");
    for (const StandinAccount& a : accounts) {
        page += QStringLiteral("<label class='account'><input type='radio' name='account' id='account-") +
                escape(a.id) + QStringLiteral("' value='") + escape(a.id) + QStringLiteral("'") +
                (a.id == chosenAccountId ? QStringLiteral(" checked") : QString()) + QStringLiteral(">") +
                (a.picture.isEmpty()
                     ? QStringLiteral("<img alt=''>")
                     : QStringLiteral("<img alt='' src='") + escape(a.picture) + QStringLiteral("'>")) +
                QStringLiteral("<span>") + escape(a.name) + QStringLiteral("<small>") + escape(addressOf(a)) +
                QStringLiteral("</small></span></label>\n");
    }
    page += QStringLiteral("</fieldset>\n<div class='buttons'>"
                           "<button type='submit' id='deny' name='decision' value='deny'>Deny</button>"
                           "<button type='submit' id='allow' name='decision' value='allow'>Allow</button>"
                           "</div>\n</form>\n</main>\n</body></html>\n");
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
    return (QStringLiteral("<!DOCTYPE html>\n<html lang='en'><head><meta charset='utf-8'>"
                           "<title>Denied error=access_denied</title>") +
            CardStyle +
            QStringLiteral(
                "</head>\n<body>\n<main class='card'>\n"
                "<p class='brand'>Sign in with Google (local stand-in)</p>\n"
                "<h1>Access denied</h1>\n"
                "<p>You denied access to the application: Penhollow was given nothing from your "
                "Google Account.</p>\n<p>You can close this window.</p>\n</main>\n</body></html>\n"))
        .toUtf8();
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
