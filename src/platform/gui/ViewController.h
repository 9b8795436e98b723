#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>

// One controller per pane. The view comes from the Qt Designer file named after the controller without
// "Controller" (MenuTopView.ui for MenuTopViewController); its outlets are the object names in that file.
// The view is loaded on first use of view(); once placed in a container the container owns it, and a
// controller that goes first takes its view with it.
class ViewController : public QObject
{
    Q_OBJECT
public:
    explicit ViewController(QObject* parent = nullptr);
    ~ViewController() override;

    // The view, loaded on first use (main thread only).
    QWidget* view();
    bool isViewLoaded() const;

protected:
    // Builds the view (usually with viewFromInterface) and hands it to setView, then sets it up.
    virtual void loadView() = 0;
    void setView(std::unique_ptr<QWidget> view);

    template <typename View = QWidget, typename Ui> static std::unique_ptr<View> viewFromInterface(Ui& ui)
    {
        auto view = std::make_unique<View>();
        ui.setupUi(view.get());
        return view;
    }

private:
    QPointer<QWidget> m_view;
    bool m_loading = false;
};
