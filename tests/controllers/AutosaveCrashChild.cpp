// The application, started in this process, editing one post until it is killed: the child of
// TestAutosaveCrashSafety. It says on standard output what it does, one line at a time:
//   RECOVERED <n>   the editor opened on an autosaved post whose text ends with word n ("none": no word)
//   NEW             a new post was started (the first run, --first)
//   TYPED <n>       word n is being typed at the end of the text
//   SAVED <n>       an autosave holding words up to n reached the store
// With --publish TITLE it types a few words into the post offered back, or into a new post of that title
// with a picture, and presses Publish:
//   PUBLISHING      the publish button was pressed
//   PUBLISHED <ms>  the editor closed on a published post, that long after the press
//   FAILED <text>   the publish ended with an alert
#include "ApplicationHarness.h"

#include "services/LocalImages.h"

#include "controllers/AppDelegate.h"
#include "controllers/ApplicationControllerService.h"
#include "controllers/ApplicationWindowController.h"
#include "controllers/PostsControllerService.h"
#include "platform/gui/WebView.h"
#include "services/PostAutoSaveService.h"
#include "ui/windows/PostEditorWindowController.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
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
    int firstWord = 0;
    bool started = false;
    const int publishAt = application.arguments().indexOf(QStringLiteral("--publish"));
    const QString publishTitle = publishAt > 0 ? application.arguments().value(publishAt + 1) : QString();
    bool pressed = false;
    QElapsedTimer sincePress;
    QTemporaryDir pictures;
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
                     [&](const QString&, const QString& content) {
                         const int saved = lastWord(content);
                         say(QStringLiteral("SAVED %1").arg(saved));
                         // Three words of this run and the picture are stored: time to publish.
                         if (publishTitle.isEmpty() || !started || pressed || saved < firstWord + 2 ||
                             !content.contains(QStringLiteral("<img"))) {
                             return;
                         }
                         typist.stop();
                         // A post offered back on its own comes up as an offline post: publish it.
                         if (editor->postStatusOutlet()->currentIndex() != 0) {
                             editor->postStatusOutlet()->setCurrentIndex(0);
                             Q_EMIT editor->postStatusOutlet()->activated(0);
                         }
                         pressed = true;
                         sincePress.start();
                         say(QStringLiteral("PUBLISHING"));
                         editor->publishButtonOutlet()->click();
                     });
    QObject::connect(posts, &PostsControllerService::editorClosed, [&] {
        if (pressed) {
            // Settled in the store too: the autosave record is gone.
            posts->postAutoSaveService()->waitForStoreWork();
            say(QStringLiteral("PUBLISHED %1").arg(sincePress.elapsed()));
        }
    });
    QTimer failures;
    failures.setInterval(50);
    QObject::connect(&failures, &QTimer::timeout, [&] {
        if (!harness.alerts.isEmpty()) {
            say(QStringLiteral("FAILED ") + harness.alerts.first().title + QStringLiteral(": ") +
                harness.alerts.first().message);
            failures.stop();
        }
    });
    failures.start();

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
            editor->postTitleOutlet()->setText(publishTitle.isEmpty() ? QStringLiteral("Written until killed")
                                                                      : publishTitle);
            if (!publishTitle.isEmpty()) {
                const QString source = pictures.path() + QStringLiteral("/dot.png");
                QImage picture(4, 3, QImage::Format_RGB32);
                picture.fill(Qt::darkCyan);
                picture.save(source, "PNG");
                const LocalImages::Copy copy = LocalImages::copyIntoFolder(source);
                editor->webViewOutlet()->evaluateScript(PostEditorWindowController::addLocalImageScript(
                                                            LocalImages::imageAddress(copy.path.value())),
                                                        {});
            }
        }
        next = last + 1;
        firstWord = next;
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
