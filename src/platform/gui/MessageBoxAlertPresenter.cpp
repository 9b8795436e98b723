#include "MessageBoxAlertPresenter.h"

#include "platform/Dispatch.h"
#include "platform/gui/ScreenFit.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>

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
    Dispatch::requireMainThread("MessageBoxAlertPresenter::present");
    auto* owner = qobject_cast<QWidget*>(request.window.data());
    QWidget* parent = owner && owner->isVisible() ? owner->window() : mainWindow();
    auto* box = new QMessageBox(parent);
    box->setIcon(iconFor(request.style));
    box->setText(request.title);
    box->setInformativeText(request.message);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QList<QAbstractButton*> added;
    if (request.buttons.isEmpty()) {
        added << box->addButton(QMessageBox::Ok);
    } else {
        for (qsizetype i = 0; i < request.buttons.size(); ++i) {
            // The first button confirms; the last one is what Escape and closing the box choose.
            const auto role = i == 0                            ? QMessageBox::AcceptRole
                              : i == request.buttons.size() - 1 ? QMessageBox::RejectRole
                                                                : QMessageBox::ActionRole;
            added << box->addButton(request.buttons[i], role);
        }
    }
    const qsizetype chosen =
        request.defaultButton >= 0 && request.defaultButton < added.size() ? request.defaultButton : 0;
    box->setDefaultButton(qobject_cast<QPushButton*>(added.at(chosen)));
    box->setEscapeButton(added.last());
    if (request.completion) {
        QObject::connect(box, &QMessageBox::finished, box,
                         [box, added, completion = request.completion](int) {
                             const auto index = added.indexOf(box->clickedButton());
                             completion(index < 0 ? int(added.size()) - 1 : int(index));
                         });
    }
    ScreenFit::beforeFirstShow(box);
    if (parent) {
        box->open(); // window-modal: a sheet on the main window
    } else {
        box->setWindowModality(Qt::ApplicationModal);
        box->show();
    }
}
