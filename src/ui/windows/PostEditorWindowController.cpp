#include "PostEditorWindowController.h"

#include "EditorPageBridge.h"
#include "common/Async.h"
#include "common/GoogleDateService.h"
#include "common/GoogleServiceConstants.h"
#include "common/LocalNotificationService.h"
#include "common/LocalTime.h"
#include "platform/Alert.h"
#include "platform/ApplicationFolders.h"
#include "platform/Dispatch.h"
#include "platform/gui/ImageView.h"
#include "platform/gui/KeystrokeHold.h"
#include "platform/gui/ScreenFit.h"
#include "platform/gui/ViewBackground.h"
#include "platform/gui/WebPage.h"
#include "platform/gui/WebView.h"
#include "services/LocalImages.h"
#include "ui/main/SpinnerView.h"
#include "ui_PostEditorWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <QWebChannel>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>

namespace {

// The page is ready when its load finishes (its scripts have run); the post follows in the next turn.
constexpr int FirstContentDelayMs = 0;

const QString MiddleDot = QStringLiteral(" \u00B7 ");

} // namespace

PostEditorWindowController::PostEditorWindowController(QObject* parent)
    : WindowController(parent), m_ui(std::make_unique<Ui::PostEditorWindow>()),
      m_bridge(new EditorPageBridge(this)), m_keyHold(new KeystrokeHold(this))
{
    connect(m_bridge, &EditorPageBridge::pageContentChanged, this,
            [this](int generation, const QString& html) {
                if (generation == m_contentGeneration) {
                    m_editorContent = html;
                }
            });
    connect(m_bridge, &EditorPageBridge::pageContentLoaded, this, [this](int generation) {
        if (generation == m_contentGeneration) {
            Q_EMIT editorContentShown();
        }
    });
    connect(this, &WindowController::windowWillClose, m_keyHold, &KeystrokeHold::drop);
}

PostEditorWindowController::~PostEditorWindowController() = default;

std::unique_ptr<QWidget> PostEditorWindowController::loadWindow()
{
    return windowFromInterface(*m_ui);
}

// ---- Outlets -------------------------------------------------------------------------------------------

QWidget* PostEditorWindowController::topPanelContainerOutlet() const
{
    return isWindowLoaded() ? m_ui->topPanelContainerOutlet : nullptr;
}

QLineEdit* PostEditorWindowController::postTitleOutlet() const
{
    return isWindowLoaded() ? m_ui->postTitleOutlet : nullptr;
}

QLineEdit* PostEditorWindowController::postLabelsOutlet() const
{
    return isWindowLoaded() ? m_ui->postLabelsOutlet : nullptr;
}

WebView* PostEditorWindowController::webViewOutlet() const
{
    return isWindowLoaded() ? m_ui->webViewOutlet : nullptr;
}

QComboBox* PostEditorWindowController::postStatusOutlet() const
{
    return isWindowLoaded() ? m_ui->postStatusOutlet : nullptr;
}

QCheckBox* PostEditorWindowController::scheduledCheckboxOutlet() const
{
    return isWindowLoaded() ? m_ui->scheduledCheckboxOutlet : nullptr;
}

QComboBox* PostEditorWindowController::publishedToOfflineUpdateTypeOutlet() const
{
    return isWindowLoaded() ? m_ui->publishedToOfflineUpdateTypeOutlet : nullptr;
}

QLabel* PostEditorWindowController::autosaveStatusOutlet() const
{
    return isWindowLoaded() ? m_ui->autosaveStatusOutlet : nullptr;
}

QLabel* PostEditorWindowController::scheduledCheckboxLabelOutlet() const
{
    return isWindowLoaded() ? m_ui->scheduledCheckboxLabelOutlet : nullptr;
}

QDateTimeEdit* PostEditorWindowController::publishDateTimeOutlet() const
{
    return isWindowLoaded() ? m_ui->publishDateTimeOutlet : nullptr;
}

QPushButton* PostEditorWindowController::publishButtonOutlet() const
{
    return isWindowLoaded() ? m_ui->publishButtonOutlet : nullptr;
}

SpinnerView* PostEditorWindowController::spinningIndicatorOutlet() const
{
    return isWindowLoaded() ? m_ui->spinningIndicatorOutlet : nullptr;
}

QToolButton* PostEditorWindowController::publishPostHelpButton() const
{
    return isWindowLoaded() ? m_ui->publishPostHelpButton : nullptr;
}

ImageView* PostEditorWindowController::offlineCopyIconOutlet() const
{
    return isWindowLoaded() ? m_ui->offlineCopyIconOutlet : nullptr;
}

// ---- Set-up --------------------------------------------------------------------------------------------

void PostEditorWindowController::windowDidLoad()
{
    closeWithKeys();
    setupWindow();
    m_keyHold->setTarget(m_ui->postTitleOutlet);
    if (m_originalInEditPost) {
        fillFields();
    }
    setupWebView();
    updateWindowTitle();
}

void PostEditorWindowController::setupWindow()
{
    QWidget* w = window();
    m_ui->publishedToOfflineUpdateTypeOutlet->setCurrentIndex(0);
    ViewBackground::setColor(w, QColor(255, 255, 255));
    ViewBackground::setColor(m_ui->topPanelContainerOutlet, QColor(248, 248, 248));
    m_ui->publishDateTimeOutlet->setTimeSpec(Qt::LocalTime);
    // Dates read as everywhere else in the application.
    m_ui->publishDateTimeOutlet->setLocale(QLocale::system());
    m_ui->publishDateTimeOutlet->setDisplayFormat(GoogleDateService::displayPattern());
    m_ui->spinningIndicatorOutlet->hide();
    m_ui->autosaveStatusOutlet->hide();

    connect(m_ui->postTitleOutlet, &QLineEdit::textChanged, this,
            &PostEditorWindowController::updateWindowTitle);
    connect(m_ui->postStatusOutlet, &QComboBox::activated, this,
            &PostEditorWindowController::statusComboboxClick);
    connect(m_ui->scheduledCheckboxOutlet, &QCheckBox::clicked, this,
            &PostEditorWindowController::scheduledCheckboxClick);
    connect(m_ui->publishButtonOutlet, &QPushButton::clicked, this,
            &PostEditorWindowController::publishButtonClick);
    connect(m_ui->publishPostHelpButton, &QToolButton::clicked, this,
            &PostEditorWindowController::publishPostHelpButtonClick);
}

QUrl PostEditorWindowController::editorPageAddress()
{
    return QUrl::fromLocalFile(ApplicationFolders::resourcesFolder() + QStringLiteral("/editor.html"));
}

void PostEditorWindowController::setupWebView()
{
    WebView* view = m_ui->webViewOutlet;
    // No menu outside the text: what the engine offers there (back, reload, view source) has no place here.
    view->setContextMenuFilter(
        [](const QWebEngineContextMenuRequest& request) { return request.isContentEditable(); });
    view->setNavigationPolicy([this](const QUrl& url, QWebEnginePage::NavigationType, bool isMainFrame) {
        if (handleMarkers(url)) {
            return false;
        }
        if (!isMainFrame) {
            return true;
        }
        // The page itself, once; anything else (a dropped file, a link, a form) would replace the post.
        if (m_pageNavigationAllowed && url == editorPageAddress()) {
            m_pageNavigationAllowed = false;
            return true;
        }
        return false;
    });
    view->setRequestInterception([this](QWebEngineUrlRequestInfo& info) {
        if (handleMarkers(info.requestUrl())) {
            info.block(true);
        }
    });
    view->setLocalFolders(
        QStringList{ApplicationFolders::resourcesFolder(), ApplicationFolders::applicationsFolder()});
    setupPage();
    connect(view, &WebView::pageLoaded, this, [this](bool ok, const QString&) { onPageLoaded(ok); });
    // Queued: the page goes once the close is over.
    connect(this, &WindowController::windowWillClose, this, &PostEditorWindowController::renewStoppedPage,
            Qt::QueuedConnection);

    m_awaitingPageLoad = true;
    m_pageNavigationAllowed = true;
    view->loadAddress(editorPageAddress());
}

void PostEditorWindowController::setupPage()
{
    WebView* view = m_ui->webViewOutlet;
    // The page is ours and local; the post in it is not. Its scripts never run (the page's content
    // security policy), its pictures and embeds from the web load, and of local files it reaches only the
    // page's own and the pictures the user added. Nor do the scripts of its frames (the page sandboxes
    // them): they would run in the page's own process.
    QWebEngineSettings* settings = view->webPage()->settings();
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::AllowWindowActivationFromJavaScript, false);
    auto* channel = new QWebChannel(view->page());
    channel->registerObject(QStringLiteral("editorBridge"), m_bridge);
    view->page()->setWebChannel(channel);
}

void PostEditorWindowController::renewStoppedPage()
{
    if (m_pageStop == PageStop::None || !isWindowLoaded() || window()->isVisible()) {
        return;
    }
    m_pageStop = PageStop::None;
    m_editorLoaded = false;
    m_awaitingPageLoad = false;
    m_publishClickPending = false;
    m_closeCheckPending = false;
    // The new page counts its contents from none; reads still owed by the old page are dropped.
    m_contentGeneration = 0;
    m_ui->webViewOutlet->replacePage();
    setupPage();
}

void PostEditorWindowController::onPageLoaded(bool ok)
{
    if (!m_awaitingPageLoad) {
        return;
    }
    m_awaitingPageLoad = false;
    if (!ok) {
        dropTypedKeys();
        LocalNotificationService().showCriticalAlert(
            QStringLiteral("Cannot open the editor"),
            QStringLiteral("The editor page could not be loaded from ") + editorPageAddress().toLocalFile() +
                QStringLiteral(". Reinstalling Penhollow should bring it back."));
        return;
    }
    m_editorLoaded = true;
    QTimer::singleShot(FirstContentDelayMs, this, &PostEditorWindowController::loadFirstContent);
}

void PostEditorWindowController::loadFirstContent()
{
    // The fields were filled when the post was handed over, and the user may have typed since: the page's
    // readiness brings the page its content and nothing else.
    if (m_originalInEditPost) {
        loadContentIntoPage();
    } else {
        setEditedPost(std::nullopt);
    }
    WindowController::showWindow();
}

// ---- Opening and reading back --------------------------------------------------------------------------

bool PostEditorWindowController::isWindowOpened()
{
    // Asking for the window would load it: an editor never shown is not open.
    return isWindowLoaded() && window()->isVisible();
}

void PostEditorWindowController::editPost(const std::optional<BloggerPost>& post)
{
    m_startOffline = false;
    setEditedPost(post);
}

void PostEditorWindowController::editPostOffline(const std::optional<BloggerPost>& post)
{
    m_startOffline = true;
    setEditedPost(post);
}

void PostEditorWindowController::showAutosaveFailed(bool failed)
{
    if (!isWindowLoaded()) {
        return;
    }
    m_ui->autosaveStatusOutlet->setText(
        failed ? QStringLiteral("Autosave cannot write this post to the disk (it may be full or read-only), "
                                "so it would not be offered back after a crash. Your text stays here; "
                                "autosave tries again every 10 seconds.")
               : QString());
    m_ui->autosaveStatusOutlet->setVisible(failed);
}

void PostEditorWindowController::setEditedPost(const std::optional<BloggerPost>& post)
{
    showAutosaveFailed(false);
    // Should the post come before the close's queued turn.
    renewStoppedPage();
    if (!post || post->postId == GoogleServiceConstants::NoId()) {
        m_isFreshNewPost = true;
        BloggerPost fresh;
        fresh.publishDate = QDateTime::currentDateTime();
        fresh.postStatus = PostStatus::Published;
        m_originalInEditPost = fresh;
    } else {
        m_isFreshNewPost = false;
        m_originalInEditPost = *post;
    }
    if (!m_editorLoaded) {
        m_publishingPost = false;
    }
    if (isWindowLoaded()) {
        fillFields();
    }
    if (m_editorLoaded) {
        loadContentIntoPage();
    }
}

void PostEditorWindowController::showWindow()
{
    const bool opening = !isWindowOpened();
    // Loading starts the page; the window comes on screen once the page has the post.
    window();
    if (opening) {
        // Not where the last post left it (after a publish, the button a space would press).
        m_ui->postTitleOutlet->setFocus(Qt::OtherFocusReason);
    } else if (window()->isMinimized()) {
        window()->setWindowState(window()->windowState() & ~Qt::WindowMinimized);
    }
    if (!m_editorLoaded) {
        if (!m_awaitingPageLoad) {
            m_awaitingPageLoad = true;
            m_pageNavigationAllowed = true;
            m_ui->webViewOutlet->loadAddress(editorPageAddress());
        }
        return;
    }
    WindowController::showWindow();
}

void PostEditorWindowController::holdTypedKeys()
{
    m_keyHold->hold();
}

void PostEditorWindowController::dropTypedKeys()
{
    m_keyHold->drop();
}

void PostEditorWindowController::close()
{
    dropTypedKeys();
    m_closingByOwner = true;
    WindowController::close();
    m_closingByOwner = false;
}

bool PostEditorWindowController::isFreshNewPost() const
{
    return m_isFreshNewPost;
}

QString PostEditorWindowController::setEditorContentScript(const QString& content)
{
    const QByteArray encoded = QUrl::toPercentEncoding(content, QByteArrayLiteral("!$&'()*+,;=:/?@"));
    return QStringLiteral("setEditorContent(unescape(\"") + QString::fromLatin1(encoded) +
           QStringLiteral("\"));");
}

QString PostEditorWindowController::addLocalImageScript(const QString& address)
{
    // A JSON string is a well-formed script string whatever the path holds.
    const QByteArray array = QJsonDocument(QJsonArray{address}).toJson(QJsonDocument::Compact);
    return QStringLiteral("addLocalImage(") + QString::fromUtf8(array.mid(1, array.size() - 2)) +
           QStringLiteral(")");
}

void PostEditorWindowController::fillFields()
{
    const BloggerPost& post = *m_originalInEditPost;
    const PostStatus stored = post.postStatus;

    fillStatusCombobox();
    if (stored != PostStatus::SyncedCopy) {
        switch (post.area()) {
        case PostArea::Published:
            m_ui->postStatusOutlet->setCurrentIndex(0);
            break;
        case PostArea::Draft:
            m_ui->postStatusOutlet->setCurrentIndex(1);
            break;
        case PostArea::Offline:
            m_ui->postStatusOutlet->setCurrentIndex(2);
            break;
        }
    }
    m_ui->scheduledCheckboxOutlet->setChecked(stored == PostStatus::Scheduled);

    const PostStatus selected = selectedPostStatus();
    if (stored == PostStatus::SyncedCopy) {
        selected == PostStatus::Published ? setPublishOfflineCopyUI() : setSaveOfflineCopyUI();
    } else if (post.isOnBlogger() && selected == PostStatus::Offline && !m_isFreshNewPost) {
        setPublishedToOfflineUI();
    } else {
        layoutForStatus(stored);
    }

    m_ui->postTitleOutlet->setText(post.title);
    m_ui->postLabelsOutlet->setText(post.labels.join(QStringLiteral(", ")));
    const QDateTime date = post.publishDate && post.publishDate->isValid() ? post.publishDate->toLocalTime()
                                                                           : QDateTime::currentDateTime();
    m_ui->publishDateTimeOutlet->setDateTime(date);

    setContentLocked(false);
    if (m_startOffline) {
        m_ui->postStatusOutlet->setCurrentIndex(stored == PostStatus::SyncedCopy ? 1 : 2);
        statusComboboxClick();
    }
    updateWindowTitle();
}

void PostEditorWindowController::loadContentIntoPage()
{
    const QString& content = m_originalInEditPost->content;
    setContentLocked(false);
    // A read still on its way is about the post this one replaces: its answer is dropped.
    m_publishClickPending = false;
    m_closeCheckPending = false;
    ++m_contentGeneration;
    m_editorContent = content;
    m_ui->webViewOutlet->evaluateScript(setEditorContentScript(content), {});
}

void PostEditorWindowController::updateWindowTitle()
{
    if (!isWindowLoaded()) {
        return;
    }
    const QString base = m_isFreshNewPost ? QStringLiteral("New Post") : QStringLiteral("Edit Post");
    const QString title = m_ui->postTitleOutlet->text();
    window()->setWindowTitle(title.isEmpty() ? base : base + MiddleDot + title);
}

QStringList PostEditorWindowController::labelsFromField() const
{
    QStringList labels;
    for (const QString& part : m_ui->postLabelsOutlet->text().split(QLatin1Char(','))) {
        const QString label = part.trimmed();
        if (!label.isEmpty()) {
            labels.append(label);
        }
    }
    return labels;
}

QDateTime PostEditorWindowController::pickedPublishDate() const
{
    // The wall-clock time the user picked, turned into an instant once, in the user's zone.
    const QDateTime picked = m_ui->publishDateTimeOutlet->dateTime();
    const QTime time(picked.time().hour(), picked.time().minute());
    return LocalTime::fromWallClock(picked.date(), time).value_or(picked);
}

std::optional<BloggerPost> PostEditorWindowController::postFromEditor() const
{
    if (!m_editorLoaded || !m_originalInEditPost || !isWindowLoaded()) {
        return std::nullopt;
    }
    BloggerPost post = *m_originalInEditPost;
    post.content = m_editorContent;
    post.title = m_ui->postTitleOutlet->text();
    post.labels = labelsFromField();
    post.postStatus = selectedPostStatus();
    if (post.postStatus == PostStatus::Scheduled) {
        post.publishDate = pickedPublishDate();
    }
    return post;
}

void PostEditorWindowController::readContent(bool lock,
                                             std::function<void(std::optional<QString> content)> then)
{
    const int generation = m_contentGeneration;
    // Locked and read in one turn of the page: nothing typed after the lock can be missing from the text.
    const QString script =
        lock ? QStringLiteral("(function(){if(typeof setEditorLocked==='function'){setEditorLocked(true);}"
                              "return getEditorContent();})()")
             : QStringLiteral("getEditorContent()");
    if (lock) {
        setContentLocked(true, false);
    }
    QPointer<PostEditorWindowController> self = this;
    // No older report ever stands in.
    m_ui->webViewOutlet->evaluateScriptWithin(
        script, [self, generation, then](WebView::ScriptAnswer answer, const QVariant& result) {
            if (!self || generation != self->m_contentGeneration) {
                return;
            }
            std::optional<QString> fresh;
            if (answer == WebView::ScriptAnswer::Answered && result.typeId() == QMetaType::QString) {
                fresh = result.toString();
                self->m_editorContent = *fresh;
            } else {
                self->m_pageStop =
                    answer == WebView::ScriptAnswer::PageEnded ? PageStop::Ended : PageStop::NoAnswer;
            }
            then(fresh);
        });
}

void PostEditorWindowController::setContentLocked(bool locked)
{
    setContentLocked(locked, true);
}

void PostEditorWindowController::setContentLocked(bool locked, bool tellPage)
{
    m_contentLocked = locked;
    if (!isWindowLoaded()) {
        return;
    }
    m_ui->postTitleOutlet->setReadOnly(locked);
    m_ui->postLabelsOutlet->setReadOnly(locked);
    for (QWidget* control :
         {static_cast<QWidget*>(m_ui->postStatusOutlet), static_cast<QWidget*>(m_ui->scheduledCheckboxOutlet),
          static_cast<QWidget*>(m_ui->publishDateTimeOutlet),
          static_cast<QWidget*>(m_ui->publishedToOfflineUpdateTypeOutlet)}) {
        control->setEnabled(!locked);
    }
    if (tellPage && m_editorLoaded) {
        m_ui->webViewOutlet->evaluateScript(
            QStringLiteral("if(typeof setEditorLocked==='function'){setEditorLocked(%1);}")
                .arg(locked ? QStringLiteral("true") : QStringLiteral("false")),
            {});
    }
}

// ---- Busy state ----------------------------------------------------------------------------------------

void PostEditorWindowController::loading(bool flag)
{
    Dispatch::toMainThread(QPointer<PostEditorWindowController>(this),
                           [flag](PostEditorWindowController* editor) { editor->applyLoading(flag); });
}

void PostEditorWindowController::applyLoading(bool flag)
{
    if (!isWindowLoaded()) {
        return;
    }
    QPushButton* button = m_ui->publishButtonOutlet;
    if (flag) {
        m_ui->publishPostHelpButton->hide();
        m_ui->spinningIndicatorOutlet->show();
        button->setEnabled(true);
        // A second "on" must not save "Cancel" as the title to come back to.
        if (!m_publishingPost) {
            m_oldPublishButtonTitle = button->text();
        }
        button->setText(QStringLiteral("Cancel"));
        m_publishingPost = true;
        if (!m_contentLocked) {
            setContentLocked(true);
        }
    } else {
        m_ui->spinningIndicatorOutlet->hide();
        m_ui->autosaveStatusOutlet->hide();
        button->setEnabled(true);
        if (m_publishingPost) {
            button->setText(m_oldPublishButtonTitle);
        }
        m_publishingPost = false;
        // The post stays with the user: editable again after a failure or a cancel.
        setContentLocked(false);
    }
}

// ---- Closing -------------------------------------------------------------------------------------------

bool PostEditorWindowController::windowShouldClose()
{
    if (m_closingByOwner || m_closeApproved) {
        m_closeApproved = false;
        return true;
    }
    if (m_publishingPost) {
        LocalNotificationService().showInfoAlert(
            QStringLiteral("Cannot close the editor"),
            QStringLiteral("Please wait for the publishing process to finish before closing the editor"));
        return false;
    }
    if (!m_editorLoaded) {
        if (onWindowHasClosedWithNoOptions) {
            onWindowHasClosedWithNoOptions();
        }
        return true;
    }
    if (!m_closeCheckPending) {
        m_closeCheckPending = true;
        readContent(false, [this](std::optional<QString> fresh) {
            m_closeCheckPending = false;
            checkClose(fresh);
        });
    }
    return false;
}

void PostEditorWindowController::checkClose(const std::optional<QString>& freshContent)
{
    if (!isWindowLoaded() || !window()->isVisible()) {
        return;
    }
    if (!freshContent) {
        // Neither the question nor its Save could read the text: the window closes as after an
        // unexpected exit, leaving the autosave record to be offered back. Told after, so that the alert
        // does not sit on the window that goes.
        closeApproved();
        showNoAnswerAlert(true);
        return;
    }
    if (m_publishingPost) {
        LocalNotificationService().showInfoAlert(
            QStringLiteral("Cannot close the editor"),
            QStringLiteral("Please wait for the publishing process to finish before closing the editor"));
        return;
    }
    const std::optional<BloggerPost> post = postFromEditor();
    if (post && (!post->content.isEmpty() || !post->title.isEmpty() || !post->labels.isEmpty())) {
        askKeepVersion();
        return;
    }
    if (onWindowHasClosedWithNoOptions) {
        onWindowHasClosedWithNoOptions();
    }
    closeApproved();
}

void PostEditorWindowController::closeApproved()
{
    if (!isWindowLoaded() || !window()->isVisible()) {
        return;
    }
    m_closeApproved = true;
    window()->close();
    m_closeApproved = false;
}

void PostEditorWindowController::askKeepVersion()
{
    QPointer<PostEditorWindowController> self = this;
    Alert::present(
        AlertRequest{AlertStyle::Warning,
                     QStringLiteral("Do you want to keep this post version ?"),
                     QString(),
                     {QStringLiteral("Save"), QStringLiteral("Don't Save"), QStringLiteral("Cancel")},
                     [self](int button) {
                         if (!self || button > 1 || !self->onWindowCloseRequest) {
                             return;
                         }
                         self->onWindowCloseRequest(button == 0);
                     }});
}

// ---- Page requests and local images --------------------------------------------------------------------

bool PostEditorWindowController::handleMarkers(const QUrl& address)
{
    if (!address.isValid()) {
        return false;
    }
    const QString path = address.path(QUrl::FullyDecoded);
    if (path.isEmpty()) {
        return false;
    }
    // Only the toolbar knows the key: a post's own picture or frame whose path holds a marker is cancelled
    // and does nothing (the work below is dropped for a null receiver).
    const bool fromToolbar =
        path.startsWith(QStringLiteral("/penhollow-editor/") + m_bridge->requestKey() + QLatin1Char('/'));
    QPointer<PostEditorWindowController> self = fromToolbar ? this : nullptr;
    // Acted on after the engine's callback has returned: a window opened from inside it could re-enter it.
    if (path.contains(QStringLiteral("/addlocalimage:"))) {
        Dispatch::toMainThread(self, [](PostEditorWindowController* editor) { editor->selectLocalImage(); });
        return true;
    }
    if (path.contains(QStringLiteral("/previewcontent:"))) {
        Dispatch::toMainThread(self, [](PostEditorWindowController* editor) {
            if (editor->onPostPreviewRequest) {
                editor->onPostPreviewRequest();
            }
        });
        return true;
    }
    if (path.contains(QStringLiteral("/livepreviewcontent:"))) {
        Dispatch::toMainThread(self, [](PostEditorWindowController* editor) {
            if (editor->onLivePostPreviewRequest) {
                editor->onLivePostPreviewRequest();
            }
        });
        return true;
    }
    return false;
}

QString PostEditorWindowController::imagePanelFolder()
{
    // A folder that is not there would be taken as a file name and typed into the name field.
    const QDir home = QDir::home();
    const QString documents = home.filePath(QStringLiteral("Documents"));
    if (QFileInfo(documents).isDir()) {
        return documents;
    }
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir()) {
        return pictures;
    }
    return home.absolutePath();
}

void PostEditorWindowController::selectLocalImage()
{
    auto* panel = new QFileDialog(nullptr, QStringLiteral("Select image"), imagePanelFolder());
    panel->setObjectName(QStringLiteral("selectImagePanel"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setOption(QFileDialog::DontUseNativeDialog);
    panel->setFileMode(QFileDialog::ExistingFile);
    panel->setAcceptMode(QFileDialog::AcceptOpen);
    panel->setLabelText(QFileDialog::Accept, QStringLiteral("Add"));
    panel->setToolTip(QStringLiteral("Select an image to add to your post"));
    panel->setNameFilter(
        QStringLiteral("Images (*.png *.jpg *.jpeg *.tif *.gif *.PNG *.JPG *.JPEG *.TIF *.GIF)"));
    QPointer<PostEditorWindowController> self = this;
    connect(panel, &QFileDialog::fileSelected, this, [self](const QString& file) {
        if (self && !file.isEmpty()) {
            self->insertLocalImage(file);
        }
    });
    ScreenFit::beforeFirstShow(panel);
    panel->show();
}

void PostEditorWindowController::insertLocalImage(const QString& sourcePath)
{
    const int generation = m_contentGeneration;
    // Large pictures copy off the main thread.
    Async::runThenCallback(
        this, [sourcePath] { return LocalImages::copyIntoFolder(sourcePath); },
        [this, generation](const LocalImages::Copy& copy) {
            if (!copy.path) {
                LocalNotificationService().showCriticalAlert(QStringLiteral("Cannot add the image"),
                                                             copy.error);
                return;
            }
            if (generation != m_contentGeneration || !isWindowLoaded()) {
                return;
            }
            if (m_contentLocked) {
                LocalNotificationService().showInfoAlert(
                    QStringLiteral("Cannot add the image"),
                    QStringLiteral("The post is being published. Add the image once that is done."));
                return;
            }
            m_ui->webViewOutlet->evaluateScript(addLocalImageScript(LocalImages::imageAddress(*copy.path)),
                                                {});
        });
}

// ---- Publishing controls -------------------------------------------------------------------------------

void PostEditorWindowController::fillStatusCombobox()
{
    QComboBox* list = m_ui->postStatusOutlet;
    list->clear();
    if (m_originalInEditPost->postStatus == PostStatus::SyncedCopy) {
        list->addItems({QStringLiteral("Publish"), QStringLiteral("Save Locally")});
        list->setCurrentIndex(1);
    } else {
        list->addItems({QStringLiteral("Published"), QStringLiteral("Draft"), QStringLiteral("Offline")});
    }
}

PostStatus PostEditorWindowController::selectedPostStatus() const
{
    const int index = isWindowLoaded() ? m_ui->postStatusOutlet->currentIndex() : -1;
    if (m_originalInEditPost && m_originalInEditPost->postStatus == PostStatus::SyncedCopy) {
        return index == 0 ? PostStatus::Published : PostStatus::Offline;
    }
    if (index == 0 && m_ui->scheduledCheckboxOutlet->isChecked()) {
        return PostStatus::Scheduled;
    }
    if (index == 1) {
        return PostStatus::Draft;
    }
    return index == 0 ? PostStatus::Published : PostStatus::Offline;
}

void PostEditorWindowController::applyLayout(const QString& buttonTitle, bool offlineIcon, bool checkbox,
                                             bool datePicker, bool updateType)
{
    // While a publish runs the button reads "Cancel"; the title comes back when it ends.
    if (m_publishingPost) {
        m_oldPublishButtonTitle = buttonTitle;
    } else {
        m_ui->publishButtonOutlet->setText(buttonTitle);
    }
    m_ui->postStatusOutlet->setVisible(true);
    m_ui->offlineCopyIconOutlet->setVisible(offlineIcon);
    m_ui->scheduledCheckboxOutlet->setVisible(checkbox);
    m_ui->scheduledCheckboxLabelOutlet->setVisible(checkbox);
    m_ui->publishDateTimeOutlet->setVisible(datePicker);
    m_ui->publishPostHelpButton->setVisible(updateType);
    m_ui->publishedToOfflineUpdateTypeOutlet->setVisible(updateType);
}

void PostEditorWindowController::setPublishScheduledUI()
{
    applyLayout(QStringLiteral("Publish"), false, true, true, false);
}

void PostEditorWindowController::setPublishUI()
{
    applyLayout(QStringLiteral("Publish"), false, true, false, false);
}

void PostEditorWindowController::setDraftUI()
{
    applyLayout(QStringLiteral("Save as Draft"), false, false, false, false);
}

void PostEditorWindowController::setSaveLocallyUI()
{
    applyLayout(QStringLiteral("Save"), false, false, false, false);
}

void PostEditorWindowController::setPublishOfflineCopyUI()
{
    applyLayout(QStringLiteral("Publish"), true, false, false, false);
}

void PostEditorWindowController::setSaveOfflineCopyUI()
{
    applyLayout(QStringLiteral("Save"), true, false, false, false);
}

void PostEditorWindowController::setPublishedToOfflineUI()
{
    applyLayout(QStringLiteral("Save"), false, false, false, true);
}

void PostEditorWindowController::layoutForStatus(PostStatus status)
{
    switch (status) {
    case PostStatus::Published:
        setPublishUI();
        break;
    case PostStatus::Scheduled:
        setPublishScheduledUI();
        break;
    case PostStatus::Draft:
        setDraftUI();
        break;
    default:
        setSaveLocallyUI();
        break;
    }
}

void PostEditorWindowController::statusComboboxClick()
{
    if (!m_originalInEditPost) {
        return;
    }
    const BloggerPost& post = *m_originalInEditPost;
    const bool syncedCopy = post.postStatus == PostStatus::SyncedCopy;
    const PostStatus selected = selectedPostStatus();
    if (post.isOnBlogger() && selected == PostStatus::Offline && !syncedCopy && !m_isFreshNewPost) {
        setPublishedToOfflineUI();
        return;
    }
    if (syncedCopy) {
        selected == PostStatus::Published ? setPublishOfflineCopyUI() : setSaveOfflineCopyUI();
        return;
    }
    layoutForStatus(selected);
}

void PostEditorWindowController::scheduledCheckboxClick()
{
    if (!m_originalInEditPost) {
        return;
    }
    if (m_originalInEditPost->postStatus == PostStatus::SyncedCopy) {
        selectedPostStatus() == PostStatus::Published ? setPublishOfflineCopyUI() : setSaveOfflineCopyUI();
        return;
    }
    m_ui->scheduledCheckboxOutlet->isChecked() ? setPublishScheduledUI() : setPublishUI();
}

void PostEditorWindowController::publishButtonClick()
{
    // A submit not yet settled (saving, or about to publish) takes no second one.
    if (!m_originalInEditPost || !m_editorLoaded || m_publishClickPending ||
        (m_contentLocked && !m_publishingPost)) {
        return;
    }
    // While a submit runs the button cancels it. The text has been locked since it was read at the
    // press, so the page need not be asked again.
    if (m_publishingPost) {
        if (validatePost(m_editorContent)) {
            askCancelPublishing();
        }
        return;
    }
    m_publishClickPending = true;
    // The text is taken as it stands at the press and cannot change until the submit is settled.
    readContent(true, [this](std::optional<QString> fresh) {
        m_publishClickPending = false;
        if (!fresh) {
            setContentLocked(false);
            showNoAnswerAlert(false);
            return;
        }
        if (!validatePost(*fresh)) {
            setContentLocked(false);
            return;
        }
        submitPost();
    });
}

void PostEditorWindowController::showNoAnswerAlert(bool closing)
{
    const QString kept = QStringLiteral(
        "Whatever was autosaved last is kept, and will be offered to you again the next time Penhollow "
        "starts.");
    if (m_pageStop == PageStop::Ended) {
        LocalNotificationService().showCriticalAlert(
            QStringLiteral("The editor stopped"),
            (closing ? QStringLiteral("The editor's page stopped unexpectedly, so the editor was closed "
                                      "without asking whether to keep this version. ")
                     : QStringLiteral("Nothing was saved or published: the editor's page stopped "
                                      "unexpectedly. Close the editor and open the post again. ")) +
                kept);
        return;
    }
    const QString seconds = QString::number(double(m_ui->webViewOutlet->scriptDeadlineMs()) / 1000);
    LocalNotificationService().showCriticalAlert(
        QStringLiteral("The editor did not answer"),
        closing ? QStringLiteral("The editor's page did not answer within %1 seconds, so the editor was "
                                 "closed without asking whether to keep this version. ")
                          .arg(seconds) +
                      kept
                : QStringLiteral("Nothing was saved or published: the editor's page did not answer within "
                                 "%1 seconds. Try again, or close the editor: if it still does not "
                                 "answer, it closes. ")
                          .arg(seconds) +
                      kept);
}

bool PostEditorWindowController::validatePost(const QString& content)
{
    const LocalNotificationService alerts;
    if (m_ui->postTitleOutlet->text().isEmpty()) {
        alerts.showCriticalAlert(QStringLiteral("Post title"),
                                 QStringLiteral("Don't forget to add a title before publishing!"));
        return false;
    }
    if (content.isEmpty()) {
        alerts.showCriticalAlert(QStringLiteral("Post content"),
                                 QStringLiteral("Don't forget to add some content before publishing!"));
        return false;
    }
    const PostStatus stored = m_originalInEditPost->postStatus;
    const PostStatus selected = selectedPostStatus();
    if (!m_isFreshNewPost && stored == PostStatus::Scheduled && selected == PostStatus::Published) {
        alerts.showCriticalAlert(
            QStringLiteral("Cannot update this post"),
            QStringLiteral(
                "Your post is already scheduled and cannot be updated as a published post.\nIf you "
                "want to publish now this scheduled post, select a date in the past (the selected "
                "date will become the published date of the new post)"));
        return false;
    }
    if (!m_isFreshNewPost && stored == PostStatus::Published && selected == PostStatus::Scheduled) {
        alerts.showCriticalAlert(QStringLiteral("Cannot update this post"),
                                 QStringLiteral("Your post is already published and cannot be scheduled"));
        return false;
    }
    return true;
}

void PostEditorWindowController::askCancelPublishing()
{
    QPointer<PostEditorWindowController> self = this;
    Alert::present(AlertRequest{AlertStyle::Warning,
                                QStringLiteral("Do you want to cancel the publishing process ?"),
                                QStringLiteral("Resources already published will not be removed"),
                                {QStringLiteral("Yes"), QStringLiteral("No")},
                                [self](int button) {
                                    if (self && button == 0 && self->onCancelPublishing) {
                                        self->onCancelPublishing();
                                    }
                                }});
}

QStringList PostEditorWindowController::localImages(const QString& content)
{
    static const QRegularExpression imageTag(QStringLiteral("<img[^>]*>"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression source(QStringLiteral("src=\"(.*?)\""),
                                           QRegularExpression::CaseInsensitiveOption);
    QStringList images;
    for (const QRegularExpressionMatch& tag : imageTag.globalMatch(content)) {
        const QRegularExpressionMatch match = source.match(tag.capturedView(0));
        if (!match.hasMatch() || match.capturedLength(0) <= 6) {
            continue;
        }
        const QString value = match.captured(1);
        if (value.startsWith(QStringLiteral("file://"))) {
            images.append(value);
        }
    }
    return images;
}

PublishedToOfflineUpdateType PostEditorWindowController::selectedUpdateType() const
{
    switch (m_ui->publishedToOfflineUpdateTypeOutlet->currentIndex()) {
    case 0:
        return PublishedToOfflineUpdateType::SyncedCopy;
    case 2:
        return PublishedToOfflineUpdateType::DeletePublishedVersion;
    default:
        return PublishedToOfflineUpdateType::OfflineCopy;
    }
}

void PostEditorWindowController::submitPost()
{
    const std::optional<BloggerPost> post = postFromEditor();
    if (!post || !onSubmitRequest) {
        setContentLocked(false);
        return;
    }
    onSubmitRequest(*post, localImages(post->content), selectedUpdateType());
}

void PostEditorWindowController::publishPostHelpButtonClick()
{
    LocalNotificationService().showInfoAlert(
        QStringLiteral("Saving a published post to offline"),
        QStringLiteral(
            "Available options for saving a published post to offline:\n\n1. Create a Synced Copy: An "
            "offline version linked to the published one will be made (publishing the offline version "
            "will overwrite the version from Blogger)\n\n2. Create an Offline Copy: An offline copy of "
            "the post will be made - the published version will remain unchanged\n\n3. Delete the "
            "Published Version: An offline copy of the post will be made and the published version "
            "will be removed from Blogger"));
}
