#pragma once

#include <QString>

#include <optional>

// Images picked for a post: copied into the user's applications folder under a fresh name, inserted in
// the post as "file://" followed by the copy's path, uploaded when the post is published.
class LocalImages
{
public:
    struct Copy
    {
        // The copy's path, or none when nothing was copied.
        std::optional<QString> path;
        // Why nothing was copied.
        QString error;
    };

    // The copy of sourcePath in the applications folder, which is made when missing.
    static Copy copyIntoFolder(const QString& sourcePath);
    // The id followed by the file's own name, each character outside [A-Za-z0-9._-] made "_", so the
    // name reads the same after the page has written it out as HTML.
    static QString copiedFileName(const QString& id, const QString& fileName);
    static QString imageAddress(const QString& path);
    // The file a local image address names: the text after "file://", with the character references the
    // page writes in attribute values turned back into characters. None for other addresses.
    static std::optional<QString> filePathForAddress(const QString& address);
    // Why the image at this address may not be uploaded, or none when it may: it must be a regular file
    // (no link) directly inside the applications folder, whose first bytes are a picture the photo album
    // takes, of at most PhotoGoogleService::MaximumPhotoSize. A post cannot name the user's other files.
    static std::optional<QString> uploadRefusal(const QString& address);
};
