#include "SortPopoverController.h"

#include "ui_SortPopoverView.h"

#include "platform/gui/ViewBackground.h"
#include "ui/UiColors.h"

#include <QKeyEvent>

SortPopoverController::SortPopoverController(QObject* parent) : ViewController(parent) {}

SortPopoverController::~SortPopoverController() = default;

void SortPopoverController::loadView()
{
    m_ui = std::make_unique<Ui::SortPopoverView>();
    setView(viewFromInterface(*m_ui));
    connect(m_ui->sortButton, &QPushButton::clicked, this, &SortPopoverController::sortButtonClick);
    // Return sorts from any control of the popover.
    view()->installEventFilter(this);
    setupView();
}

void SortPopoverController::setupView()
{
    // Loaded once: later openings keep what the user chose last.
    m_ui->sortByComboOutlet->setCurrentIndex(0);
    m_ui->sortOrderComboOutlet->setCurrentIndex(0);
    ViewBackground::setColor(m_ui->bannerViewOutlet, UiColors::banner());
    ViewBackground::setColor(view(), UiColors::paneBackground());
}

bool SortPopoverController::eventFilter(QObject* watched, QEvent* event)
{
    if (isViewLoaded() && watched == view() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            sortButtonClick();
            return true;
        }
    }
    return ViewController::eventFilter(watched, event);
}

void SortPopoverController::sortButtonClick()
{
    if (!isViewLoaded()) {
        return;
    }
    PostSortOptions sortBy = PostSortOptions::UpdatedDate;
    switch (m_ui->sortByComboOutlet->currentIndex()) {
    case 1:
        sortBy = PostSortOptions::PublishDate;
        break;
    case 2:
        sortBy = PostSortOptions::CommentsCount;
        break;
    case 3:
        sortBy = PostSortOptions::Title;
        break;
    default:
        break;
    }
    const PostSortOrderOptions sortOrder = m_ui->sortOrderComboOutlet->currentIndex() == 1
                                               ? PostSortOrderOptions::Ascending
                                               : PostSortOrderOptions::Descending;
    if (onPostsSortRequest) {
        auto request = onPostsSortRequest;
        request(sortBy, sortOrder);
    }
}

QWidget* SortPopoverController::bannerViewOutlet() const
{
    return isViewLoaded() ? m_ui->bannerViewOutlet : nullptr;
}

QComboBox* SortPopoverController::sortByComboOutlet() const
{
    return isViewLoaded() ? m_ui->sortByComboOutlet : nullptr;
}

QComboBox* SortPopoverController::sortOrderComboOutlet() const
{
    return isViewLoaded() ? m_ui->sortOrderComboOutlet : nullptr;
}

QPushButton* SortPopoverController::sortButton() const
{
    return isViewLoaded() ? m_ui->sortButton : nullptr;
}
