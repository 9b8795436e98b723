#pragma once

#include "model/PostEnumerations.h"
#include "platform/gui/ViewController.h"

#include <QDateTime>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class TableTopView;
}
class ImageButtonView;
class Popover;
class QLabel;
class QProgressBar;
class QWidget;
class SortPopoverController;

// The header above the post list: area and count, last download, a spinner, sort and download buttons.
class TableTopViewController : public ViewController
{
    Q_OBJECT
public:
    explicit TableTopViewController(QObject* parent = nullptr);
    ~TableTopViewController() override;

    std::function<void()> onDownloadBloggerDataRequest;
    std::function<void(PostSortOptions sortBy, PostSortOrderOptions sortOrder)> onPostsSortRequest;

    // Any thread; takes effect on the main thread in call order.
    void loading(bool flag);
    void displayPostsInfo(qsizetype count, PostArea area, std::optional<QDateTime> lastUpdate);

    void openSortPopup();

    ImageButtonView* sortButtonOutlet() const;
    ImageButtonView* downloadPostsButtonOutlet() const;
    QWidget* delimiterViewOutlet() const;
    QLabel* postsTypeLabelOutlet() const;
    // A busy indicator: an indeterminate progress bar drawn as a turning arc (SpinnerView).
    QProgressBar* spinningIndicatorOutlet() const;
    QLabel* lastUpdatedLabelOutlet() const;
    Popover* popover() const;
    SortPopoverController* sortPopoverController() const;

protected:
    void loadView() override;

private:
    void viewSetup();
    void eventsSetup();

    std::unique_ptr<Ui::TableTopView> m_ui;
    std::unique_ptr<Popover> m_popover;
    std::unique_ptr<SortPopoverController> m_sortPopoverController;
};
