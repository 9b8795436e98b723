#include "ApplicationFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

QString ApplicationFolders::dataFolder()
{
    QString path = QFile::decodeName(qgetenv("PENHOLLOW_DATA_DIR"));
    if (path.isEmpty()) {
        path = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    }
    if (path.isEmpty()) {
        path = QDir::homePath() + QStringLiteral("/.local/share/penhollow");
    }
    return path;
}

QString ApplicationFolders::resourcesFolder()
{
    const QString base =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    // A build tree keeps them beside the executable; an installed copy in its prefix's share/penhollow.
    const QString beside = base + QStringLiteral("/resources");
    if (QFileInfo(beside).isDir()) {
        return beside;
    }
    const QString installed =
        QDir::cleanPath(base + QLatin1Char('/') + QStringLiteral(PENHOLLOW_INSTALLED_RESOURCES));
    return QFileInfo(installed).isDir() ? installed : beside;
}

QString ApplicationFolders::applicationsFolder()
{
    const QString data = QFile::decodeName(qgetenv("PENHOLLOW_DATA_DIR"));
    return (data.isEmpty() ? QDir::homePath() : data) + QStringLiteral("/Applications");
}
