#pragma once

#include "platform/Alert.h"

class QWidget;

// Alerts as message boxes: window-modal on the window the alert names, else on the main window when there
// is one, else application-modal.
// Never blocks in a nested event loop.
class MessageBoxAlertPresenter
{
public:
    static void install();
    static void present(const AlertRequest& request);
    // The window that alerts attach to; null when none is shown.
    static QWidget* mainWindow();
};
