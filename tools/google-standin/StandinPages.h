#pragma once

#include "StandinAccount.h"
#include "StandinBlog.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// The HTML pages: the OAuth consent page and its outcomes, and each blog's public pages.
class StandinPages
{
public:
    // Hidden fields carry the request on; the buttons have the ids "allow" and "deny".
    static QByteArray consentPage(const QList<QPair<QString, QString>>& hiddenFields,
                                  const QList<StandinAccount>& accounts, const QString& chosenAccountId,
                                  const QString& scope);
    static QByteArray successPage(const QString& state, const QString& code);
    static QByteArray deniedPage(const QString& state);
    static QByteArray oauthErrorPage(int status, const QString& error, const QString& description);

    static QByteArray blogHome(const StandinBlog& blog, const QString& base);
    static QByteArray postPage(const StandinBlog& blog, const StandinPost& post, const QString& base);
    // The blog's template around a "page does not exist" message, as the blog answers any unknown address.
    static QByteArray missingPage(const StandinBlog& blog, const QString& base);

    static QString escape(const QString& text);

private:
    static QByteArray blogFrame(const StandinBlog& blog, const QString& base, const QString& title,
                                const QString& main);
    static QString postBlock(const StandinBlog& blog, const StandinPost& post, const QString& base);
};
