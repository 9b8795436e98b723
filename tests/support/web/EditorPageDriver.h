#pragma once

#include "model/BloggerPost.h"
#include "platform/Alert.h"
#include "platform/gui/WebView.h"
#include "ui/windows/PostEditorWindowController.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QList>
#include <QStringList>
#include <QTest>
#include <QVariant>

#include <memory>
#include <optional>

// A post editor's page and image picker worked as a user works them, for tests. A subclass says which
// editor: one made by the test or the one of the running application.
class EditorPageDriver
{
public:
    static constexpr int Timeout = 20000;

    virtual ~EditorPageDriver() = default;

    QVariant evaluate(const QString& script)
    {
        // Shared with the callback: an answer after the wait gave up must not write into a finished frame.
        auto answer = std::make_shared<std::optional<QVariant>>();
        editorWindow()->webViewOutlet()->evaluateScript(
            script, [answer](const QVariant& result) { *answer = result; });
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

    // Waits until the window's view of the content (what postFromEditor and autosave read) satisfies the
    // test.
    template <typename Test> bool waitForWindowContent(Test test)
    {
        return QTest::qWaitFor(
            [&] {
                const std::optional<BloggerPost> post = editorWindow()->postFromEditor();
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
                    if (isImagePicker(top)) {
                        found = static_cast<QFileDialog*>(top);
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
            count += isImagePicker(top) ? 1 : 0;
        }
        return count;
    }

    static QStringList titlesOf(const QList<AlertRequest>& alerts)
    {
        QStringList titles;
        for (const AlertRequest& alert : alerts) {
            titles << alert.title;
        }
        return titles;
    }

protected:
    virtual PostEditorWindowController* editorWindow() = 0;

private:
    static bool isImagePicker(QWidget* top)
    {
        auto* dialog = qobject_cast<QFileDialog*>(top);
        return dialog && dialog->objectName() == QStringLiteral("selectImagePanel") && dialog->isVisible();
    }
};
