#pragma once

#include "model/BloggerPost.h"
#include "platform/Alert.h"
#include "platform/gui/WebView.h"
#include "ui/windows/PostEditorWindowController.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QList>
#include <QQueue>
#include <QSignalSpy>
#include <QTest>
#include <QVariant>

#include <memory>
#include <optional>

// Works one post editor as a user would and reads its page, for tests. Alerts are recorded, questions
// answered from a queue by button index (an empty queue answers the last button).
class EditorTestDriver
{
public:
    static constexpr int Timeout = 20000;

    EditorTestDriver()
    {
        Alert::setPresenter([this](const AlertRequest& request) {
            alerts << request;
            if (request.completion) {
                const int last = request.buttons.isEmpty() ? 0 : int(request.buttons.size()) - 1;
                request.completion(answers.isEmpty() ? last : answers.dequeue());
            }
        });
    }
    ~EditorTestDriver() { Alert::setPresenter({}); }

    // Opens the post (none: a new one) and waits until its content is on screen.
    bool open(const std::optional<BloggerPost>& post, bool offline = false)
    {
        QSignalSpy shown(&editor, &PostEditorWindowController::editorContentShown);
        if (offline) {
            editor.editPostOffline(post);
        } else {
            editor.editPost(post);
        }
        editor.showWindow();
        return QTest::qWaitFor([&] { return editor.isWindowOpened(); }, Timeout) &&
               (shown.size() > 0 || shown.wait(Timeout));
    }

    QVariant evaluate(const QString& script)
    {
        // Shared with the callback: an answer after the wait gave up must not write into a finished frame.
        auto answer = std::make_shared<std::optional<QVariant>>();
        editor.webViewOutlet()->evaluateScript(script, [answer](const QVariant& result) { *answer = result; });
        if (!QTest::qWaitFor([&] { return answer->has_value(); }, Timeout)) {
            return QStringLiteral("<no result>");
        }
        return **answer;
    }

    QString pageContent() { return evaluate(QStringLiteral("getEditorContent()")).toString(); }

    // Types at the end of the text, through the editing commands a keyboard uses.
    void typeAtEnd(const QString& text)
    {
        evaluate(QStringLiteral("(function(){const r=document.getElementById('editor');r.focus();"
                                "const s=getSelection();s.selectAllChildren(r);s.collapseToEnd();"
                                "document.execCommand('insertText',false,%1);})()")
                     .arg(jsString(text)));
    }

    // Waits until the window's view of the content (what postFromEditor reads) satisfies the test.
    template <typename Test> bool waitForWindowContent(Test test)
    {
        return QTest::qWaitFor(
            [&] {
                const std::optional<BloggerPost> post = editor.postFromEditor();
                return post && test(post->content);
            },
            Timeout);
    }

    static QString jsString(const QString& text)
    {
        QString quoted = QStringLiteral("\"");
        for (QChar c : text) {
            if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
                quoted += QLatin1Char('\\');
                quoted += c;
            } else if (c == QLatin1Char('\n')) {
                quoted += QStringLiteral("\\n");
            } else {
                quoted += c;
            }
        }
        return quoted + QLatin1Char('"');
    }

    // The image picker the page opened, once it is on screen.
    static QFileDialog* imagePicker()
    {
        QFileDialog* found = nullptr;
        const bool shown = QTest::qWaitFor(
            [&] {
                for (QWidget* top : QApplication::topLevelWidgets()) {
                    auto* dialog = qobject_cast<QFileDialog*>(top);
                    if (dialog && dialog->objectName() == QStringLiteral("selectImagePanel") &&
                        dialog->isVisible()) {
                        found = dialog;
                        return true;
                    }
                }
                return false;
            },
            Timeout);
        return shown ? found : nullptr;
    }

    // The user picks the file and confirms.
    static void choose(QFileDialog* picker, const QString& file)
    {
        // Typed as a user types it: selectFile leaves a focused name field alone.
        auto* name = picker->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(file);
        static_cast<QDialog*>(picker)->accept();
    }

    static int visibleImagePickers()
    {
        int count = 0;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(top);
            if (dialog && dialog->objectName() == QStringLiteral("selectImagePanel") && dialog->isVisible()) {
                ++count;
            }
        }
        return count;
    }

    QStringList alertTitles() const
    {
        QStringList titles;
        for (const AlertRequest& alert : alerts) {
            titles << alert.title;
        }
        return titles;
    }

    PostEditorWindowController editor;
    QList<AlertRequest> alerts;
    QQueue<int> answers;
};
