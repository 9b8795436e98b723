// The preview of a long post beside a bare one-pass strip that stops at 200 characters, in turns.
//   ./build/bin/bench_strings [--turns=5] [--benchmark_min_time=0.2]
#include "support/FloorComparison.h"

#include "common/StringServices.h"

#include <QString>

#include <benchmark/benchmark.h>

namespace {

// About 1 MB of a post's HTML: paragraphs with inline markup, entities and line breaks.
const QString& longPost()
{
    static const QString html = [] {
        const QString paragraph = QStringLiteral(
            "<p>Low tide at the harbour&nbsp;was <b>gold</b> &amp; the water cold; a second sentence of "
            "the paragraph, with <a href=\"http://blog.example/x\">a link</a> and <i>some</i> more "
            "text.</p>\n");
        return paragraph.repeated(int(1024 * 1024 / paragraph.size()) + 1);
    }();
    return html;
}

// The floor: line feeds as spaces, "&nbsp;" and tags dropped, stopping at 200 UTF-16 units; no
// characters counted, no blanks trimmed, no line ends looked for in tags.
QString strippedStart(const QString& html)
{
    QString text;
    text.reserve(200);
    const qsizetype size = html.size();
    for (qsizetype i = 0; i < size && text.size() < 200;) {
        const QChar c = html.at(i);
        if (c == u'<') {
            const qsizetype end = html.indexOf(u'>', i + 1);
            i = end < 0 ? size : end + 1;
            continue;
        }
        if (c == u'&' && QStringView(html).mid(i, 6) == u"&nbsp;") {
            i += 6;
            continue;
        }
        text.append(c == u'\n' ? QChar(u' ') : c);
        ++i;
    }
    return text;
}

void BM_PostPreview(benchmark::State& state)
{
    const QString& html = longPost();
    const StringServices services;
    for (auto _ : state) {
        benchmark::DoNotOptimize(services.postPreview(html));
    }
}
BENCHMARK(BM_PostPreview)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_StrippedStart(benchmark::State& state)
{
    const QString& html = longPost();
    for (auto _ : state) {
        benchmark::DoNotOptimize(strippedStart(html));
    }
}
BENCHMARK(BM_StrippedStart)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    FloorComparison table;
    table.add({"preview of a 1 MB post (first 200 characters)", "BM_PostPreview/real_time",
               "BM_StrippedStart/real_time", 2});
    return table.run(argc, argv);
}
