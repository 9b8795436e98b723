#pragma once

#include "EditorPageDriver.h"

#include "model/BloggerPost.h"
#include "platform/Alert.h"
#include "ui/windows/PostEditorWindowController.h"

#include <QList>
#include <QQueue>
#include <QSignalSpy>
#include <QTest>

#include <optional>

// Works one post editor as a user would and reads its page, for tests. Alerts are recorded, questions
// answered from a queue by button index (an empty queue answers the last button).
class EditorTestDriver : public EditorPageDriver
{
public:
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

    QStringList alertTitles() const { return titlesOf(alerts); }

    PostEditorWindowController editor;
    QList<AlertRequest> alerts;
    QQueue<int> answers;

protected:
    PostEditorWindowController* editorWindow() override { return &editor; }
};
