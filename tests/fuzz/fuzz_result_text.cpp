// The result-file reader against any bytes: it never holds more points than promised, only
// finite ones, and the points it read come back bit for bit when written out again, both in
// full precision and in the solvers' own format; the document's ranges then enclose the curve.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "FuzzCheck.h"
#include "OstrelDoc.h"
#include "ResultFile.h"
#include "ResultFiles.h"

namespace {

std::string Exact(const std::vector<CCurvePoint>& points) {
    std::string out = "1 " + std::to_string(points.size()) + "\n";
    char line[96];
    for (const CCurvePoint& p : points) {
        std::snprintf(line, sizeof line, "%.9g %.9g\n", p.m_fX, p.m_fY);
        out += line;
    }
    return out;
}

bool SamePoints(const std::vector<CCurvePoint>& a, const std::vector<CCurvePoint>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!fuzzcheck::SameBits(a[i].m_fX, b[i].m_fX) || !fuzzcheck::SameBits(a[i].m_fY, b[i].m_fY))
            return false;
    return true;
}

std::string SolverText(const std::vector<CCurvePoint>& points) {
    std::vector<double> t, v;
    for (const CCurvePoint& p : points) {
        t.push_back(p.m_fX);
        v.push_back(p.m_fY);
    }
    return numerics::FormatResult(1, t, v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const CResultText parsed = ParseResultText(text);
    if (parsed.head != CResultText::Head::Ok) {
        FUZZ_CHECK(parsed.points.empty(), "points without a head");
        FUZZ_CHECK(parsed.head == CResultText::Head::Missing || parsed.announced < 0, "negative head with a count");
        return 0;
    }
    FUZZ_CHECK(parsed.announced >= 0 && parsed.points.size() <= static_cast<size_t>(parsed.announced),
               std::to_string(parsed.points.size()) + " of " + std::to_string(parsed.announced));
    FUZZ_CHECK(parsed.points.size() <= size / 2, "more points than the text can hold");
    for (const CCurvePoint& p : parsed.points)
        FUZZ_CHECK(std::isfinite(p.m_fX) && std::isfinite(p.m_fY), "a point that is not finite");

    const CResultText exact = ParseResultText(Exact(parsed.points));
    FUZZ_CHECK(exact.head == CResultText::Head::Ok &&
                   exact.announced == static_cast<int>(parsed.points.size()) && SamePoints(exact.points, parsed.points),
               fuzzcheck::Shown(Exact(parsed.points)));

    // The solvers keep six decimals of time: one more round must change nothing.
    const std::string once = SolverText(parsed.points);
    const CResultText solver = ParseResultText(once);
    FUZZ_CHECK(solver.head == CResultText::Head::Ok && solver.points.size() == parsed.points.size(),
               fuzzcheck::Shown(once));
    FUZZ_CHECK(SolverText(solver.points) == once, fuzzcheck::Shown(once));

    // Into a document that already shows a longer curve, then a shorter one: the storage is
    // reused, the count and ranges follow the new curve only.
    COstrelDoc doc;
    doc.m_curve.assign(parsed.points.size() + 3, CCurvePoint(1e30f, -1e30f));
    FUZZ_CHECK(ApplyResult(doc, parsed, "result.dat") == 1, "a valid head was not taken over");
    FUZZ_CHECK(doc.m_nPoints == static_cast<int>(parsed.points.size()) && doc.m_bCurveLoaded == 1, "count");
    for (int i = 0; i < doc.m_nPoints; ++i) {
        const CCurvePoint& p = doc.m_curve[i];
        FUZZ_CHECK(fuzzcheck::SameBits(p.m_fX, parsed.points[i].m_fX) &&
                       fuzzcheck::SameBits(p.m_fY, parsed.points[i].m_fY),
                   "point " + std::to_string(i) + " changed on the way in");
        FUZZ_CHECK(p.m_fX >= doc.m_fXMin && p.m_fX <= doc.m_fXMax && p.m_fY >= doc.m_fYMin && p.m_fY <= doc.m_fYMax &&
                       doc.m_fFullXMin == doc.m_fXMin && doc.m_fFullXMax == doc.m_fXMax &&
                       doc.m_fFullYMin == doc.m_fYMin && doc.m_fFullYMax == doc.m_fYMax,
                   "point " + std::to_string(i) + " outside the ranges");
    }
    return 0;
}
