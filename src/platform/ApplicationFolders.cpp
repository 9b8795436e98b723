#include "ApplicationFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
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
    QDir().mkpath(path);
    return path;
}

QString ApplicationFolders::resourcesFolder()
{
    const QString base =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return base + QStringLiteral("/resources");
}

QString ApplicationFolders::applicationsFolder()
{
    const QString data = QFile::decodeName(qgetenv("PENHOLLOW_DATA_DIR"));
    return (data.isEmpty() ? QDir::homePath() : data) + QStringLiteral("/Applications");
}
