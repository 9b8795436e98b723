#pragma once

#include "model/BloggerSuccessResponse.h"

#include <QString>

#include <optional>
#include <utility>

// The Atom entry answered for an uploaded photo: the address of the stored image.
class PhotoXMLParser
{
public:
    explicit PhotoXMLParser(QString xmlString);

    std::pair<BloggerSuccessResponse, std::optional<QString>> parse() const;

    QString xmlString;
};
