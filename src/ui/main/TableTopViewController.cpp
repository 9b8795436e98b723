#include "TableTopViewController.h"

#include "ui_TableTopView.h"

#include "ImageButtonView.h"
#include "SortPopoverController.h"
#include "common/GoogleDateService.h"
#include "platform/Dispatch.h"
#include "platform/gui/Popover.h"
#include "platform/gui/ViewBackground.h"
#include "ui/UiColors.h"

#include <QLabel>
#include <QProgressBar>

TableTopViewController::TableTopViewController(QObject* parent)
    : ViewController(parent), m_sortPopoverController(std::make_unique<SortPopoverController>())
{
}

TableTopViewController::~TableTopViewController()
{
    m_popover.reset();
    if (isViewLoaded()) {
        delete view();
    }
}

void TableTopViewController::loadView()
{
    m_ui = std::make_unique<Ui::TableTopView>();
    setView(viewFromInterface(*m_ui));
    viewSetup();
    eventsSetup();
}

void TableTopViewController::viewSetup()
{
    ViewBackground::setColor(view(), UiColors::paneBackground());
    ViewBackground::setColor(m_ui->delimiterViewOutlet, UiColors::separatorLine());
    QPalette palette = m_ui->postsTypeLabelOutlet->palette();
    palette.setColor(QPalette::WindowText, UiColors::normalText());
    m_ui->postsTypeLabelOutlet->setPalette(palette);
    palette.setColor(QPalette::WindowText, QColor(140, 146, 150));
    m_ui->lastUpdatedLabelOutlet->setPalette(palette);
    m_ui->spinningIndicatorOutlet->setRange(0, 1);
    m_ui->spinningIndicatorOutlet->setVisible(false);
}

void TableTopViewController::eventsSetup()
{
    m_ui->sortButtonOutlet->onClick = [this] { openSortPopup(); };
    m_ui->downloadPostsButtonOutlet->onClick = [this] {
        if (onDownloadBloggerDataRequest) {
            onDownloadBloggerDataRequest();
        }
    };
    m_sortPopoverController->onPostsSortRequest = [this](PostSortOptions sortBy,
                                                         PostSortOrderOptions sortOrder) {
        if (m_popover) {
            m_popover->close();
        }
        if (onPostsSortRequest) {
            onPostsSortRequest(sortBy, sortOrder);
        }
    };
    m_ui->sortButtonOutlet->initiate();
    m_ui->downloadPostsButtonOutlet->initiate();
}

void TableTopViewController::openSortPopup()
{
    if (!isViewLoaded()) {
        return;
    }
    m_popover = std::make_unique<Popover>(m_sortPopoverController.get());
    m_popover->showRelativeToView(m_ui->sortButtonOutlet);
}

void TableTopViewController::loading(bool flag)
{
    Dispatch::toMainThread(this, [this, flag] {
        if (!isViewLoaded()) {
            return;
        }
        // An empty range makes the bar run; a real range stops it.
        m_ui->spinningIndicatorOutlet->setRange(0, flag ? 0 : 1);
        m_ui->spinningIndicatorOutlet->setVisible(flag);
        m_ui->downloadPostsButtonOutlet->setVisible(!flag);
    });
}

void TableTopViewController::displayPostsInfo(qsizetype count, PostArea area,
                                              std::optional<QDateTime> lastUpdate)
{
    Dispatch::toMainThread(this, [this, count, area, lastUpdate] {
        if (!isViewLoaded()) {
            return;
        }
        m_ui->lastUpdatedLabelOutlet->setText(QStringLiteral("Last Update ") +
                                              GoogleDateService().displayDate(lastUpdate));
        m_ui->postsTypeLabelOutlet->setText(rawValue(area) + QStringLiteral(" Posts (") +
                                            QString::number(count) + QLatin1Char(')'));
    });
}

ImageButtonView* TableTopViewController::sortButtonOutlet() const
{
    return isViewLoaded() ? m_ui->sortButtonOutlet : nullptr;
}

ImageButtonView* TableTopViewController::downloadPostsButtonOutlet() const
{
    return isViewLoaded() ? m_ui->downloadPostsButtonOutlet : nullptr;
}

QWidget* TableTopViewController::delimiterViewOutlet() const
{
    return isViewLoaded() ? m_ui->delimiterViewOutlet : nullptr;
}

QLabel* TableTopViewController::postsTypeLabelOutlet() const
{
    return isViewLoaded() ? m_ui->postsTypeLabelOutlet : nullptr;
}

QProgressBar* TableTopViewController::spinningIndicatorOutlet() const
{
    return isViewLoaded() ? m_ui->spinningIndicatorOutlet : nullptr;
}

QLabel* TableTopViewController::lastUpdatedLabelOutlet() const
{
    return isViewLoaded() ? m_ui->lastUpdatedLabelOutlet : nullptr;
}

Popover* TableTopViewController::popover() const
{
    return m_popover.get();
}

SortPopoverController* TableTopViewController::sortPopoverController() const
{
    return m_sortPopoverController.get();
}
