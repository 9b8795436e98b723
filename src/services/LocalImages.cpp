#include "LocalImages.h"

#include "common/GoogleServiceConstants.h"
#include "platform/ApplicationFolders.h"

#include <QDir>
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
    if (!QDir().mkpath(folder)) {
        return {std::nullopt, QStringLiteral("The folder %1 cannot be created.").arg(folder)};
    }
    const QString destination =
        folder + QLatin1Char('/') + copiedFileName(GoogleServiceConstants::RandomId(), source.fileName());
    QFile file(sourcePath);
    if (!file.copy(destination)) {
        return {std::nullopt, QStringLiteral("%1 cannot be copied into %2: %3")
                                  .arg(source.fileName(), folder, file.errorString())};
    }
    return {destination, QString()};
}
