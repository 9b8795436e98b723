#pragma once

#include "platform/gui/WebView.h"

#include <QTest>
#include <QVariant>
#include <QWebEngineScript>

namespace ScriptResult {

// Runs a script in the view and waits for its value; "<no result>" when none came in time.
inline QVariant evaluate(WebView& view, const QString& script, quint32 worldId = QWebEngineScript::MainWorld,
                         int timeoutMs = 20000)
{
    bool done = false;
    QVariant value;
    view.evaluateScript(
        script,
        [&](const QVariant& result) {
            value = result;
            done = true;
        },
        worldId);
    if (!QTest::qWaitFor([&] { return done; }, timeoutMs)) {
        return QStringLiteral("<no result>");
    }
    return value;
}

} // namespace ScriptResult
