// The application, started in this process, editing one post until it is killed: the child of
// TestAutosaveCrashSafety. It says on standard output what it does, one line at a time:
//   RECOVERED <n>   the editor opened on an autosaved post whose text ends with word n ("none": no word)
//   NEW             a new post was started (the first run, --first)
//   TYPED <n>       word n is being typed at the end of the text
//   SAVED <n>       an autosave holding words up to n reached the store
#include "ApplicationHarness.h"

#include "platform/gui/WebView.h"
#include "services/PostAutoSaveService.h"
#include "services/control/AppDelegate.h"
#include "services/control/ApplicationControllerService.h"
#include "services/control/PostsControllerService.h"
#include "ui/main/ApplicationWindowController.h"
#include "ui/windows/PostEditorWindowController.h"

#include <QApplication>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

namespace {

void say(const QString& line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// The number of the last word typed into the text, or -1.
int lastWord(const QString& content)
{
    static const QRegularExpression word(QStringLiteral("w(\\d+)"));
    int last = -1;
    for (const QRegularExpressionMatch& match : word.globalMatch(content)) {
        last = match.captured(1).toInt();
    }
    return last;
}

} // namespace

int main(int argc, char* argv[])
{
    QStandardPaths::setTestModeEnabled(true);
    AppDelegate::prepareProcess();
    QApplication application(argc, argv);
    ApplicationHarness harness;
    if (!harness.launch()) {
        say(QStringLiteral("NOT LAUNCHED"));
        return 2;
    }
    PostsControllerService* posts =
        harness.windowController()->applicationControllerService()->postsControllerService();
    PostEditorWindowController* editor = posts->postEditor();
    posts->postAutoSaveService()->setInterval(100);

    int next = 0;
    bool started = false;
    QTimer typist;
    typist.setInterval(25);
    QObject::connect(&typist, &QTimer::timeout, [&] {
        say(QStringLiteral("TYPED %1").arg(next));
        editor->webViewOutlet()->evaluateScript(
            QStringLiteral("(function(){const r=document.getElementById('editor');r.focus();"
                           "const s=getSelection();s.selectAllChildren(r);s.collapseToEnd();"
                           "document.execCommand('insertText',false,' w%1');})()")
                .arg(next),
            {});
        ++next;
    });
    QObject::connect(posts->postAutoSaveService(), &PostAutoSaveService::autosaved,
                     [](const QString&, const QString& content) {
                         say(QStringLiteral("SAVED %1").arg(lastWord(content)));
                     });

    const auto begin = [&](bool recovered) {
        if (started) {
            return;
        }
        started = true;
        const int last = lastWord(editor->postFromEditor() ? editor->postFromEditor()->content : QString());
        if (recovered) {
            say(QStringLiteral("RECOVERED ") + (last < 0 ? QStringLiteral("none") : QString::number(last)));
        } else {
            say(QStringLiteral("NEW"));
            editor->postTitleOutlet()->setText(QStringLiteral("Written until killed"));
        }
        next = last + 1;
        typist.start();
    };
    QObject::connect(editor, &PostEditorWindowController::editorContentShown,
                     [&] { begin(editor->isWindowOpened() && !editor->isFreshNewPost()); });
    // The first run starts the post; every later one waits for it to be offered back.
    if (application.arguments().contains(QStringLiteral("--first"))) {
        QTimer::singleShot(0, [&] { harness.delegate()->newPost(); });
    }
    return QApplication::exec();
}
