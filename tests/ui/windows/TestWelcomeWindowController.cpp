#include "StandinHarness.h"
#include "TestSupport.h"

#include "google/GoogleAuthentificationService.h"
#include "platform/Alert.h"
#include "platform/gui/ExternalUrlOpener.h"
#include "platform/gui/MessageBoxAlertPresenter.h"
#include "platform/gui/ViewBackground.h"
#include "services/WelcomeNewAccountService.h"
#include "store/PersistentAccessTokens.h"
#include "store/SQLAccess.h"
#include "store/UserBlogsLocalAccessAppService.h"
#include "ui/windows/WelcomeWindowController.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace {

// The sign-in window as the user would leave it: it hands over the code it is given, at once.
class InstantWindow : public AuthentificationWindow
{
public:
    InstantWindow(int* opened, QString code) : m_opened(opened), m_code(std::move(code)) {}
    void submitBlock(std::function<void(const QString&)> block) override { m_submit = std::move(block); }
    void openWindow(const QString&, const QString&, const QString&, const QString&) override
    {
        ++*m_opened;
        if (m_submit && !m_code.isEmpty()) {
            m_submit(m_code);
        }
    }

private:
    int* m_opened;
    QString m_code;
    std::function<void(const QString&)> m_submit;
};

struct Terminated
{
    QStringList arguments;
    bool onMainThread = false;
};

} // namespace

// The welcome window alone: its look, its two buttons, and how it hands on the first-account flow's end.
// The flow runs against the stand-in; the sign-in window is replaced by one that answers at once.
class TestWelcomeWindowController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::useFreshDataFolder();
        SQLAccess().createDababaseStructure();
    }

    void init()
    {
        m_alerts.clear();
        Alert::setPresenter([this](const AlertRequest& request) { m_alerts << request; });
        m_standin = std::make_unique<StandinHarness>();
        m_opened = 0;
        m_codes.clear();
        m_standin->auth->setAuthentificationWindowFactory([this] {
            return std::make_unique<InstantWindow>(&m_opened,
                                                   m_codes.isEmpty() ? QString() : m_codes.takeFirst());
        });
        m_controller = std::make_unique<WelcomeWindowController>(m_standin->auth);
        m_terminated.clear();
        m_controller->onOperationTerminated = [this](const QString& userId, const QString& blogId,
                                                     const QString& accessToken,
                                                     const QString& refreshToken) {
            m_terminated << Terminated{{userId, blogId, accessToken, refreshToken},
                                       QThread::currentThread() == qApp->thread()};
        };
    }

    void cleanup()
    {
        m_controller.reset();
        m_standin.reset();
        Alert::setPresenter({});
        ExternalUrlOpener::setOpener({});
    }

    void testBannerIsWhiteAndTitleBarStaysStandard()
    {
        m_controller->showWindow();
        QWidget* window = m_controller->windowOutlet();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->objectName(), QStringLiteral("windowOutlet"));
        QCOMPARE(ViewBackground::color(m_controller->bannerViewOutlet()), QColor(255, 255, 255));
        QVERIFY(!(window->windowFlags() & Qt::FramelessWindowHint));
        QVERIFY(window->findChild<QPushButton*>(QStringLiteral("addNewBloggerAccountButton")));
        QVERIFY(window->findChild<QPushButton*>(QStringLiteral("supportButton")));
    }

    void testSupportButtonOpensMailToSupportWithSubject()
    {
        QList<QUrl> opened;
        ExternalUrlOpener::setOpener([&](const QUrl& url) {
            opened << url;
            return true;
        });
        m_controller->showWindow();
        QTest::mouseClick(m_controller->window()->findChild<QPushButton*>(QStringLiteral("supportButton")),
                          Qt::LeftButton);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().toEncoded(),
                 QByteArray("mailto:support@penhollow.app?Subject=Penhollow%20Help"));
        QCOMPARE(opened.first().query(QUrl::FullyDecoded), QStringLiteral("Subject=Penhollow Help"));
        QVERIFY(m_alerts.isEmpty());
    }

    void testSupportLinkWithoutMailProgramSaysSoWithTheAddress()
    {
        ExternalUrlOpener::setOpener([](const QUrl&) { return false; });
        m_controller->showWindow();
        QTest::mouseClick(m_controller->window()->findChild<QPushButton*>(QStringLiteral("supportButton")),
                          Qt::LeftButton);
        QTRY_COMPARE(m_alerts.size(), 1);
        QCOMPARE(m_alerts.first().title, QStringLiteral("No mail program to write to support"));
        QVERIFY2(m_alerts.first().message.contains(QStringLiteral("support@penhollow.app")),
                 qPrintable(m_alerts.first().message));
        QVERIFY(m_controller->window()->isVisible());
    }

    void testCompletedFlowHandsOnIdsAndTokensInOrderOnMainThread()
    {
        m_codes << m_standin->standin.issueAuthorizationCode(m_standin->standin.defaultAccountId());
        m_controller->showWindow();
        QTest::mouseClick(
            m_controller->window()->findChild<QPushButton*>(QStringLiteral("addNewBloggerAccountButton")),
            Qt::LeftButton);
        QCOMPARE(m_opened, 1);
        QTRY_COMPARE(m_terminated.size(), 1);
        // A second report would come from work still queued or running in the background.
        QVERIFY(TestSupport::backgroundWorkDone());
        QCOMPARE(m_terminated.size(), 1);

        WelcomeNewAccountService* flow = m_controller->welcomeNewAccountService();
        const QString user = m_standin->standin.defaultAccountId();
        QCOMPARE(m_terminated.first().arguments,
                 QStringList({user, StandinHarness::blogId(), flow->accessToken(), flow->refreshToken()}));
        QVERIFY(m_terminated.first().onMainThread);
        QVERIFY(m_standin->standin.isAccessTokenValid(flow->accessToken()));
        QVERIFY(m_standin->standin.refreshTokens(user).contains(flow->refreshToken()));
        // The account and its blogs are stored; the tokens are the owner's to store.
        QCOMPARE(UserBlogsLocalAccessAppService().listAllBlogsForUser(user).first().blogId,
                 StandinHarness::blogId());
        QVERIFY(!PersistentAccessTokens(user).accessToken());
        QVERIFY(m_alerts.isEmpty());
        QVERIFY(m_controller->window()->isVisible());
    }

    void testReturnPressesTheAddAccountButton()
    {
        m_controller->showWindow();
        QWidget* window = m_controller->window();
        QVERIFY(QTest::qWaitForWindowActive(window));
        auto* add = window->findChild<QPushButton*>(QStringLiteral("addNewBloggerAccountButton"));
        QTRY_COMPARE(QApplication::focusWidget(), add);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(m_opened, 1);

        // A click on the link, with no mail program, and OK to its message: Return still adds an account.
        MessageBoxAlertPresenter::install();
        ExternalUrlOpener::setOpener([](const QUrl&) { return false; });
        auto* link = window->findChild<QPushButton*>(QStringLiteral("supportButton"));
        QTest::mouseClick(link, Qt::LeftButton);
        QVERIFY(answerMessageWithOk());
        // The window system gives the window back its activation, as it does when a message closes.
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(m_opened, 2);

        // Tab brings the focus to the link, and Return follows it.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), link);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(answerMessageWithOk());
        QCOMPARE(m_opened, 2);
    }

    void testRefusedCodeAlertsOnceAndSecondPressStartsANewFlow()
    {
        m_codes << QStringLiteral("not-a-code")
                << m_standin->standin.issueAuthorizationCode(m_standin->standin.defaultAccountId());
        m_controller->showWindow();
        m_controller->addNewBloggerAccountButtonClick();
        QTRY_COMPARE(m_alerts.size(), 1);
        QCOMPARE(m_alerts.first().title, WelcomeNewAccountService::signInFailedTitle());
        QCOMPARE(m_alerts.first().style, AlertStyle::Critical);
        QVERIFY(m_terminated.isEmpty());
        QVERIFY(m_controller->window()->isVisible());

        m_controller->addNewBloggerAccountButtonClick();
        QCOMPARE(m_opened, 2);
        QTRY_COMPARE(m_terminated.size(), 1);
        // A second report would come from work still queued or running in the background.
        QVERIFY(TestSupport::backgroundWorkDone());
        QCOMPARE(m_terminated.size(), 1);
        QCOMPARE(m_alerts.size(), 1);
    }

    void testFlowReplacedByANewPressIsForwardedOnce()
    {
        // The first window never answers (the user left it); the second does.
        m_codes << QString()
                << m_standin->standin.issueAuthorizationCode(m_standin->standin.defaultAccountId());
        m_controller->showWindow();
        m_controller->addNewBloggerAccountButtonClick();
        m_controller->addNewBloggerAccountButtonClick();
        QTRY_COMPARE(m_terminated.size(), 1);
        QVERIFY(TestSupport::backgroundWorkDone());
        QCOMPARE(m_terminated.size(), 1);
        QVERIFY(m_alerts.isEmpty());
    }

    void testWithoutClosureCompletedFlowDoesNothing()
    {
        m_controller->onOperationTerminated = nullptr;
        m_codes << m_standin->standin.issueAuthorizationCode(m_standin->standin.defaultAccountId());
        m_controller->showWindow();
        m_controller->addNewBloggerAccountButtonClick();
        QTRY_VERIFY(!m_controller->welcomeNewAccountService()->userId().isEmpty());
        QVERIFY(m_alerts.isEmpty());
        QVERIFY(m_controller->window()->isVisible());
    }

    void testDraggingTheBackgroundMovesTheWindow()
    {
        m_controller->showWindow();
        QWidget* window = m_controller->window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QPoint before = window->pos();
        QWidget* banner = m_controller->bannerViewOutlet();
        const QPoint start = banner->rect().center();
        QTest::mousePress(banner, Qt::LeftButton, {}, start);
        QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(40, 25)),
                         QPointF(banner->mapToGlobal(start + QPoint(40, 25))), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(banner, &move);
        QTest::mouseRelease(banner, Qt::LeftButton, {}, start + QPoint(40, 25));
        QCOMPARE(window->pos(), before + QPoint(40, 25));
    }

private:
    static QMessageBox* openMessage()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
                return box;
            }
        }
        return nullptr;
    }

    // The message that comes, answered as the user would: a click on its OK button.
    static bool answerMessageWithOk()
    {
        if (!QTest::qWaitFor([] { return openMessage() != nullptr; }, PENHOLLOW_TRY_TIMEOUT)) {
            return false;
        }
        QTest::mouseClick(openMessage()->button(QMessageBox::Ok), Qt::LeftButton);
        return QTest::qWaitFor([] { return openMessage() == nullptr; }, PENHOLLOW_TRY_TIMEOUT);
    }

    std::unique_ptr<StandinHarness> m_standin;
    std::unique_ptr<WelcomeWindowController> m_controller;
    QList<AlertRequest> m_alerts;
    QList<Terminated> m_terminated;
    QStringList m_codes;
    int m_opened = 0;
};

QTEST_MAIN(TestWelcomeWindowController)
#include "TestWelcomeWindowController.moc"
