#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>

// One controller per window. The window comes from the Qt Designer file named after the controller without
// "Controller" (AuthentificationWebviewWindow.ui for AuthentificationWebviewWindowController), compiled by
// uic; its outlets are the object names in that file. The controller owns its window and outlives it being
// closed: a closed window is hidden and can be shown again.
class WindowController : public QObject
{
    Q_OBJECT
public:
    explicit WindowController(QObject* parent = nullptr);
    ~WindowController() override;

    // The window, loaded from its interface file on first use.
    QWidget* window();
    bool isWindowLoaded() const;
    // Loads the window when needed, shows it and brings it to the front.
    void showWindow();
    // Closes the window if it is loaded and open, as the user's close button does.
    void close();

Q_SIGNALS:
    // The window is closing, by the user or by close().
    void windowWillClose();

protected:
    // Makes the window; subclasses build it from their interface file with windowFromInterface.
    virtual std::unique_ptr<QWidget> loadWindow() = 0;
    // Runs once, right after the window is loaded.
    virtual void windowDidLoad();
    // Asked when the window is about to close; false keeps it open.
    virtual bool windowShouldClose();

    template <typename Window = QWidget, typename Ui>
    static std::unique_ptr<QWidget> windowFromInterface(Ui& ui)
    {
        auto window = std::make_unique<Window>();
        ui.setupUi(window.get());
        return window;
    }

    bool eventFilter(QObject* watched, QEvent* event) override;

    // Escape and Ctrl+W close the window as its close button does (windowShouldClose is asked).
    void closeWithKeys();

private:
    QPointer<QWidget> m_window;
};
