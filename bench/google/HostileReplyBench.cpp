#include "google/GoogleRequestServiceBase.h"
#include "google/GoogleResponseAnalysisService.h"
#include "google/PostsListXMLParser.h"
#include "google/XmlStructureLimits.h"
#include "platform/UrlSession.h"

#include <QCoreApplication>
#include <QJsonDocument>

#include <benchmark/benchmark.h>

#include <functional>

// How long the readers take on replies as large as the size limit lets through: hostile ones must be given
// up on, and the worst plain ones read, well within a second.
namespace {

const QString FeedStart =
    QStringLiteral("<feed xmlns='http://www.w3.org/2005/Atom'><entry><id>x.post-1</id>");
const QString FeedEnd = QStringLiteral("</entry></feed>");

// start, then unit repeated until the text fills the reply limit (one byte per character), then end.
QString filled(const QString& start, const QString& unit, const QString& end)
{
    const qsizetype room = UrlSession::DefaultMaximumBodySize - start.size() - end.size();
    return start + unit.repeated(room / unit.size()) + end;
}

QString attributes(int count, const QString& prefix = QStringLiteral("a"))
{
    QString text;
    for (int i = 0; i < count; ++i) {
        text += QStringLiteral(" %1%2=''").arg(prefix).arg(i);
    }
    return text;
}

void readFeed(benchmark::State& state, const std::function<QString()>& make, bool readable)
{
    const QString xml = make();
    for (auto _ : state) {
        auto result = PostsListXMLParser(xml).parse();
        if (result.first.success != readable) {
            state.SkipWithError(readable ? "not read" : "not refused");
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * xml.size());
}

// ---- given up on ----

void BM_OneElementWithEveryAttribute(benchmark::State& state)
{
    readFeed(
        state,
        [] {
            QString text = FeedStart + "<a";
            const QString unit = QStringLiteral(" a='' b=''");
            return filled(text, unit, "/>" + FeedEnd);
        },
        false);
}

void BM_ElementsWithAttributesAtTheLimit(benchmark::State& state)
{
    const QString tag = "<a" + attributes(XmlStructureLimits::MaximumAttributesPerElement) + "/>";
    readFeed(
        state, [&] { return filled(FeedStart, tag, FeedEnd); }, false);
}

void BM_TinyElements(benchmark::State& state)
{
    readFeed(
        state, [] { return filled(FeedStart, QStringLiteral("<a/>"), FeedEnd); }, false);
}

void BM_DeepNesting(benchmark::State& state)
{
    readFeed(
        state,
        [] {
            const qsizetype half =
                (UrlSession::DefaultMaximumBodySize - FeedStart.size() - FeedEnd.size()) / 2;
            return FeedStart + QStringLiteral("<a>").repeated(half / 3) +
                   QStringLiteral("</a>").repeated(half / 4) + FeedEnd;
        },
        false);
}

void BM_NamespaceDeclarationsNested(benchmark::State& state)
{
    const QString tag = "<a" +
                        attributes(XmlStructureLimits::MaximumNamespaceDeclarationsInScope / 2, "xmlns:p") +
                        "><b" + attributes(1, "xmlns:q") + "/></a>";
    readFeed(
        state,
        [&] {
            const QString open =
                "<n" + attributes(XmlStructureLimits::MaximumNamespaceDeclarationsInScope / 2, "xmlns:o") +
                ">";
            return filled(FeedStart + open, tag, "</n>" + FeedEnd);
        },
        false);
}

// ---- read to the end ----

void BM_EscapedHtmlContent(benchmark::State& state)
{
    const QString unit =
        QStringLiteral("&lt;p&gt;Some text with a &lt;a href=&quot;http://example.com/x&quot;&gt;"
                       "link&lt;/a&gt; and more words.&lt;/p&gt;\n");
    readFeed(
        state, [&] { return filled(FeedStart + "<content type='html'>", unit, "</content>" + FeedEnd); },
        true);
}

void BM_EntityReferencesOnly(benchmark::State& state)
{
    readFeed(
        state,
        [] { return filled(FeedStart + "<content>", QStringLiteral("&amp;"), "</content>" + FeedEnd); },
        true);
}

void BM_ElementsJustWithinTheLimits(benchmark::State& state)
{
    readFeed(
        state,
        [] {
            const QString tag = QStringLiteral("<a b=''/>");
            const qsizetype count = XmlStructureLimits::MaximumElements - 10;
            const QString content = FeedStart + "<content>" + tag.repeated(count);
            return filled(content, QStringLiteral("x"), "</content>" + FeedEnd);
        },
        true);
}

void BM_JsonWithRepeatedKeys(benchmark::State& state)
{
    QByteArray json = "{";
    while (json.size() < GoogleRequestServiceBase::MaximumJsonReplySize - 16) {
        json += "\"id\":\"x\",";
    }
    json += "\"z\":0}";
    for (auto _ : state) {
        const QJsonDocument document = QJsonDocument::fromJson(json);
        benchmark::DoNotOptimize(document.object().value(QLatin1StringView("id")));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * json.size());
}

// An error page as large as the reply limit, shortened to the message the user reads.
void BM_HugeErrorPageShortened(benchmark::State& state)
{
    const QString page = filled(QStringLiteral("<html><head><title>Service Unavailable</title></head><body>"),
                                QStringLiteral("<div class='x'>Line of the page &amp; more</div>"),
                                QStringLiteral("</body></html>"));
    for (auto _ : state) {
        benchmark::DoNotOptimize(GoogleResponseAnalysisService().transformMessageIfCredentialsRelated(page));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * page.size());
}

} // namespace

BENCHMARK(BM_OneElementWithEveryAttribute)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ElementsWithAttributesAtTheLimit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TinyElements)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeepNesting)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NamespaceDeclarationsNested)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EscapedHtmlContent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EntityReferencesOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ElementsJustWithinTheLimits)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JsonWithRepeatedKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HugeErrorPageShortened)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
