#include "google/PostsListXMLParser.h"

#include <QCoreApplication>
#include <QXmlStreamReader>

#include <benchmark/benchmark.h>

namespace {

// A posts feed page shaped like the service's: feed-level data, then entries with labels, links and counts.
QString feed(int entries)
{
    QString xml = QStringLiteral(
        "<?xml version='1.0' encoding='UTF-8'?><feed xmlns='http://www.w3.org/2005/Atom' "
        "xmlns:openSearch='http://a9.com/-/spec/opensearch/1.1/' xmlns:gd='http://schemas.google.com/g/2005' "
        "xmlns:thr='http://purl.org/syndication/thread/"
        "1.0'><id>tag:blogger.com,1999:blog-4120843728710463922</id>"
        "<updated>2015-03-08T11:00:04.512-08:00</updated>"
        "<category scheme='http://www.blogger.com/atom/ns#' term='travel'/><title>Tide Tables</title>"
        "<link rel='alternate' type='text/html' href='http://tidetables.blogspot.com/'/>"
        "<author><name>Mara Quill</name></author><openSearch:totalResults>500</openSearch:totalResults>");
    for (int i = 0; i < entries; ++i) {
        const QString id = QString::number(8816602137345629201ULL - i);
        xml +=
            QStringLiteral("<entry gd:etag='W/&quot;DUYFQH47eCp7ImA9WhZUEU8.&quot;'>"
                           "<id>tag:blogger.com,1999:blog-4120843728710463922.post-") +
            id +
            QStringLiteral("</id><published>2015-03-07T10:05:00.000-08:00</published>"
                           "<updated>2015-03-08T11:00:04.512-08:00</updated>"
                           "<app:edited xmlns:app='http://www.w3.org/2007/app'>2015-03-08T11:00:04.512-08:00"
                           "</app:edited>") +
            (i % 5 == 0 ? QStringLiteral("<app:control xmlns:app='http://www.w3.org/2007/app'>"
                                         "<app:draft>yes</app:draft></app:control>")
                        : QString()) +
            QStringLiteral(
                "<category scheme='http://www.blogger.com/atom/ns#' term='travel'/>"
                "<category scheme='http://www.blogger.com/atom/ns#' term='Q&amp;A'/>"
                "<title>Low tide at Porthcurno &amp; beyond</title><content type='html'>"
                "&lt;p&gt;The sand&amp;nbsp;was &lt;b&gt;gold&lt;/b&gt; &amp;amp; the water cold."
                "&lt;/p&gt;&lt;p&gt;A second paragraph of the post, with a little more text in it to "
                "make the body the size of a short real post.&lt;/p&gt;</content>"
                "<link rel='replies' type='application/atom+xml' href='http://tidetables.blogspot.com/"
                "feeds/1/comments/default' title='Post Comments'/>"
                "<link rel='edit' type='application/atom+xml' href='https://www.blogger.com/feeds/1/"
                "posts/default/1'/><link rel='alternate' type='text/html' "
                "href='http://tidetables.blogspot.com/2015/03/low-tide.html' title='Low tide'/>"
                "<author><name>Mara Quill</name><uri>https://www.blogger.com/profile/0774</uri>"
                "<email>noreply@blogger.com</email></author><thr:total>3</thr:total></entry>");
    }
    xml += QStringLiteral("</feed>");
    return xml;
}

void BM_PostsListXMLParser(benchmark::State& state)
{
    const QString xml = feed(int(state.range(0)));
    for (auto _ : state) {
        auto result = PostsListXMLParser(xml).parse();
        if (!result.first.success || result.second.size() != state.range(0)) {
            state.SkipWithError("feed not read");
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * xml.size() * 2);
}

// The floor: a bare pass of the stream reader over the same text, reading nothing out.
void BM_BareXmlStreamReader(benchmark::State& state)
{
    const QString xml = feed(int(state.range(0)));
    for (auto _ : state) {
        QXmlStreamReader reader(xml);
        int elements = 0;
        while (!reader.atEnd()) {
            if (reader.readNext() == QXmlStreamReader::StartElement) {
                ++elements;
            }
        }
        benchmark::DoNotOptimize(elements);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * xml.size() * 2);
}

} // namespace

BENCHMARK(BM_PostsListXMLParser)->Arg(20)->Arg(500)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareXmlStreamReader)->Arg(20)->Arg(500)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
