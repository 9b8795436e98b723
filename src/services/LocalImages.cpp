#include "LocalImages.h"

#include "common/GoogleServiceConstants.h"
#include "google/PhotoGoogleService.h"
#include "platform/ApplicationFolders.h"
#include "platform/PrivateDataFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

bool isSafeNameCharacter(char32_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
}

} // namespace

QString LocalImages::copiedFileName(const QString& id, const QString& fileName)
{
    QString safe;
    safe.reserve(fileName.size());
    for (char32_t c : fileName.toUcs4()) {
        safe += isSafeNameCharacter(c) ? QChar(char16_t(c)) : QLatin1Char('_');
    }
    return id + safe;
}

QString LocalImages::imageAddress(const QString& path)
{
    return QStringLiteral("file://") + path;
}

std::optional<QString> LocalImages::filePathForAddress(const QString& address)
{
    const QString prefix = QStringLiteral("file://");
    if (!address.startsWith(prefix)) {
        return std::nullopt;
    }
    QString path = address.mid(prefix.size());
    // What the HTML serialisation of an attribute escapes; &amp; last, so "&amp;quot;" stays "&quot;".
    path.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    path.replace(QStringLiteral("&nbsp;"), QString(QChar(0x00A0)));
    path.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    path.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    path.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

LocalImages::Copy LocalImages::copyIntoFolder(const QString& sourcePath)
{
    const QFileInfo source(sourcePath);
    if (!source.isFile() || !source.isReadable()) {
        return {std::nullopt, QStringLiteral("The file %1 cannot be read.").arg(sourcePath)};
    }
    const QString folder = ApplicationFolders::applicationsFolder();
    if (!PrivateDataFolder::makeFolder(folder)) {
        return {std::nullopt, QStringLiteral("The folder %1 cannot be created.").arg(folder)};
    }
    const QString destination =
        folder + QLatin1Char('/') + copiedFileName(GoogleServiceConstants::RandomId(), source.fileName());
    // Not its source's mode: the user's picture for a post not yet published is theirs alone.
    QString error;
    if (!PrivateDataFolder::copyFile(sourcePath, destination, &error)) {
        return {std::nullopt,
                QStringLiteral("%1 cannot be copied into %2: %3").arg(source.fileName(), folder, error)};
    }
    return {destination, QString()};
}

std::optional<QString> LocalImages::uploadRefusal(const QString& address)
{
    const QString notPicked =
        QStringLiteral("The post refers to %1, which is not a picture added with the Image button. Remove "
                       "it from the post, or add the picture again with the Image button.")
            .arg(address);
    const std::optional<QString> path = filePathForAddress(address);
    if (!path || !path->startsWith(QLatin1Char('/'))) {
        return notPicked;
    }
    const QFileInfo file(*path);
    if (!file.exists() && !file.isSymLink()) {
        return QStringLiteral("The picture %1 is no longer on this computer. Remove it from the post, or add "
                              "it again with the Image button.")
            .arg(*path);
    }
    const QString folder = QFileInfo(ApplicationFolders::applicationsFolder()).canonicalFilePath();
    // The file's own folder, links in it resolved; the file itself must not be a link.
    const QString parent = QFileInfo(file.absolutePath()).canonicalFilePath();
    if (folder.isEmpty() || parent != folder || file.isSymLink() || !file.isFile()) {
        return notPicked;
    }
    if (file.size() > PhotoGoogleService::MaximumPhotoSize) {
        return PhotoGoogleService::tooLargeMessage(*path);
    }
    QFile reader(*path);
    if (!reader.open(QIODevice::ReadOnly)) {
        return PhotoGoogleService::unreadableFileMessage(*path, reader.errorString());
    }
    if (PhotoGoogleService::sniffedContentType(reader.read(16)).isEmpty()) {
        return PhotoGoogleService::notAPictureMessage(*path);
    }
    return std::nullopt;
}
