// The curve view's exports: the curves' data as CSV and the picture as a report figure (the
// screen's own picture is saved by "Save bitmap", in the view's main file).

#include <QString>

#include "CurveRanges.h"
#include "CurveSources.h"
#include "ExportSpanQuestion.h"
#include "ImageExportDialog.h"
#include "ModalRunner.h"
#include "OstrelDoc.h"
#include "OstrelView.h"
#include "PlotPainter.h"
#include "SeriesCsv.h"

bool COstrelView::ExportDataTo(const std::string& path, bool shownSpan) {
    std::vector<plot::Series> series = ShownSeries();
    if (series.empty())
        return false;
    if (shownSpan)
        series = InTimeSpan(std::move(series), m_pDocument->m_fXMin, m_pDocument->m_fXMax);
    const std::string text = plot::SeriesCsvText(series, plot::AxisName{"t", kTimeUnit});
    QString error;
    if (!plot::SaveFileAtomically(QString::fromStdString(path), QByteArray::fromStdString(text), &error)) {
        m_pDocument->ShowMessage("writing data to the file failed ! " + error.toStdString());
        return false;
    }
    return true;
}

plot::PlotContent COstrelView::FigureContent() const {
    if (!CurveLoaded())
        return {};
    return CurveFigureContent(*m_pDocument, ShownSeries());
}

bool COstrelView::ExportImageTo(const std::string& path, QSize size, bool gridLines) {
    if (!m_pDocument)
        return false;
    const plot::PlotContent content = FigureContent();
    QString error;
    const bool ok = plot::ExportPlotImage(QString::fromStdString(path), size, content, ShownCurveRange(*m_pDocument),
                                          CurveFigureStyle(font(), m_clrBackground, gridLines), &error);
    if (!ok)
        m_pDocument->ShowMessage("Cannot write the image: " + error.toStdString());
    return ok;
}

std::optional<std::string> COstrelView::ChooseExportFile(const char* title, const char* ext, const char* name,
                                                         const char* filter) {
    FileDialogRequest request;
    request.save = true;
    request.title = title;
    request.defaultExt = ext;
    request.initialName = name;
    request.filter = filter;
    request.startDir = m_pDocument->m_szStartDir;
    return m_pDocument->m_services.files->ChooseFile(request);
}

void COstrelView::OnExportData() {
    if (!CurveLoaded() || !m_pDocument->m_services.files)
        return;
    // Zoomed in: the span on show, or the whole curves.
    bool shownSpan = false;
    if (IsZoomed(*m_pDocument, m_overlays)) {
        const std::optional<bool> answer = AskExportSpan(this, m_pModals, m_pDocument->m_fXMin, m_pDocument->m_fXMax);
        if (!answer)
            return;
        shownSpan = *answer;
    }
    if (const std::optional<std::string> path =
            ChooseExportFile("Export data", "csv", "curve.csv", "CSV files (*.csv)"))
        ExportDataTo(*path, shownSpan);
}

void COstrelView::OnExportImage() {
    if (!CurveLoaded() || !m_pDocument->m_services.files)
        return;
    plot::ImageExportDialog options(
        QSize(std::max(width(), plot::ImageExportDialog::kMinimum), std::max(height(), plot::ImageExportDialog::kMinimum)),
        this);
    if (RunModal(m_pModals, options) != QDialog::Accepted)
        return;
    if (const std::optional<std::string> path = ChooseExportFile("Export image", "png", "curve.png", plot::kImageFilter))
        ExportImageTo(*path, options.ChosenSize(), options.GridLines());
}
