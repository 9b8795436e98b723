#pragma once

#include "model/PostEnumerations.h"
#include "platform/gui/ViewController.h"

#include <functional>
#include <memory>

namespace Ui {
class SortPopoverView;
}
class QComboBox;
class QPushButton;
class QWidget;

// The sort popover's content: what to sort by, in which order, and a sort button.
class SortPopoverController : public ViewController
{
    Q_OBJECT
public:
    explicit SortPopoverController(QObject* parent = nullptr);
    ~SortPopoverController() override;

    std::function<void(PostSortOptions sortBy, PostSortOrderOptions sortOrder)> onPostsSortRequest;

    void sortButtonClick();

    QWidget* bannerViewOutlet() const;
    QComboBox* sortByComboOutlet() const;
    QComboBox* sortOrderComboOutlet() const;
    QPushButton* sortButton() const;

protected:
    void loadView() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setupView();

    std::unique_ptr<Ui::SortPopoverView> m_ui;
};
