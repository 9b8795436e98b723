#include "HtmlSchemeHandler.h"

#include <QBuffer>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace {

// A view never needs more than the document it shows and the one it is about to show.
constexpr quint64 DocumentsKept = 4;
const QString DocumentsHost = QStringLiteral("documents");

} // namespace

const QByteArray& HtmlSchemeHandler::schemeName()
{
    static const QByteArray name("penhollow-html");
    return name;
}

void HtmlSchemeHandler::registerScheme()
{
    if (QWebEngineUrlScheme::schemeByName(schemeName()).name() == schemeName()) {
        return;
    }
    QWebEngineUrlScheme scheme(schemeName());
    // Every document under one host: a view's documents are then one site and share one renderer process.
    // Without a host each address was a site of its own, every post shown started a process, and on a busy
    // machine a start that never came left the view on the post before.
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    // No local access: the documents are written by strangers (posts, blog templates). Not secure
    // either, so the http pictures of a post are not taken for mixed content.
    scheme.setFlags({});
    QWebEngineUrlScheme::registerScheme(scheme);
}

HtmlSchemeHandler::HtmlSchemeHandler(QObject* parent) : QWebEngineUrlSchemeHandler(parent) {}

QUrl HtmlSchemeHandler::addDocument(const QString& html)
{
    QMutexLocker locker(&m_mutex);
    const quint64 id = m_next++;
    m_documents.insert(id, html.toUtf8());
    if (id > DocumentsKept) {
        m_documents.remove(id - DocumentsKept);
    }
    QUrl url;
    url.setScheme(QString::fromLatin1(schemeName()));
    url.setHost(DocumentsHost);
    url.setPath(QStringLiteral("/") + QString::number(id));
    return url;
}

void HtmlSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job)
{
    const QUrl address = job->requestUrl();
    bool ok = false;
    const quint64 id = address.host() == DocumentsHost && address.path().startsWith(u'/')
                           ? address.path().mid(1).toULongLong(&ok)
                           : 0;
    QByteArray body;
    {
        QMutexLocker locker(&m_mutex);
        if (!ok || !m_documents.contains(id)) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        body = m_documents.value(id);
    }
    auto* buffer = new QBuffer(job);
    buffer->setData(body);
    buffer->open(QIODevice::ReadOnly);
    job->reply(QByteArrayLiteral("text/html;charset=utf-8"), buffer);
}
