#pragma once

#include "model/BloggerSuccessResponse.h"

#include <QString>

#include <optional>
#include <utility>

// An Atom album entry: its album id.
class AlbumXMLParser
{
public:
    explicit AlbumXMLParser(QString xmlString);

    // XML errors are reported like every other reader's, whatever the text holds.
    std::pair<BloggerSuccessResponse, std::optional<QString>> parse() const;

    QString xmlString;
};
