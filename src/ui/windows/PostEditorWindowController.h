#pragma once

#include "model/BloggerPost.h"
#include "model/PostEnumerations.h"
#include "platform/gui/WindowController.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class PostEditorWindow;
}
class EditorPageBridge;
class ImageView;
class KeystrokeHold;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class SpinnerView;
class WebView;

// The window in which one post is written: title, labels, publishing controls and the editing page
// (editor.html in a web view). It reaches neither the network nor the store: every request leaves through
// one of its six closures. One editor serves the whole process; its owner opens each post with editPost
// then showWindow, and closes it with close once it is done with the post.
//
// The page reports its content after every change, so postFromEditor has the current post at once; the
// decisions that must see the very latest text (the user's close, the publish button) read the page
// again and go on when it answers, never with an older report. From the publish button's press until the
// submit is settled, the text, title, labels and publishing choices cannot change: the post sent is the
// one on screen. A failure or a cancel (loading off) or the owner's unlock makes them editable again.
// Those reads wait for the page as long as its web view's script deadline at most: a page that does not
// answer by then, or whose renderer ended, ends the press with an error, and the user's close without the
// keep-version question (the autosave record stays to be offered back); the next post gets a new page.
class PostEditorWindowController : public WindowController
{
    Q_OBJECT
public:
    using SubmitBlock = std::function<void(const BloggerPost& post, const QStringList& images,
                                           PublishedToOfflineUpdateType updateType)>;

    explicit PostEditorWindowController(QObject* parent = nullptr);
    ~PostEditorWindowController() override;

    SubmitBlock onSubmitRequest;
    // The answer to the keep-version question: true for "Save", false for "Don't Save".
    std::function<void(bool save)> onWindowCloseRequest;
    std::function<void()> onWindowHasClosedWithNoOptions;
    std::function<void()> onPostPreviewRequest;
    std::function<void()> onLivePostPreviewRequest;
    std::function<void()> onCancelPublishing;

    // Whether the editor is on screen; never loads the window to find out.
    bool isWindowOpened();
    // The post to edit; none, or a post without a post id, starts a new post.
    void editPost(const std::optional<BloggerPost>& post);
    // The same, with "Offline" chosen in the status list, as the user would to take the post offline.
    void editPostOffline(const std::optional<BloggerPost>& post);
    // The first time, loads the window and its page; the window shows once the page has the post. Each
    // opening starts in the title field; an open editor is brought to the front as it is.
    void showWindow();
    // For an opening the user asked for: from now until the window is on screen and active, the keys typed
    // into the window the user is in are held, then given to the title field in order.
    void holdTypedKeys();
    // No opening after all: what was held is dropped, and keys go where they went before.
    void dropTypedKeys();
    // Hides the window without asking anything; the editor stays for the next post.
    void close();

    // The post as the window holds it now; none while the page is not loaded.
    std::optional<BloggerPost> postFromEditor() const;
    // Busy state on or off, from any thread; applied on the main thread after the call returns.
    void loading(bool flag);
    bool isFreshNewPost() const;
    PostStatus selectedPostStatus() const;
    // Locks or unlocks the post's text and controls (the publish button stays); the publish button locks
    // them at its press, and the owner unlocks them when a submit it does not publish could not be kept.
    void setContentLocked(bool locked);
    bool contentLocked() const { return m_contentLocked; }
    // The line under the page that says autosave cannot write the post; shown until told otherwise or
    // another post is edited.
    void showAutosaveFailed(bool failed);

    bool editorLoaded() const { return m_editorLoaded; }
    bool publishingPost() const { return m_publishingPost; }
    const std::optional<BloggerPost>& originalInEditPost() const { return m_originalInEditPost; }
    QString oldPublishButtonTitle() const { return m_oldPublishButtonTitle; }
    // The address the page is loaded from.
    static QUrl editorPageAddress();
    // What the page receives for a content: the one line of script that hands it over.
    static QString setEditorContentScript(const QString& content);
    static QString addLocalImageScript(const QString& address);
    // The "file://" sources of the post's images, in order, duplicates kept.
    static QStringList localImages(const QString& content);
    // Where the image picker starts: the Documents folder of the home folder, else the pictures folder,
    // else home.
    static QString imagePanelFolder();

    // Outlets, none until the window is loaded.
    QWidget* topPanelContainerOutlet() const;
    QLineEdit* postTitleOutlet() const;
    QLineEdit* postLabelsOutlet() const;
    WebView* webViewOutlet() const;
    QComboBox* postStatusOutlet() const;
    QCheckBox* scheduledCheckboxOutlet() const;
    QComboBox* publishedToOfflineUpdateTypeOutlet() const;
    QLabel* scheduledCheckboxLabelOutlet() const;
    QDateTimeEdit* publishDateTimeOutlet() const;
    QPushButton* publishButtonOutlet() const;
    SpinnerView* spinningIndicatorOutlet() const;
    QToolButton* publishPostHelpButton() const;
    ImageView* offlineCopyIconOutlet() const;
    QLabel* autosaveStatusOutlet() const;

Q_SIGNALS:
    // The content last handed to the page is on screen.
    void editorContentShown();

protected:
    std::unique_ptr<QWidget> loadWindow() override;
    void windowDidLoad() override;
    bool windowShouldClose() override;

private:
    void setEditedPost(const std::optional<BloggerPost>& post);
    void setupWindow();
    void setupWebView();
    // The page's settings and web channel, for each new page.
    void setupPage();
    // Replaces a page that stopped answering; the next showWindow loads the editor page in the new one.
    void renewStoppedPage();
    void onPageLoaded(bool ok);
    void loadFirstContent();
    // The post's title, labels, date and status into the window's controls; the page is not touched.
    void fillFields();
    // The post's content into the page, as a new content whose older reports are dropped.
    void loadContentIntoPage();
    void updateWindowTitle();
    void applyLoading(bool flag);

    // Reads the page's content afresh, locking it first when asked; `then` gets it, or none when the page
    // ended or has not answered within the deadline.
    void readContent(bool lock, std::function<void(std::optional<QString> content)> then);
    void setContentLocked(bool locked, bool tellPage);
    void showNoAnswerAlert(bool closing);
    void checkClose(const std::optional<QString>& freshContent);
    void askKeepVersion();
    void closeApproved();

    bool handleMarkers(const QUrl& address);
    void selectLocalImage();
    void insertLocalImage(const QString& sourcePath);

    void fillStatusCombobox();
    void setPublishScheduledUI();
    void setPublishUI();
    void setDraftUI();
    void setSaveLocallyUI();
    void setPublishOfflineCopyUI();
    void setSaveOfflineCopyUI();
    void setPublishedToOfflineUI();
    void applyLayout(const QString& buttonTitle, bool offlineIcon, bool checkbox, bool datePicker,
                     bool updateType);
    void layoutForStatus(PostStatus status);
    void statusComboboxClick();
    void scheduledCheckboxClick();
    void publishButtonClick();
    bool validatePost(const QString& content);
    void askCancelPublishing();
    void submitPost();
    void publishPostHelpButtonClick();
    PublishedToOfflineUpdateType selectedUpdateType() const;
    QStringList labelsFromField() const;
    QDateTime pickedPublishDate() const;

    std::unique_ptr<Ui::PostEditorWindow> m_ui;
    EditorPageBridge* m_bridge;
    KeystrokeHold* m_keyHold;

    bool m_editorLoaded = false;
    std::optional<BloggerPost> m_originalInEditPost;
    bool m_isFreshNewPost = true;
    bool m_publishingPost = false;
    QString m_oldPublishButtonTitle;
    bool m_startOffline = false;

    // The page's content as last reported, for the content handed to it last (m_contentGeneration).
    QString m_editorContent;
    int m_contentGeneration = 0;
    bool m_awaitingPageLoad = false;
    bool m_pageNavigationAllowed = false;
    bool m_closingByOwner = false;
    bool m_closeApproved = false;
    bool m_closeCheckPending = false;
    bool m_publishClickPending = false;
    bool m_contentLocked = false;
    // Why the page no longer serves: a read went unanswered past the deadline, or its renderer ended.
    enum class PageStop
    {
        None,
        NoAnswer,
        Ended
    };
    PageStop m_pageStop = PageStop::None;
};
