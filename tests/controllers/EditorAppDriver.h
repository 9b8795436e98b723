#pragma once

#include "ApplicationHarness.h"
#include "EditorPageDriver.h"
#include "GoogleStandin.h"
#include "TestSupport.h"

#include "controllers/AppDelegate.h"
#include "controllers/ApplicationControllerService.h"
#include "controllers/ApplicationWindowController.h"
#include "controllers/PostsControllerService.h"
#include "google/GoogleAuthentificationService.h"
#include "platform/gui/WebView.h"
#include "services/PostAutoSaveService.h"
#include "store/PersistentAccessTokens.h"
#include "ui/main/TableContentViewController.h"
#include "ui/windows/PostEditorWindowController.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>
#include <optional>

// The whole application in this process, signed in to the stand-in's first account on its first blog,
// with the post editor worked as a user works it.
class EditorAppDriver : public EditorPageDriver
{
public:
    // Points the application at a running stand-in and stores its first account as the signed-in one.
    static void signInTo(GoogleStandin& standin, const QString& blogId)
    {
        TestSupport::pointGoogleServicesAt(standin.serverUrl());
        const QString userId = standin.defaultAccountId();
        ApplicationHarness::storeAccount(
            BloggerUser(userId, "Mara Quill", "https://profiles/mara", ""),
            {BloggerBlog(blogId, userId, "Tide Tables", standin.serverUrl().toString(), "LIVE")}, blogId);
        PersistentAccessTokens tokens(userId);
        tokens.setAccessToken(standin.issueAccessToken(userId));
        tokens.setRefreshToken(standin.issueRefreshToken(userId));
    }

    bool launch()
    {
        app = std::make_unique<ApplicationHarness>();
        if (!app->launch()) {
            return false;
        }
        app->delegate()->authentificationService()->setTimeoutInterval(10);
        return QTest::qWaitFor([&] { return app->window() && app->window()->isVisible(); }, Timeout);
    }

    PostsControllerService* posts() const
    {
        return app->windowController()->applicationControllerService()->postsControllerService();
    }
    PostEditorWindowController* editor() const { return posts()->postEditor(); }
    TableContentViewController* list() const { return app->windowController()->tableContentViewController(); }

    // Waits until the editor is on screen with its post's content shown; `action` opens it.
    bool waitForEditor(const std::function<void()>& action = {})
    {
        QSignalSpy shown(editor(), &PostEditorWindowController::editorContentShown);
        if (action) {
            action();
        }
        if (!QTest::qWaitFor([&] { return editor()->isWindowOpened(); }, Timeout)) {
            return false;
        }
        // A recovered post may have been shown before anyone listened.
        return QTest::qWaitFor(
                   [&] { return shown.size() > 0 || (!action && editor()->postFromEditor().has_value()); },
                   Timeout) ||
               editor()->postFromEditor().has_value();
    }

    bool openNewPost()
    {
        return waitForEditor([&] { app->delegate()->newPost(); });
    }

    bool openPost(const QString& postId, bool offline = false)
    {
        return waitForEditor([&] {
            if (offline) {
                app->windowController()->onOfflinePostRequest(postId);
            } else {
                app->windowController()->onEditPostRequest(postId);
            }
        });
    }

    // The text must not end in a blank: the page keeps that one as a non-breaking space.
    bool write(const QString& title, const QString& labels, const QString& text)
    {
        editor()->postTitleOutlet()->setText(title);
        editor()->postLabelsOutlet()->setText(labels);
        typeAtEnd(text);
        return waitForWindowContent([&](const QString& content) { return content.contains(text); });
    }

    // Picks an image file through the page's image button and waits until it is in the text.
    bool addImage(const QString& file)
    {
        const int before = pageContent().count(QStringLiteral("<img"));
        evaluate(QStringLiteral("document.getElementById('image').click()"));
        QFileDialog* picker = imagePicker();
        if (!picker) {
            return false;
        }
        choose(picker, file);
        return waitForWindowContent(
            [&](const QString& c) { return c.count(QStringLiteral("<img")) == before + 1; });
    }

    void clickPublish() { editor()->publishButtonOutlet()->click(); }

    // Closed, and its autosave record settled in the store.
    bool waitForEditorClosed()
    {
        if (!QTest::qWaitFor([&] { return !editor()->isWindowOpened(); }, Timeout)) {
            return false;
        }
        posts()->postAutoSaveService()->waitForStoreWork();
        return true;
    }

    QStringList listedTitles() const
    {
        QStringList titles;
        for (const BloggerPost& post : list()->postsList()) {
            titles << post.title;
        }
        return titles;
    }

    QStringList alertTitles() const { return titlesOf(app->alerts); }

    std::unique_ptr<ApplicationHarness> app;

protected:
    PostEditorWindowController* editorWindow() override { return editor(); }
};
