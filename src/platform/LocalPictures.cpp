#include "LocalPictures.h"

#include "ApplicationFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QUrl>

namespace {

bool isPlainName(const QString& name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9._-]+$"));
    return name != QLatin1String(".") && name != QLatin1String("..") && plain.match(name).hasMatch();
}

QString imagesFolder()
{
    return QDir::cleanPath(ApplicationFolders::applicationsFolder());
}

} // namespace

const QByteArray& LocalPictures::schemeName()
{
    static const QByteArray name("penhollow-picture");
    return name;
}

QString LocalPictures::pictureAddress(const QString& name)
{
    return QString::fromLatin1(schemeName()) + QStringLiteral("://pictures/") + name;
}

std::optional<QString> LocalPictures::addressForSource(const QString& source)
{
    QString path;
    // The editor writes "file://" and the path as it stands; other writers encode it as an address.
    if (source.startsWith(QLatin1String("file://"))) {
        path = source.mid(7);
        if (!QFileInfo(path).isFile()) {
            path = QUrl(source).toLocalFile();
        }
    } else if (source.startsWith(QLatin1Char('/'))) {
        path = source;
    }
    if (path.isEmpty()) {
        return std::nullopt;
    }
    const QFileInfo info(QDir::cleanPath(path));
    if (info.absolutePath() != imagesFolder() || !isPlainName(info.fileName())) {
        return std::nullopt;
    }
    return pictureAddress(info.fileName());
}

std::optional<QString> LocalPictures::nameForAddress(const QString& address)
{
    const QString prefix = pictureAddress(QString());
    if (!address.startsWith(prefix)) {
        return std::nullopt;
    }
    const QString name = address.mid(prefix.size());
    if (!isPlainName(name)) {
        return std::nullopt;
    }
    return name;
}

std::optional<LocalPictures::OpenPicture> LocalPictures::open(const QString& name)
{
    if (!isPlainName(name)) {
        return std::nullopt;
    }
    const QString path = imagesFolder() + QLatin1Char('/') + name;
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile()) {
        return std::nullopt;
    }
    auto file = std::make_unique<QFile>(path);
    // The size of what was opened: the file may have changed since it was looked at.
    if (!file->open(QIODevice::ReadOnly) || file->size() > MaximumPictureSize) {
        return std::nullopt;
    }
    // By content: a file named .png that holds text is no picture. SVG is left out: it is a document.
    const QString type = QMimeDatabase().mimeTypeForData(file.get()).name();
    if (!type.startsWith(QLatin1String("image/")) || type == QLatin1String("image/svg+xml")) {
        return std::nullopt;
    }
    const qint64 size = file->size();
    return OpenPicture{std::move(file), size, type.toLatin1()};
}

std::optional<LocalPictures::Picture> LocalPictures::read(const QString& name)
{
    std::optional<OpenPicture> picture = open(name);
    if (!picture) {
        return std::nullopt;
    }
    // Read one byte past the cap: the file may have grown since it was opened.
    QByteArray data = picture->file->read(MaximumPictureSize + 1);
    if (data.size() > MaximumPictureSize) {
        return std::nullopt;
    }
    return Picture{std::move(data), std::move(picture->mimeType)};
}
