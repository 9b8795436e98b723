#pragma once

#include "model/BloggerPost.h"

#include <QObject>
#include <QString>

#include <memory>

class GoogleAuthentificationService;
class LivePreviewWindowController;
class MiniBrowserWindowController;

// The two previews of a post being edited: the post alone in the preview browser, and the post inside its
// blog's own page in the live preview. The blog page is fetched once, without credentials, and kept as the
// blog's template; nothing is ever published from here. Each preview gets a new window, which replaces the
// previous one of its kind. A live preview's pictures are served exactly as long as that preview lives.
// Main thread.
class PostPreviewService : public QObject
{
    Q_OBJECT
public:
    explicit PostPreviewService(std::shared_ptr<GoogleAuthentificationService> service,
                                QObject* parent = nullptr);
    ~PostPreviewService() override;

    void showPreview(const BloggerPost& post);
    void showLivePreview(const BloggerPost& post);
    // The live preview's pictures are no longer served (its window closed, or the editor moved on); its
    // window may stay.
    void withdrawPictureGrant();

    MiniBrowserWindowController* previewWindowController() const { return m_previewWindowController.get(); }
    LivePreviewWindowController* livePreviewWindowController() const
    {
        return m_livePreviewWindowController.get();
    }

    // Transfer time-out of the template fetch, in seconds.
    void setTimeoutInterval(double seconds) { m_timeoutInterval = seconds; }

private:
    std::shared_ptr<GoogleAuthentificationService> m_authentificationService;
    std::unique_ptr<MiniBrowserWindowController> m_previewWindowController;
    std::unique_ptr<LivePreviewWindowController> m_livePreviewWindowController;
    double m_timeoutInterval;
    // The picture server's grant of the current live preview.
    QString m_pictureGrant;
};
