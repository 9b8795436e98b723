#include "platform/MessageBoxAlertPresenter.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Penhollow"));
    QApplication::setApplicationName(QStringLiteral("Penhollow"));
    MessageBoxAlertPresenter::install();
    return 0;
}
