#include "LocalPictures.h"

#include "ApplicationFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    const QByteArray path = QFile::encodeName(imagesFolder() + QLatin1Char('/') + name);
    // Judged by what was opened, never by a look at the path first: a link or a device put in the
    // picture's place in between is refused, and opening a pipe does not wait for a writer.
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info
    {
    };
    auto file = std::make_unique<QFile>();
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        !file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    if (file->size() > MaximumPictureSize) {
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
