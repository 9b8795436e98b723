#pragma once

#include <QString>

#include <functional>

// What the sign-in service needs of its sign-in window. The window itself is GUI and lives above the core;
// the application hands the service a factory that makes one.
class AuthentificationWindow
{
public:
    virtual ~AuthentificationWindow() = default;
    // Receives the authorisation code read from the consent page; replaces any earlier block.
    virtual void submitBlock(std::function<void(const QString& code)> block) = 0;
    // Shows the window and starts loading the consent page.
    virtual void openWindow(const QString& clientId, const QString& clientSecret, const QString& clientScope,
                            const QString& redirectUri) = 0;
};
