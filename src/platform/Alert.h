#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

enum class AlertStyle
{
    Warning = 0,
    Informational = 1,
    Critical = 2
};

struct AlertRequest
{
    AlertStyle style;
    QString title;
    QString message;
    // Button titles in order, the first confirming; empty means one default button.
    QStringList buttons = {};
    // Called once with the index of the button chosen; may be unset.
    std::function<void(int button)> completion = {};
    // The button that Return chooses; a question that deletes something names its Cancel here.
    int defaultButton = 0;
    // The window the alert belongs to and is shown on; unset, the active one.
    QPointer<QObject> window = {};
};

// Shows alerts on the main thread through the installed presenter. The GUI installs a message-box
// presenter at start-up; tests install one that records what would have been shown.
class Alert
{
public:
    using Presenter = std::function<void(const AlertRequest&)>;

    // Replaces the presenter; an empty one restores the default (a printed line).
    static void setPresenter(Presenter presenter);
    // Must be called on the main thread; never waits for the answer.
    static void present(const AlertRequest& request);
};
