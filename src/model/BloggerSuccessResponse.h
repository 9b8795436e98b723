#pragma once

#include <QString>

// The outcome of a parse or a request; `details` carries the message when `success` is false.
class BloggerSuccessResponse
{
public:
    BloggerSuccessResponse(bool success, QString details);

    QString toString() const;
    bool operator==(const BloggerSuccessResponse&) const = default;

    bool success;
    QString details;
};
