#include "MessageBoxAlertPresenter.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>

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
    box->setIcon(request.style == AlertStyle::Critical ? QMessageBox::Critical : QMessageBox::Information);
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
