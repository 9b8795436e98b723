#include "DataFolderCheck.h"

#include "platform/PrivateDataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSet>
#include <QTemporaryFile>

#include <sqlite3.h>

namespace {

const QString DatabaseName = QStringLiteral("data.db");
const QString PreferencesName = QStringLiteral("Preferences.json");

DataFolderProblem databaseProblem(const QString& folder, const QString& file, const QString& what)
{
    return {file,
            QStringLiteral("The database \"%1\" in the data folder \"%2\" %3. Penhollow has not changed "
                           "it.\n\nTo start with an empty database, quit, move the file out of the "
                           "folder (or put back a copy you trust) and open Penhollow again; your blogs "
                           "and posts download again from Blogger, offline posts are only in the old file.")
                .arg(file, folder, what)};
}

DataFolderProblem preferencesProblem(const QString& folder, const QString& file, const QString& what)
{
    return {file,
            QStringLiteral("The preferences file \"%1\" in the data folder \"%2\" %3. Penhollow has not "
                           "changed it.\n\nQuit, move the file out of the folder (or put back a copy you "
                           "trust) and open Penhollow again; you will be asked to sign in again.")
                .arg(file, folder, what)};
}

// Why the file cannot be used as a file at all, or nothing.
std::optional<QString> notAUsableFile(const QFileInfo& info)
{
    if (info.isDir()) {
        return QStringLiteral("is a folder, not a file");
    }
    if (!info.isFile()) {
        return QStringLiteral("is not a regular file");
    }
    QFile file(info.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("cannot be read (%1)").arg(file.errorString());
    }
    return std::nullopt;
}

quint32 bigEndian(const QByteArray& bytes, int offset, int size)
{
    quint32 value = 0;
    for (int i = 0; i < size; ++i) {
        value = (value << 8) | quint8(bytes.at(offset + i));
    }
    return value;
}

} // namespace

std::optional<DataFolderProblem> DataFolderCheck::checkFolder(const QString& folder)
{
    const QString message = QStringLiteral(
        "Penhollow cannot write in its data folder \"%1\"%2, so it cannot keep your posts or your "
        "sign-in.\n\n"
        "Make sure the folder exists and that you may write in it (or that the disk is not full), then open "
        "Penhollow again.");
    // First: whoever may change a folder above it may put a folder of theirs in its place while we run.
    const QString openParent = PrivateDataFolder::parentOpenToOthers(folder);
    if (!openParent.isEmpty()) {
        return DataFolderProblem{
            folder,
            QStringLiteral("Other users may change the folder \"%1\" above the data folder \"%2\": they "
                           "could move the data folder away and put one of theirs in its place, with your "
                           "posts and your sign-in going there. Penhollow has changed nothing in the data "
                           "folder and written nothing there.\n\nMove the data folder into a folder only you "
                           "may change (in "
                           "your home folder, for example), or make \"%1\" yours and writable by you alone "
                           "(or set its sticky bit, as /tmp has), then open Penhollow again.")
                .arg(openParent, folder)};
    }
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        return DataFolderProblem{folder, message.arg(folder, QStringLiteral(": it is a file, not a folder"))};
    }
    if (!PrivateDataFolder::makeFolder(folder)) {
        return DataFolderProblem{folder, message.arg(folder, QStringLiteral(": it cannot be made"))};
    }
    // Before anything is written there: a folder someone else can change is no place for a sign-in.
    const QString place = PrivateDataFolder::resolvedPath(folder);
    const QString where = place == QDir::cleanPath(folder)
                              ? QStringLiteral("\"%1\"").arg(folder)
                              : QStringLiteral("\"%1\" (a link to \"%2\")").arg(folder, place);
    switch (PrivateDataFolder::secureFolder(folder)) {
    case PrivateDataFolder::Access::AnotherUsers:
        return DataFolderProblem{
            folder,
            QStringLiteral("The data folder %1 belongs to another user, who could read and change your "
                           "posts and your sign-in there. Penhollow has not changed it and has written "
                           "nothing in it.\n\nMake the folder yours, or move it out of the way so that "
                           "Penhollow makes a new one, then open Penhollow again.")
                .arg(where)};
    case PrivateDataFolder::Access::OpenToOthers:
        return DataFolderProblem{
            folder,
            QStringLiteral("Others may write in the data folder %1, and Penhollow cannot change that "
                           "(the disk it is on keeps no permissions): they could change your posts and "
                           "your sign-in there. Penhollow has written nothing in it.\n\nMove the folder "
                           "to a disk of your own where only you may write in it, then open Penhollow "
                           "again.")
                .arg(where)};
    case PrivateDataFolder::Access::Private:
    case PrivateDataFolder::Access::Unreachable:
        break;
    }
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".penhollow-write-check-XXXXXX")));
    if (!probe.open()) {
        return DataFolderProblem{folder,
                                 message.arg(folder, QStringLiteral(" (%1)").arg(probe.errorString()))};
    }
    return std::nullopt;
}

std::optional<DataFolderProblem> DataFolderCheck::checkFiles(const QString& folder)
{
    if (std::optional<DataFolderProblem> problem = checkPreferences(folder)) {
        return problem;
    }
    return checkDatabase(folder);
}

std::optional<DataFolderProblem> DataFolderCheck::checkPreferences(const QString& folder)
{
    const QString path = QDir(folder).filePath(PreferencesName);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        return std::nullopt;
    }
    if (const std::optional<QString> why = notAUsableFile(info)) {
        return preferencesProblem(folder, path, *why);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return preferencesProblem(folder, path,
                                  QStringLiteral("cannot be read (%1)").arg(file.errorString()));
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return preferencesProblem(folder, path,
                                  QStringLiteral("is damaged: it is not the preferences text "
                                                 "Penhollow writes"));
    }
    return std::nullopt;
}

std::optional<DataFolderProblem> DataFolderCheck::checkDatabase(const QString& folder)
{
    const QString path = QDir(folder).filePath(DatabaseName);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        // Made from the template.
        return std::nullopt;
    }
    if (const std::optional<QString> why = notAUsableFile(info)) {
        return databaseProblem(folder, path, *why);
    }
    if (!info.isWritable()) {
        return databaseProblem(folder, path, QStringLiteral("cannot be written"));
    }
    // An empty file is an empty database, as SQLite makes it.
    if (info.size() == 0) {
        return std::nullopt;
    }
    const QString notOurs = QStringLiteral("is not a Penhollow database");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return databaseProblem(folder, path, QStringLiteral("cannot be read (%1)").arg(file.errorString()));
    }
    const QByteArray header = file.read(100);
    if (header.size() < 100 || !header.startsWith(QByteArrayLiteral("SQLite format 3\0"))) {
        return databaseProblem(folder, path, notOurs);
    }
    // The size the header gives, valid when its counter matches the change counter: a shorter file was cut.
    quint32 pageSize = bigEndian(header, 16, 2);
    pageSize = pageSize == 1 ? 65536 : pageSize;
    const quint32 pages = bigEndian(header, 28, 4);
    if (pages > 0 && bigEndian(header, 24, 4) == bigEndian(header, 92, 4) &&
        quint64(info.size()) < quint64(pages) * pageSize) {
        return databaseProblem(folder, path,
                               QStringLiteral("is damaged: it is shorter than its own header says"));
    }
    file.close();

    // Opened as the application opens it, so a journal left by a crash is rolled back as usual.
    sqlite3* db = nullptr;
    const QByteArray encoded = QFile::encodeName(path);
    int result = sqlite3_open_v2(encoded.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    QSet<QString> tables;
    if (result == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        result = sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table'", -1, &statement,
                                    nullptr);
        if (result == SQLITE_OK) {
            while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
                tables.insert(
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)))
                        .toUpper());
            }
            result = result == SQLITE_DONE ? SQLITE_OK : result;
        }
        sqlite3_finalize(statement);
    }
    const QString error = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
    const int code = result;
    sqlite3_close(db);
    if (code == SQLITE_NOTADB) {
        return databaseProblem(folder, path, notOurs);
    }
    if (code != SQLITE_OK) {
        return databaseProblem(folder, path, QStringLiteral("cannot be opened (%1)").arg(error));
    }
    // Another program's database: tables, none of them ours.
    static const QSet<QString> ours = {QStringLiteral("USERS"), QStringLiteral("BLOGS"),
                                       QStringLiteral("POSTS"), QStringLiteral("COMMENTS")};
    if (!tables.isEmpty() && !tables.intersects(ours)) {
        return databaseProblem(folder, path, notOurs);
    }
    return std::nullopt;
}
