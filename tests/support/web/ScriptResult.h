#pragma once

#include "platform/gui/WebView.h"

#include <QTest>
#include <QVariant>
#include <QWebEngineScript>

#include <memory>
#include <optional>

namespace ScriptResult {

// Runs a script in the view and waits for its value; "<no result>" when none came in time.
inline QVariant evaluate(WebView& view, const QString& script, quint32 worldId = QWebEngineScript::MainWorld,
                         int timeoutMs = 20000)
{
    // Shared with the callback: an answer after the wait gave up must not write into a finished frame.
    auto answer = std::make_shared<std::optional<QVariant>>();
    view.evaluateScript(
        script, [answer](const QVariant& result) { *answer = result; }, worldId);
    if (!QTest::qWaitFor([&] { return answer->has_value(); }, timeoutMs)) {
        return QStringLiteral("<no result>");
    }
    return **answer;
}

} // namespace ScriptResult
