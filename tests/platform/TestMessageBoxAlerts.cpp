#include "common/LocalNotificationService.h"
#include "platform/gui/MessageBoxAlertPresenter.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

class TestMessageBoxAlerts : public QObject
{
    Q_OBJECT

private:
    static QMessageBox* openBox()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
                return box;
            }
        }
        return nullptr;
    }

private Q_SLOTS:
    void initTestCase() { MessageBoxAlertPresenter::install(); }

    void testWithoutMainWindowTheAlertIsApplicationModal()
    {
        LocalNotificationService().showCriticalAlert("Cannot delete the comment", "Server said no");
        QTRY_VERIFY(openBox() != nullptr);
        QMessageBox* box = openBox();
        QCOMPARE(box->text(), QStringLiteral("Cannot delete the comment"));
        QCOMPARE(box->informativeText(), QStringLiteral("Server said no"));
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        QCOMPARE(box->buttons().size(), 1);
        box->accept();
        QTRY_VERIFY(openBox() == nullptr);
    }

    void testWarningAlertShowsWarningIconAndOneOkButton()
    {
        Alert::present(AlertRequest{AlertStyle::Warning, "SQLiteDB", "The database is full"});
        QTRY_VERIFY(openBox() != nullptr);
        QMessageBox* box = openBox();
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QCOMPARE(box->text(), QStringLiteral("SQLiteDB"));
        QCOMPARE(box->standardButtons(), QMessageBox::Ok);
        box->accept();
        QTRY_VERIFY(openBox() == nullptr);
    }

    void testReturnChoosesTheNamedDefaultButton()
    {
        int chosen = -1;
        Alert::present(AlertRequest{AlertStyle::Warning,
                                    "Delete it?",
                                    "",
                                    {"Delete", "Cancel"},
                                    [&chosen](int button) { chosen = button; },
                                    1});
        QTRY_VERIFY(openBox() != nullptr);
        QMessageBox* box = openBox();
        QCOMPARE(box->defaultButton()->text(), QStringLiteral("Cancel"));
        QTest::keyClick(box, Qt::Key_Return);
        QTRY_COMPARE(chosen, 1);
    }

    void testWithMainWindowTheAlertIsASheetOnIt()
    {
        QMainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        LocalNotificationService().showInfoAlert("Saved", "");
        QTRY_VERIFY(openBox() != nullptr);
        QMessageBox* box = openBox();
        QCOMPARE(box->parentWidget(), &window);
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        QCOMPARE(box->icon(), QMessageBox::Information);
        box->accept();
    }
};

QTEST_MAIN(TestMessageBoxAlerts)
#include "TestMessageBoxAlerts.moc"
