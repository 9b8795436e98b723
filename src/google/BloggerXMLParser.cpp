#include "BloggerXMLParser.h"

#include "google/AlbumXMLParser.h"
#include "google/CommentXMLParser.h"
#include "google/PhotoXMLParser.h"
#include "google/PostXMLParser.h"
#include "google/PostsListXMLParser.h"

std::pair<BloggerSuccessResponse, std::optional<BloggerPost>> BloggerXMLParser::parsePost(const QString& xml) const
{
    return PostXMLParser(xml).parse();
}

std::pair<BloggerSuccessResponse, QList<BloggerPost>> BloggerXMLParser::parsePostsList(const QString& xml) const
{
    return PostsListXMLParser(xml).parse();
}

std::pair<BloggerSuccessResponse, std::optional<BloggerPostComment>>
BloggerXMLParser::parseComment(const QString& xml) const
{
    return CommentXMLParser(xml).parse();
}

std::pair<BloggerSuccessResponse, std::optional<QString>> BloggerXMLParser::parseAlbum(const QString& xml) const
{
    return AlbumXMLParser(xml).parse();
}

std::pair<BloggerSuccessResponse, std::optional<QString>> BloggerXMLParser::parsePhoto(const QString& xml) const
{
    return PhotoXMLParser(xml).parse();
}
