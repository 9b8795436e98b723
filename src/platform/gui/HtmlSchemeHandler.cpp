#include "HtmlSchemeHandler.h"

#include <QBuffer>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace {

// A view never needs more than the document it shows and the one it is about to show.
constexpr quint64 DocumentsKept = 4;

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
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
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
    url.setPath(QStringLiteral("document/") + QString::number(id));
    return url;
}

void HtmlSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job)
{
    const QString path = job->requestUrl().path();
    bool ok = false;
    const quint64 id = path.startsWith(QStringLiteral("document/"))
                           ? path.mid(int(qstrlen("document/"))).toULongLong(&ok)
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
