#include "platform/MessageBoxAlertPresenter.h"
#include "store/SQLAccess.h"
#include "store/SQLiteDB.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // The web engine needs shared GL contexts, and they must be asked for before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Penhollow"));
    QApplication::setApplicationName(QStringLiteral("Penhollow"));
    MessageBoxAlertPresenter::install();

    SQLAccess().createDababaseStructure();

    // There are no windows yet, so there is no event loop to run.
    SQLiteDB::shutdown();
    return 0;
}
