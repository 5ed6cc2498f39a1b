// Benchmark, not a test: read a 1,000,000-point result file through the document's reader and
// draw one frame of it, against a plain loop that only parses the same file. Run under a
// display with OpenGL (xvfb-run); prints the times and their ratio.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "OstrelDoc.h"
#include "OstrelView.h"
#include "ResultFiles.h"

namespace {

constexpr int kPoints = 1'000'000;

void WriteResultFile(const std::string& path) {
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (!out)
        qFatal("cannot write %s", path.c_str());
    std::fprintf(out, "%d %d\n", kPoints, kPoints);
    for (int i = 0; i < kPoints; ++i) {
        const double t = i * 1e-5;
        std::fprintf(out, "%.6e %.6e\n", t, 0.002 * std::sin(t * 7) * std::exp(-t / 5));
    }
    std::fclose(out);
}

// The same reading work with nothing else: head, then every pair.
double PlainParseSeconds(const std::string& path, double* checksum) {
    QElapsedTimer timer;
    timer.start();
    std::FILE* in = std::fopen(path.c_str(), "r");
    int first = 0, count = 0;
    if (!in || std::fscanf(in, "%d %d", &first, &count) != 2)
        qFatal("cannot parse %s", path.c_str());
    double sum = 0;
    float t = 0, v = 0;
    for (int i = 0; i < count && std::fscanf(in, "%f %f", &t, &v) == 2; ++i)
        sum += t + v;
    std::fclose(in);
    *checksum = sum;
    return timer.nsecsElapsed() / 1e9;
}

// The quickest plain parse: the whole file in memory, numbers converted in place.
double InMemoryParseSeconds(const std::string& path, double* checksum) {
    QElapsedTimer timer;
    timer.start();
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in)
        qFatal("cannot open %s", path.c_str());
    std::string text;
    char chunk[1 << 16];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
        text.append(chunk, n);
    std::fclose(in);
    const char* p = text.data();
    const char* end = p + text.size();
    auto next = [&](auto& value) {
        while (p < end && std::isspace(static_cast<unsigned char>(*p)))
            ++p;
        const auto result = std::from_chars(p, end, value);
        p = result.ptr;
        return result.ec == std::errc();
    };
    int first = 0, count = 0;
    if (!next(first) || !next(count))
        qFatal("cannot parse %s", path.c_str());
    double sum = 0;
    float t = 0, v = 0;
    for (int i = 0; i < count && next(t) && next(v); ++i)
        sum += t + v;
    *checksum = sum;
    return timer.nsecsElapsed() / 1e9;
}

template <class F>
double Best(int runs, F f) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, f());
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid() || !QDir(dir.path()).mkpath("bin"))
        qFatal("no temporary directory");
    const std::string root = dir.path().toStdString();
    const std::string file = root + "/bin/result_u.dat";
    WriteResultFile(file);
    const std::string home = QDir::currentPath().toStdString();

    COstrelDoc doc;
    doc.m_szStartDir = root;
    doc.m_nResultComp = 1;
    doc.m_nLabelComp = 1;
    COstrelView view(&doc);
    view.resize(1000, 700);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view) || view.grabFramebuffer().isNull())
        qFatal("no OpenGL view: run under xvfb-run");

    double checksum = 0;
    const double parse = Best(3, [&] { return PlainParseSeconds(file, &checksum); });
    double checksumInMemory = 0;
    const double parseInMemory = Best(3, [&] { return InMemoryParseSeconds(file, &checksumInMemory); });

    double read = 0, draw = 0, fastest = 1e30;
    const double total = Best(3, [&] {
        QElapsedTimer timer;
        timer.start();
        if (ReadResult(doc, CompositeKind(), EResultSource::Current).outcome != CResultRead::Outcome::Read || doc.m_nPoints != kPoints)
            qFatal("reader did not give %d points", kPoints);
        const double r = timer.nsecsElapsed() / 1e9;
        const QImage frame = view.grabFramebuffer();
        const double all = timer.nsecsElapsed() / 1e9;
        if (frame.isNull())
            qFatal("no frame");
        if (all < fastest) {
            fastest = all;
            read = r;
            draw = all - r;
        }
        return all;
    });
    QDir::setCurrent(QString::fromStdString(home));

    std::printf("points                 %d (checksum %.3f)\n", kPoints, checksum);
    std::printf("plain parse loop       %.3f s (fscanf \"%%f %%f\")\n", parse);
    std::printf("in-memory parse loop   %.3f s (from_chars, checksum %.3f)\n", parseInMemory,
                checksumInMemory);
    std::printf("reader                 %.3f s\n", read);
    std::printf("one frame (draw+grab)  %.3f s\n", draw);
    std::printf("read + frame           %.3f s\n", total);
    std::printf("ratio to plain parse   %.2f\n", total / parse);
    std::printf("ratio to in-memory     %.2f\n", total / parseInMemory);
    return 0;
}
