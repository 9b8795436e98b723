#include "MessageBoxAlertPresenter.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>

namespace {

QMessageBox::Icon iconFor(AlertStyle style)
{
    switch (style) {
    case AlertStyle::Warning:
        return QMessageBox::Warning;
    case AlertStyle::Critical:
        return QMessageBox::Critical;
    case AlertStyle::Informational:
        break;
    }
    return QMessageBox::Information;
}

} // namespace

void MessageBoxAlertPresenter::install()
{
    Alert::setPresenter(&MessageBoxAlertPresenter::present);
}

QWidget* MessageBoxAlertPresenter::mainWindow()
{
    QWidget* active = QApplication::activeWindow();
    if (active && active->isVisible() && !qobject_cast<QMessageBox*>(active)) {
        return active;
    }
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow*>(widget) && widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

void MessageBoxAlertPresenter::present(const AlertRequest& request)
{
    QWidget* parent = mainWindow();
    auto* box = new QMessageBox(parent);
    box->setIcon(iconFor(request.style));
    box->setText(request.title);
    box->setInformativeText(request.message);
    box->setStandardButtons(QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (parent) {
        box->open(); // window-modal: a sheet on the main window
    } else {
        box->setWindowModality(Qt::ApplicationModal);
        box->show();
    }
}
