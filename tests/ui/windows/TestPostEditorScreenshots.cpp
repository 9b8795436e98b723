#include "EditorTestDriver.h"
#include "Screenshot.h"
#include "TestSupport.h"
#include "WebTestMain.h"
#include "platform/ApplicationFolders.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QTemporaryDir>

#include <memory>

namespace {

const QString Article = QStringLiteral(
    "<h2>Low water at the harbour</h2><p>The boats sit on the mud twice a day, and the gulls take over the "
    "quay. Spring tides bring the water right up to the <b>old steps</b>.</p>"
    "<ul><li>High water 06:42</li><li>Low water 12:55</li></ul>"
    "<blockquote>Time and tide wait for no one.</blockquote>");

BloggerPost post(PostStatus status)
{
    BloggerPost p;
    p.blogId = QStringLiteral("blog");
    p.postId = QStringLiteral("post-") + rawValue(status);
    p.title = QStringLiteral("Tide tables for March");
    p.content = Article;
    p.labels = {QStringLiteral("tides"), QStringLiteral("harbour")};
    p.postStatus = status;
    p.publishDate = QDateTime(QDate(2031, 3, 14), QTime(6, 30), Qt::LocalTime);
    if (status == PostStatus::SyncedCopy) {
        p.offlineForPostWithId = QStringLiteral("post-Published");
    }
    return p;
}

} // namespace

// Pictures of the post editor for people to look at, in a real (virtual) X display so the page paints:
// a new post, each layout of the publishing controls, a post with an image. Each must be written.
class TestPostEditorScreenshots : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::useFreshDataFolder();
        m_driver = std::make_unique<EditorTestDriver>();
    }
    void cleanupTestCase() { m_driver.reset(); }

    void testNewPost()
    {
        QVERIFY(m_driver->open(std::nullopt));
        m_driver->editor.window()->resize(1040, 700);
        shoot("editor-new-post");
    }

    void testEachLayout()
    {
        QVERIFY(m_driver->open(post(PostStatus::Published)));
        shoot("editor-layout-publish");
        m_driver->editor.scheduledCheckboxOutlet()->click();
        shoot("editor-layout-publish-scheduled");
        m_driver->editor.scheduledCheckboxOutlet()->click();
        choose(1);
        shoot("editor-layout-draft");
        choose(2);
        shoot("editor-layout-published-to-offline");
        QVERIFY(m_driver->open(post(PostStatus::Offline)));
        shoot("editor-layout-save-locally");
        QVERIFY(m_driver->open(post(PostStatus::SyncedCopy)));
        shoot("editor-layout-save-offline-copy");
        choose(0);
        shoot("editor-layout-publish-offline-copy");
        m_driver->editor.loading(true);
        QTRY_VERIFY(m_driver->editor.publishingPost());
        shoot("editor-publishing");
        m_driver->editor.loading(false);
        QTRY_VERIFY(!m_driver->editor.publishingPost());
    }

    void testPostWithImage()
    {
        // Pictures reach the editor only from the folder picked pictures are copied to.
        QVERIFY(QDir().mkpath(ApplicationFolders::applicationsFolder()));
        const QString image = ApplicationFolders::applicationsFolder() + QStringLiteral("/harbour.png");
        QImage picture(480, 240, QImage::Format_RGB32);
        QPainter painter(&picture);
        QLinearGradient sky(0, 0, 0, 240);
        sky.setColorAt(0, QColor(120, 170, 220));
        sky.setColorAt(1, QColor(20, 60, 110));
        painter.fillRect(picture.rect(), sky);
        painter.setBrush(QColor(240, 200, 80));
        painter.drawEllipse(QPoint(380, 70), 35, 35);
        painter.end();
        QVERIFY(picture.save(image, "PNG"));
        BloggerPost withImage = post(PostStatus::Draft);
        withImage.content = QStringLiteral("<p>The harbour at dusk:</p><p><img src=\"file://") + image +
                            QStringLiteral("\"></p>") + Article;
        QVERIFY(m_driver->open(withImage));
        QTRY_VERIFY(m_driver
                        ->evaluate(QStringLiteral("document.querySelector('#editor img').complete && "
                                                  "document.querySelector('#editor img').naturalWidth"))
                        .toInt() == 480);
        shoot("editor-post-with-image");
    }

private:
    void choose(int index)
    {
        m_driver->editor.postStatusOutlet()->setCurrentIndex(index);
        Q_EMIT m_driver->editor.postStatusOutlet()->activated(index);
    }

    void shoot(const QString& name)
    {
        const QString path = Screenshot::saveScreenArea(m_driver->editor.window(), name);
        QVERIFY2(!path.isEmpty() && QFileInfo(path).size() > 0, qPrintable(name));
    }

    std::unique_ptr<EditorTestDriver> m_driver;
};

PENHOLLOW_WEB_TEST_MAIN(TestPostEditorScreenshots)
#include "TestPostEditorScreenshots.moc"
