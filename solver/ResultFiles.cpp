#include "ResultFiles.h"

#include <sys/stat.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <optional>

#include "OstrelDoc.h"
#include "SolverRun.h"
#include "WorkingDirectory.h"

namespace fs = std::filesystem;

namespace {

const char kCurrentOpenFailed[] = "Cannot open the file for reading! ";
const char kExistingOpenFailed[] = "Cannot open the file for reading";

// A cursor over the text that reads numbers the way "%d" and "%f" do in the "C" locale:
// leading white space skipped, the longest number prefix taken, whatever follows left for the
// next read. Independent of the process's locale, which the window layer sets from the user's.
class CNumberReader {
public:
    explicit CNumberReader(std::string_view text) : m_p(text.data()), m_end(text.data() + text.size()) {}

    std::optional<int> ReadInt() {
        int value = 0;
        const char* p = nullptr;
        const auto read = Parse(value, p);
        if (!read || read->ec != std::errc())
            return std::nullopt;
        m_p = read->ptr;
        return value;
    }

    // A finite float, or none (no number there, or one that is infinite or not a number);
    // *exact, when asked, gets the same text as a double.
    std::optional<float> ReadFiniteFloat(double* exact = nullptr) {
        float value = 0;
        const char* p = nullptr;
        const auto read = Parse(value, p);
        if (!read)
            return std::nullopt;
        const auto [next, ec] = *read;
        m_p = next;
        if (exact) {
            double wide = 0;
            const auto [wideNext, wideEc] = std::from_chars(p, next, wide);
            (void)wideNext;
            *exact = wideEc == std::errc() && std::isfinite(wide) ? wide : 0.0;
        }
        if (ec == std::errc::result_out_of_range) {
            // Too small for a float reads as zero, as the C library does; too large is infinite.
            double wide = 0;
            const auto [wideNext, wideEc] = std::from_chars(p, next, wide);
            (void)wideNext;
            if (wideEc == std::errc() && std::isfinite(wide) &&
                std::fabs(wide) < static_cast<double>(std::numeric_limits<float>::max()))
                return static_cast<float>(wide);
            if (wideEc == std::errc::result_out_of_range && ExponentIsNegative(p, next))
                return *p == '-' ? -0.0f : 0.0f;
            return std::nullopt;
        }
        if (ec != std::errc() || !std::isfinite(value))
            return std::nullopt;
        return value;
    }

private:
    // The conversion of the number at the cursor (white space and a '+' before it skipped; p is
    // where its text starts), or none when no number stands there. The cursor stays.
    template <class T>
    std::optional<std::from_chars_result> Parse(T& value, const char*& p) {
        SkipSpace();
        p = SkipPlus();
        if (!p)
            return std::nullopt;
        const std::from_chars_result read = std::from_chars(p, m_end, value);
        if (read.ptr == p)
            return std::nullopt;
        return read;
    }
    void SkipSpace() {
        while (m_p != m_end && (*m_p == ' ' || *m_p == '\t' || *m_p == '\n' || *m_p == '\r' || *m_p == '\v' || *m_p == '\f'))
            ++m_p;
    }
    // from_chars takes a minus but not a plus; "+-1" is no number.
    const char* SkipPlus() const {
        if (m_p != m_end && *m_p == '+') {
            if (m_p + 1 == m_end || m_p[1] == '-' || m_p[1] == '+')
                return nullptr;
            return m_p + 1;
        }
        return m_p;
    }
    static bool ExponentIsNegative(const char* from, const char* to) {
        for (const char* q = from; q + 1 < to; ++q)
            if ((*q == 'e' || *q == 'E') && q[1] == '-')
                return true;
        return false;
    }

    const char* m_p;
    const char* m_end;
};

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The largest result the solvers write: 100000 points of at most 34 bytes, with room to spare.
constexpr std::size_t kMaxResultFileSize = 16u << 20;

// The range on show becomes the full range Overview returns to, and the views draw the curve.
void ShowTheRangeOnShow(COstrelDoc& doc) {
    doc.m_fFullXMin = doc.m_fXMin;
    doc.m_fFullYMin = doc.m_fYMin;
    doc.m_fFullXMax = doc.m_fXMax;
    doc.m_fFullYMax = doc.m_fYMax;
    doc.m_bCurveLoaded = 1;
    doc.UpdateAllViews();
}

CResultRead Failed(std::string why) {
    CResultRead read;
    read.failure = std::move(why);
    return read;
}

}  // namespace

CResultText ParseResultText(std::string_view text) {
    CResultText parsed;
    CNumberReader reader(text);
    const std::optional<int> first = reader.ReadInt();
    const std::optional<int> count = first ? reader.ReadInt() : std::nullopt;
    if (!count)
        return parsed;
    parsed.announced = *count;
    if (*count < 0) {
        parsed.head = CResultText::Head::Negative;
        return parsed;
    }
    parsed.head = CResultText::Head::Ok;
    // The count is only a promise: storage follows the points that are really there.
    while (parsed.points.size() < static_cast<size_t>(*count)) {
        CResultText::Exact exact;
        const std::optional<float> x = reader.ReadFiniteFloat(&exact.x);
        if (!x)
            break;
        const std::optional<float> y = reader.ReadFiniteFloat(&exact.y);
        if (!y)
            break;
        parsed.points.emplace_back(*x, *y);
        // A value that underflowed the float reads as its float.
        if (exact.y == 0 || *y == 0)
            exact.y = *y;
        if (exact.x == 0 || *x == 0)
            exact.x = *x;
        parsed.exact.push_back(exact);
    }
    return parsed;
}

namespace {

std::string BadHeadText(const std::string& fileName) {
    return "The result file " + fileName + " does not begin with a valid number of points; nothing was read.";
}

}  // namespace

CResultRead ReadResultAt(const std::string& path, const char* openFailedText) {
    const std::string name = fs::path(path).filename().string();
    std::string bytes, reason;
    switch (ReadRegularFile(path, kMaxResultFileSize, bytes, reason)) {
    case ReadFileOutcome::CannotOpen:
        return Failed(openFailedText);
    case ReadFileOutcome::NotRegular:
        // A FIFO or a device in place of the result is never read: it could block or never end.
        return Failed("The result " + name + " is " + (reason == "it is a directory" ? "a directory" : "not a regular file") +
                      "; nothing was read.");
    case ReadFileOutcome::TooLarge:
        return Failed("The result " + name + " is larger than any result the solvers write; nothing was read.");
    case ReadFileOutcome::Read:
        break;
    }
    CResultRead read;
    read.text = ParseResultText(bytes);
    if (read.text.head != CResultText::Head::Ok)
        return Failed(BadHeadText(name));
    read.outcome = CResultRead::Outcome::Read;
    read.fileName = name;
    return read;
}

CResultRead ReadCurrentResult(const std::string& home, const CProjectKind& kind, int component) {
    const std::optional<std::string> name = ComponentCopyName(kind, component);
    if (!name)
        return Failed(kCurrentOpenFailed);
    return ReadResultAt((fs::path(home) / kind.runDir / *name).string(), kCurrentOpenFailed);
}

CResultRead ChooseKeptResult(const std::string& home, const CProjectKind& kind, IFileChooser* files) {
    const std::string outputDir = (fs::path(home) / kind.outputDir).string();
    // Only a run makes the output directory; without one there is nothing to choose from.
    if (!IsDirectory(outputDir))
        return Failed({});
    FileDialogRequest request;
    request.save = false;
    request.initialName = "*.dat";
    request.filter = "*.dat";
    request.startDir = outputDir;
    request.hideReadOnly = true;
    const std::optional<std::string> chosen = files ? files->ChooseFile(request) : std::nullopt;
    if (!chosen) {
        CResultRead read;
        read.outcome = CResultRead::Outcome::Cancelled;
        return read;
    }
    fs::path path(*chosen);
    if (path.is_relative())
        path = fs::path(outputDir) / path;
    return ReadResultAt(path.string(), kExistingOpenFailed);
}

int ApplyResult(COstrelDoc& doc, CResultText parsed, const std::string& fileName) {
    if (parsed.head != CResultText::Head::Ok) {
        doc.ShowMessage(BadHeadText(fileName));
        return 0;
    }
    const size_t n = parsed.points.size();
    for (size_t i = 0; i < n; ++i) {
        const float x = parsed.points[i].m_fX;
        const float y = parsed.points[i].m_fY;
        if (i == 0) {
            doc.m_fXMin = doc.m_fXMax = x;
            doc.m_fYMin = doc.m_fYMax = y;
            continue;
        }
        if (x < doc.m_fXMin)
            doc.m_fXMin = x;
        else if (x > doc.m_fXMax)
            doc.m_fXMax = x;
        if (y < doc.m_fYMin)
            doc.m_fYMin = y;
        else if (y > doc.m_fYMax)
            doc.m_fYMax = y;
    }
    doc.m_curveTimes.clear();
    doc.m_curveValues.clear();
    for (const CResultText::Exact& e : parsed.exact) {
        doc.m_curveTimes.push_back(e.x);
        doc.m_curveValues.push_back(e.y);
    }
    // Entries behind the new curve stay as they are and are never read.
    if (n <= doc.m_curve.size())
        std::copy(parsed.points.begin(), parsed.points.end(), doc.m_curve.begin());
    else
        doc.m_curve = std::move(parsed.points);
    doc.m_nPoints = static_cast<int>(n);

    ShowTheRangeOnShow(doc);

    if (n < static_cast<size_t>(parsed.announced)) {
        const long long missing = static_cast<long long>(parsed.announced) - static_cast<long long>(n);
        doc.ShowMessage("Only " + std::to_string(n) + " of the " + std::to_string(parsed.announced) +
                        " points announced in " + fileName + " could be read; " + std::to_string(missing) +
                        (missing == 1 ? " point is" : " points are") + " missing.");
    }
    return 1;
}

int ShowResult(COstrelDoc& doc, const CResultRead& read) {
    switch (read.outcome) {
    case CResultRead::Outcome::Read:
        return ApplyResult(doc, read.text, read.fileName);
    case CResultRead::Outcome::Cancelled:
        // The plot shows what it showed before (an empty frame on a fresh document).
        ShowTheRangeOnShow(doc);
        return 1;
    case CResultRead::Outcome::Failed:
        break;
    }
    if (!read.failure.empty())
        doc.ShowMessage(read.failure);
    return 0;
}

CResultRead ReadResult(COstrelDoc& doc, const CProjectKind& kind, EResultSource source) {
    // Absolute names throughout; the guard keeps the process's directory where it was.
    CDirectoryGuard guard(doc.m_szStartDir);
    CResultRead read = source == EResultSource::Kept ? ChooseKeptResult(doc.m_szStartDir, kind, doc.m_services.files)
                                                     : ReadCurrentResult(doc.m_szStartDir, kind, doc.m_nResultComp);
    ShowResult(doc, read);
    return read;
}
