#pragma once

#include "StandinResponse.h"

#include <QString>

// Error replies in the shapes Google's services use.
class StandinErrors
{
public:
    // JSON API error: {"error": {"errors": [{domain, reason, message}], "code", "message"}}.
    static StandinResponse jsonError(int status, const QString& reason, const QString& message);
    static StandinResponse invalidCredentials(); // 401 "Invalid Credentials", as error-401.json
    static StandinResponse notFound();           // 404 "Not Found", as error-404.json
    // OAuth token endpoint error: {"error", "error_description"}.
    static StandinResponse tokenError(int status, const QString& error, const QString& description);
    // The feeds answer errors as short plain texts.
    static StandinResponse feedError(int status, const QString& text);
    // What the feeds answer a missing or rejected token with.
    static StandinResponse feedTokenInvalid();
    // A front-end error page, as a proxy or an overloaded server sends it.
    static StandinResponse htmlErrorPage(int status);
};
