#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

// A JSON reply of Google's services whose "error" is present and not null is a refusal,
// whatever else it holds: never read it as a user, a token or a success.
class JsonServiceError
{
public:
    // None when the reply carries no error; otherwise the best message it gives:
    // error.errors[0].message, error.message, error_description, the "error" text itself,
    // else "Error could not parse response".
    static std::optional<QString> message(const QJsonObject& reply);

    static QString couldNotParseMessage() { return QStringLiteral("Error could not parse response"); }
};
