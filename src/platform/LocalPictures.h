#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>
#include <optional>

// The user's pictures as pages may see them: only files lying in the images folder (where the editor
// copies the pictures the user picks), named by an address of our own picture scheme, and only when they
// are pictures. No page ever gets their path or a file: address. The web engine lets a page's script
// read back any picture of a custom scheme through a canvas, so only pages whose scripts do not run get
// them that way (see LocalPictureSchemeHandler); the others get them from LocalPictureServer.
class LocalPictures
{
public:
    // Larger files are not served: a page must not make us read a whole disk image.
    static constexpr qint64 MaximumPictureSize = 20 * 1024 * 1024;

    static const QByteArray& schemeName();
    // The picture scheme's address of a file: address or path that lies directly in the images folder;
    // none for anything else.
    static std::optional<QString> addressForSource(const QString& source);
    static QString pictureAddress(const QString& name);
    // The file name an address of the picture scheme names; none when it names no plain file name.
    static std::optional<QString> nameForAddress(const QString& address);

    struct Picture
    {
        QByteArray data;
        QByteArray mimeType;
    };
    // The picture of that name in the images folder: a regular file (no link), at most
    // MaximumPictureSize, whose content is an image. None for anything else.
    static std::optional<Picture> read(const QString& name);

    struct OpenPicture
    {
        std::unique_ptr<QFile> file;
        qint64 size = 0;
        QByteArray mimeType;
    };
    // The same picture opened at its start, for an answer sent a piece at a time: its size when opened,
    // and its type from its first bytes.
    static std::optional<OpenPicture> open(const QString& name);
};
