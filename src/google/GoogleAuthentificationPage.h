#pragma once

#include <QString>

#include <optional>

// The provider's consent page as the sign-in window sees it: where it is, and how its title
// hands over the authorisation code. Core code, so the window and the tests share one rule.
class GoogleAuthentificationPage
{
public:
    // The fixed state value sent with the consent request and expected back in the title.
    static QString stateValue() { return QStringLiteral("guard_wordplay"); }

    // The consent page address on the OAuth host: scope, state, redirect_uri, response_type, client_id,
    // approval_prompt, in that order; blanks and slashes percent-encoded, ":", "&" and "=" kept.
    static QString consentUrl(const QString& clientId, const QString& clientScope,
                              const QString& redirectUri);

    // The authorisation code of a page title such as "Success state=guard_wordplay&code=CODE": whatever words
    // come before the first "=", then "<state>&code", then the code up to the next "&" or the end of the
    // title. A code holding "=" keeps it. None when the title carries another state, no code, or an empty
    // one.
    static std::optional<QString> codeFromTitle(const QString& title);
};
