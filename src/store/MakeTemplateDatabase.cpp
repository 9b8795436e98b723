// Build step: writes the template data.db (the four tables and their indexes, no rows) that start-up
// copies into a new data folder.
#include "store/SQLAccess.h"
#include "store/SQLiteDB.h"

#include <QFile>
#include <QString>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fputs("usage: penhollow_make_template_db <output data.db>\n", stderr);
        return 2;
    }
    const QString output = QFile::decodeName(argv[1]);
    const QString building = output + QStringLiteral(".building");
    QFile::remove(building);
    {
        SQLiteDB db(building, nullptr, QString());
        if (!db.isOpen()) {
            return 1;
        }
        SQLAccess(db).createDababaseStructure();
        if (db.query(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name IN "
                                    "('USERS', 'BLOGS', 'POSTS', 'COMMENTS')"))
                .size() != 4) {
            std::fputs("penhollow_make_template_db: the tables were not created\n", stderr);
            return 1;
        }
        if (db.query(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index'")).size() != 10) {
            std::fputs("penhollow_make_template_db: the indexes were not created\n", stderr);
            return 1;
        }
    }
    QFile::remove(output);
    if (!QFile::rename(building, output)) {
        std::fputs("penhollow_make_template_db: cannot write the output\n", stderr);
        return 1;
    }
    return 0;
}
