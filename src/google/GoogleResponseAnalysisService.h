#pragma once

#include <QString>

// Error texts as the user reads them. When a text says the account's sign-in no longer works, the advice
// to sign in again is appended. The rule, case-insensitive, on whole words (a word is a run of letters and
// digits: blanks, underscores and punctuation separate, so "invalid_grant" counts and "credentialsless"
// or "4010" do not):
//   - "invalid" up to two words before "grant", "token" or "credential(s)": invalid_grant, Invalid
//     Credentials, "invalid authentication credentials", "Invalid token";
//   - "expired" or "revoked" in a text that names a token, credential(s), grant or session:
//     "Token has been expired or revoked.";
//   - "unauthorized" (or "unauthorised"), "forbidden", "login required", "access denied",
//     "permission denied", "insufficient permission(s)" (also insufficientPermissions);
//   - the number 401;
//   - "no refresh token", as the sign-in service says when it holds none.
// The advice is added once: a text that already carries it comes back unchanged. A text without an end
// mark gets a full stop before the advice.
// Before the rule, a text is made readable: a reply that the readers could not read comes back as its
// whole body, so only its first MaximumReadLength characters are read, markup is told in a few words (an
// error page by its title and first lines, any other markup as an unreadable reply) and a long text is cut
// to MaximumMessageLength characters.
class GoogleResponseAnalysisService
{
public:
    static constexpr qsizetype MaximumMessageLength = 300;
    static constexpr qsizetype MaximumReadLength = 64 * 1024;

    QString transformMessageIfCredentialsRelated(const QString& message) const;
    bool isCredentialsRelated(const QString& message) const;
    QString readableMessage(const QString& message) const;

    static QString unreadableReplyMessage()
    {
        return QStringLiteral("The service sent a reply that could not be read. Please try again later");
    }
    static QString errorPagePrefix() { return QStringLiteral("The service answered with an error page: "); }
    static QString reauthentificationAdvice()
    {
        return QStringLiteral(" Please sign in to this account again: open the settings (the gear at the "
                              "bottom left) and choose Sign In Again.");
    }
};
