#include "BloggerSuccessResponse.h"

BloggerSuccessResponse::BloggerSuccessResponse(bool success, QString details)
    : success(success), details(std::move(details))
{
}

QString BloggerSuccessResponse::toString() const
{
    return QStringLiteral("Success: ") + (success ? QStringLiteral("true") : QStringLiteral("false")) +
           QStringLiteral(", details: ") + details;
}
