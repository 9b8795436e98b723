#include "controllers/AppDelegate.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    AppDelegate::prepareProcess();
    QApplication app(argc, argv);
    AppDelegate delegate;
    if (!delegate.applicationWillFinishLaunching()) {
        return 0;
    }
    delegate.applicationDidFinishLaunching();
    const int status = QApplication::exec();
    delegate.applicationWillTerminate();
    AppDelegate::finishProcess();
    return status != 0 ? status : delegate.exitStatus();
}
