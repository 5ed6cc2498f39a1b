#include "ViewCommands.h"

#include <iterator>

#include "CommandIds.h"
#include "DisplayCommands.h"
#include "OstrelView.h"

namespace {

using Handler = TCommandHandler<COstrelView>;

bool Always(const COstrelView&, int) { return true; }
bool Loaded(const COstrelView& v, int) { return v.CurveLoaded(); }
bool HasAddedCurves(const COstrelView& v, int) { return !v.m_overlays.empty(); }
bool HasComputedCurve(const COstrelView& v, int) { return v.HasComputedCurve(); }

struct CRow {
    int id;
    Handler handler;
};

const CRow kRows[] = {
    {Cmd::kBackgroundColor, {[](COstrelView& v, int) { v.OnBackgroundColor(); }, nullptr, Always}},
    {Cmd::kCurveColor, {[](COstrelView& v, int) { v.OnCurveColor(); }, nullptr, Always}},
    {Cmd::kLineStyle, {[](COstrelView& v, int) { v.OnLineStyle(); }, nullptr, Always}},
    {Cmd::kOverview, {[](COstrelView& v, int) { v.OnOverview(); }, nullptr, Always}},
    {Cmd::kFileSave, {[](COstrelView& v, int) { v.OnSaveBitmap(); }, nullptr, Always}},
    {Cmd::kFilePrint, {[](COstrelView& v, int) { v.OnFilePrint(); }, nullptr, Always}},
    {Cmd::kFilePrintPreview, {[](COstrelView& v, int) { v.OnFilePrintPreview(); }, nullptr, Always}},
    {Cmd::kPlotAddCurve, {[](COstrelView& v, int) { v.OnAddCurve(); }, nullptr, Loaded}},
    {Cmd::kPlotRemoveCurves, {[](COstrelView& v, int) { v.OnRemoveCurves(); }, nullptr, HasAddedCurves}},
    {Cmd::kPlotZoomIn, {[](COstrelView& v, int) { v.OnZoomIn(); }, nullptr, Loaded}},
    {Cmd::kPlotZoomOut, {[](COstrelView& v, int) { v.OnZoomOut(); }, nullptr, Loaded}},
    {Cmd::kPlotOverview, {[](COstrelView& v, int) { v.OnOverview(); }, nullptr, Loaded}},
    {Cmd::kPlotExportData, {[](COstrelView& v, int) { v.OnExportData(); }, nullptr, Loaded}},
    {Cmd::kPlotExportImage, {[](COstrelView& v, int) { v.OnExportImage(); }, nullptr, Loaded}},
    {Cmd::kPlotCopy, {[](COstrelView& v, int) { v.OnCopy(); }, nullptr, Loaded}},
    {Cmd::kShowComputedCurve, {[](COstrelView& v, int) { v.OnShowComputedCurve(); }, nullptr, HasComputedCurve}},
};

// The twelve Display commands share one handler.
const Handler kDisplay{[](COstrelView& v, int id) { v.OnDisplay(id); }, nullptr, Always};

}  // namespace

const TCommandHandler<COstrelView>* ViewHandler(int id) {
    if (FindDisplayCommand(id))
        return &kDisplay;
    for (const CRow& row : kRows)
        if (row.id == id)
            return &row.handler;
    return nullptr;
}
