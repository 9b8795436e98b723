#pragma once

#include <QString>

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
};

// Shows alerts on the main thread through the installed presenter. The GUI installs a message-box
// presenter at start-up; tests install one that records what would have been shown.
class Alert
{
public:
    using Presenter = std::function<void(const AlertRequest&)>;

    // Replaces the presenter; an empty one restores the default (a printed line).
    static void setPresenter(Presenter presenter);
    // Must be called on the main thread.
    static void present(const AlertRequest& request);
};
