#include "CommandTable.h"

#include <array>
#include <cstring>

#include "ChildFrm.h"
#include "CommandIds.h"
#include "DocCommands.h"
#include "DocumentHost.h"
#include "OstrelDoc.h"
#include "MainFrm.h"
#include "OstrelApp.h"
#include "ProjectKind.h"

namespace {

constexpr unsigned M128 = kPlaceMenu128;
constexpr unsigned M129 = kPlaceMenu129;
constexpr unsigned TB = kPlaceToolbar;
using C = CommandCarrier;

// The handler column's entries, by carrier: what runs, when it is offered, its enabling rule.
constexpr CommandHandler App(void (*run)(COstrelApp&, int), bool (*offered)(const COstrelApp&, int) = nullptr) {
    return TCommandHandler<COstrelApp>{run, offered, nullptr};
}
constexpr CommandHandler Frame(void (*run)(CMainFrame&, int), bool (*offered)(const CMainFrame&, int) = nullptr) {
    return TCommandHandler<CMainFrame>{run, offered, nullptr};
}
constexpr CommandHandler Child(void (*run)(CChildFrame&, int), bool (*offered)(const CChildFrame&, int) = nullptr) {
    return TCommandHandler<CChildFrame>{run, offered, nullptr};
}
constexpr CommandHandler Doc(void (*run)(CDocCommands&, int), bool (*enabled)(const CDocCommands&, int) = nullptr) {
    return TCommandHandler<CDocCommands>{run, nullptr, enabled};
}
// The window commands are offered while a document window is active.
bool WithChild(const CMainFrame& f, int) { return f.ActiveChild() != nullptr; }

// The texts are literal, spelling included: users and documentation quote them.
constexpr std::array kTable = {
    CCommandInfo{Cmd::kFileNew, "&New\tCtrl+N", nullptr, "Create a new document", "New", M128 | M129 | TB, C::App,
                 App([](COstrelApp& a, int) { a.OnFileNew(); })},
    CCommandInfo{Cmd::kFileOpen, "&Open Composite File\tCtrl+O", "&Open...\tCtrl+O", "Open a composite document",
                 "Open a composite document", M128 | M129 | TB, C::Document,
                 Doc([](CDocCommands& d, int) { d.OnOpen(CompositeKind()); })},
    CCommandInfo{Cmd::kOpenFGM, "Open FGM File", nullptr, "Open FGM File", "Open FGM File", M129 | TB, C::Document,
                 Doc([](CDocCommands& d, int) { d.OnOpen(FGMKind()); })},
    CCommandInfo{Cmd::kFileClose, "&Close", nullptr, "Close the active document", "Close", M129, C::ChildFrame,
                 Child([](CChildFrame& f, int) { f.OnFileClose(); },
                       [](const CChildFrame& f, int) { return f.Host() != nullptr; })},
    CCommandInfo{Cmd::kFileSave, "&Save bitmap\tCtrl+S", nullptr, "Save the active document", "Save", M129 | TB,
                 C::View},
    CCommandInfo{Cmd::kFilePrint, "&Print...\tCtrl+P", nullptr, "Print the active document", "Print", M129 | TB,
                 C::View},
    CCommandInfo{Cmd::kFilePrintPreview, "Print Pre&view", nullptr, "Display full pages", "Print Preview", M129,
                 C::View},
    CCommandInfo{Cmd::kFilePrintSetup, "P&rint Setup...", nullptr, "Change the printer and printing options",
                 "Print Setup", M128 | M129, C::App,
                 App([](COstrelApp& a, int) { a.OnFilePrintSetup(); })},
    CCommandInfo{Cmd::kFileMruFirst, "Recent File", nullptr, "Open this document", nullptr, M128 | M129, C::App,
                 App([](COstrelApp& a, int id) { a.OnOpenRecentFile(id - Cmd::kFileMruFirst); },
                     [](const COstrelApp& a, int id) { return id - Cmd::kFileMruFirst < a.RecentFileList().Count(); })},
    CCommandInfo{Cmd::kAppExit, "E&xit", nullptr, "Quit the application; prompts to save documents", "Exit",
                 M128 | M129, C::App,
                 App([](COstrelApp& a, int) { a.OnAppExit(); })},
    CCommandInfo{Cmd::kViewToolbar, "&Toolbar", nullptr, "Show or hide the toolbar", "Toggle ToolBar", M128 | M129,
                 C::MainFrame,
                 Frame([](CMainFrame& f, int) { f.OnViewToolbar(); })},
    CCommandInfo{Cmd::kViewStatusBar, "&Status Bar", nullptr, "Show or hide the status bar", "Toggle StatusBar",
                 M128 | M129, C::MainFrame,
                 Frame([](CMainFrame& f, int) { f.OnViewStatusBar(); })},
    CCommandInfo{Cmd::kWindowNew, "&New Window", nullptr, "Open another window for the active document",
                 "New Window", M129, C::MainFrame,
                 Frame([](CMainFrame& f, int) { f.OnWindowNew(); f.UpdateCommandUI(); }, WithChild)},
    CCommandInfo{Cmd::kWindowCascade, "&Cascade", nullptr, "Arrange windows so they overlap", "Cascade Windows",
                 M129, C::MainFrame,
                 Frame([](CMainFrame& f, int) { f.OnWindowCascade(); f.UpdateCommandUI(); }, WithChild)},
    CCommandInfo{Cmd::kWindowTile, "&Tile", nullptr, "Arrange windows as non-overlapping tiles", "Tile Windows", M129,
                 C::MainFrame,
                 Frame([](CMainFrame& f, int) { f.OnWindowTile(); }, WithChild)},
    CCommandInfo{Cmd::kWindowArrange, "&Arrange Icons", nullptr, "Arrange icons at the bottom of the window",
                 "Arrange Icons", M129, C::MainFrame,
                 Frame([](CMainFrame& f, int) { f.OnWindowArrange(); f.UpdateCommandUI(); }, WithChild)},
    CCommandInfo{Cmd::kMaterialSelected, "Material selected", nullptr, "Selecting Materail", "Selecting Materail",
                 M129 | TB, C::Document,
                 Doc([](CDocCommands& d, int) { d.OnMaterialSelected(); })},
    CCommandInfo{Cmd::kLayerPara, "LayerPara", nullptr, "Input the number of layers", "Input the number of layers",
                 M129 | TB, C::Document,
                 Doc([](CDocCommands& d, int) { d.OnLayerPara(); })},
    CCommandInfo{Cmd::kInputComposite, "Input composite parameters", nullptr, "Input all parameters for composite",
                 "Input all parameters for composite", M129 | TB, C::Document,
                 Doc([](CDocCommands& d, int) { d.OnInput(CompositeKind()); },
                     [](const CDocCommands& d, int) { return d.Doc().OnUpdateInputComposite(); })},
    CCommandInfo{Cmd::kInputFGM, "Input FGM parameters", nullptr, "Input all parameters for FGM",
                 "Input all parameters for FGM", M129 | TB, C::Document,
                 Doc([](CDocCommands& d, int) { d.OnInput(FGMKind()); },
                     [](const CDocCommands& d, int) { return d.Doc().OnUpdateInputFGM(); })},
    CCommandInfo{Cmd::kExecuteComposite, "Execute composite", nullptr, "Computing composite", "Computing composite",
                 M129 | TB, C::Document,
                 Doc([](CDocCommands& d, int) { d.OnExecute(CompositeKind()); },
                     [](const CDocCommands& d, int) { return d.Doc().OnUpdateExecuteComposite(); })},
    CCommandInfo{Cmd::kExecuteFGM, "Execute FGM", nullptr, "Computing FGM", "Computing FGM", M129 | TB, C::Document,
                 Doc([](CDocCommands& d, int) { d.OnExecute(FGMKind()); },
                     [](const CDocCommands& d, int) { return d.Doc().OnUpdateExecuteFGM(); })},
    CCommandInfo{Cmd::kDisplayComCurrentU, "Display curve(T- U)", nullptr, "Display curve(T- U)",
                 "Display curve(T- U)", M129, C::View},
    CCommandInfo{Cmd::kDisplayComCurrentV, "Display curve(T- V)", nullptr, "Display curve (V-T) ",
                 "Display curve (V-T) ", M129, C::View},
    CCommandInfo{Cmd::kDisplayComCurrentW, "Display curve(T- W)", nullptr, "Display curve(T- W)",
                 "Display curve(T- W)", M129, C::View},
    CCommandInfo{Cmd::kDisplayComExistingU, "Display curve(T- U)", nullptr, "Display existing curve(T- U)",
                 "Display existing curve(T- U)", M129, C::View},
    CCommandInfo{Cmd::kDisplayComExistingV, "Display curve(T- V)", nullptr, "Display existing curve(T- V)",
                 "Display existing curve(T- V)", M129, C::View},
    CCommandInfo{Cmd::kDisplayComExistingW, "Display curve(T- W)", nullptr, "Display existing curve(T- W)",
                 "Display existing curve(T- W)", M129, C::View},
    CCommandInfo{Cmd::kDisplayFGMCurrentU, "Display curve(T- U)", nullptr, "Display curve(T- U)",
                 "Display curve(T- U)", M129, C::View},
    CCommandInfo{Cmd::kDisplayFGMCurrentV, "Display curve(T- V)", nullptr, "Display curve(T- V)",
                 "Display curve(T- V)", M129, C::View},
    CCommandInfo{Cmd::kDisplayFGMCurrentW, "Display curve(T- W)", nullptr, "Display curve(T- W)",
                 "Display curve(T- W)", M129, C::View},
    CCommandInfo{Cmd::kDisplayFGMExistingU, "Display curve(T- U)", nullptr, "Display existing curve(T- U)",
                 "Display existing curve(T- U)", M129, C::View},
    CCommandInfo{Cmd::kDisplayFGMExistingV, "Display curve(T- V)", nullptr, "Display existing curve(T- V)",
                 "Display existing curve(T- V)", M129, C::View},
    CCommandInfo{Cmd::kDisplayFGMExistingW, "Display curve(T- W)", nullptr, "Display existing curve(T- W)",
                 "Display existing curve(T- W)", M129, C::View},
    CCommandInfo{Cmd::kSampledLoad, "Sampled load...", nullptr,
                 "Make ft.dat for the load type Any f(t): tone burst, pulse, step or a measurement",
                 "Sampled load", M129, C::Document,
                 Doc([](CDocCommands& d, int) { d.OnSampledLoad(); },
                     [](const CDocCommands& d, int) { return d.OnUpdateSampledLoad(); })},
    CCommandInfo{Cmd::kDispersionCurves, "Dispersion curves...", nullptr,
                 "Compute and show the dispersion curves of the stack", "Dispersion curves", M129, C::Document,
                 Doc([](CDocCommands& d, int) { d.OnDispersionCurves(); },
                     [](const CDocCommands& d, int) { return d.OnUpdateDispersionCurves(); })},
    CCommandInfo{Cmd::kWaveField, "Wave field...", nullptr,
                 "Compute and show the surface displacement of the plate around a point source, frame by frame",
                 "Wave field", M129, C::Document,
                 Doc([](CDocCommands& d, int) { d.OnWaveField(); },
                     [](const CDocCommands& d, int) { return d.OnUpdateDispersionCurves(); })},
    CCommandInfo{Cmd::kSolverOptions, "Solver options...", nullptr,
                 "Choose the element order the solvers use through the thickness: automatic or fixed",
                 "Solver options", M129, C::Document,
                 Doc([](CDocCommands& d, int) { d.OnSolverOptions(); })},
    CCommandInfo{Cmd::kShowComputedCurve, "Show computed curve\tCtrl+D", nullptr,
                 "Show the component the last run computed", "Show computed curve", M129 | TB, C::View},
    CCommandInfo{Cmd::kBackgroundColor, nullptr, nullptr, "Background Color", "Background Color", TB, C::View},
    CCommandInfo{Cmd::kCurveColor, nullptr, nullptr, "Select curve color", "Select curve color", TB, C::View},
    CCommandInfo{Cmd::kLineStyle, nullptr, nullptr, "Line style", "Line style", TB, C::View},
    CCommandInfo{Cmd::kOverview, nullptr, nullptr, "Overview ", "Overview ", TB, C::View},
    CCommandInfo{Cmd::kPlotAddCurve, "Add curve...", nullptr,
                 "Draw the curve of another result file or CSV file over this one", "Add curve", M129, C::View},
    CCommandInfo{Cmd::kPlotRemoveCurves, "Remove curves", nullptr, "Remove the added curves", "Remove curves", M129,
                 C::View},
    CCommandInfo{Cmd::kPlotZoomIn, "Zoom in", nullptr, "Show a shorter time span (mouse wheel, + key)", "Zoom in",
                 M129, C::View},
    CCommandInfo{Cmd::kPlotZoomOut, "Zoom out", nullptr, "Show a longer time span (mouse wheel, - key)", "Zoom out",
                 M129, C::View},
    CCommandInfo{Cmd::kPlotOverview, "Overview", nullptr, "Show the whole curve (Home key)", "Overview", M129,
                 C::View},
    CCommandInfo{Cmd::kPlotExportData, "Export data...", nullptr, "Write the shown curves as a CSV file",
                 "Export data", M129, C::View},
    CCommandInfo{Cmd::kPlotExportImage, "Export image...", nullptr, "Write the plot as a PNG or SVG image",
                 "Export image", M129, C::View},
    CCommandInfo{Cmd::kPlotCopy, "Copy\tCtrl+C", nullptr, "Copy the plot to the clipboard as an image", "Copy", M129,
                 C::View},
    CCommandInfo{Cmd::kStudy, "Study...", nullptr,
                 "Run the project over many receiving points or values of one parameter, here or on a Slurm cluster",
                 "Study", M129, C::Document,
                 Doc([](CDocCommands& d, int) { d.OnStudy(); },
                     [](const CDocCommands& d, int) { return d.OnUpdateStudy(); })},
    CCommandInfo{Cmd::kOpenStudy, "Open study...", nullptr,
                 "Load a study file into the Study form and show its results", "Open study", M129, C::Document,
                 Doc([](CDocCommands& d, int) { d.OnOpenStudy(); })},
    CCommandInfo{Cmd::kHelpFinder, "&Help Topics", nullptr, "List Help topics", "Help Topics", M128 | M129,
                 C::MainFrame,
                 Frame([](CMainFrame& f, int) { f.OnHelpFinder(); })},
    CCommandInfo{Cmd::kAppAbout, "&About Pemblar...", nullptr,
                 "Display program information, version number and copyright", "About", M128 | M129, C::App,
                 App([](COstrelApp& a, int) { a.OnAppAbout(); })},
};

CMenuNode Item(int id) { return CMenuNode{CMenuNode::Kind::Command, id, nullptr, {}}; }
CMenuNode Sep() { return CMenuNode{CMenuNode::Kind::Separator, 0, nullptr, {}}; }
CMenuNode Recent() { return CMenuNode{CMenuNode::Kind::Recent, Cmd::kFileMruFirst, nullptr, {}}; }
CMenuNode Popup(const char* title, std::vector<CMenuNode> children) {
    return CMenuNode{CMenuNode::Kind::Popup, 0, title, std::move(children)};
}

std::vector<CMenuNode> BuildMenu128() {
    using namespace Cmd;
    return {
        Popup("&File", {Item(kFileNew), Item(kFileOpen), Sep(), Item(kFilePrintSetup), Sep(), Recent(), Sep(),
                        Item(kAppExit)}),
        Popup("&View", {Item(kViewToolbar), Item(kViewStatusBar)}),
        Popup("&Help", {Item(kHelpFinder), Sep(), Item(kAppAbout)}),
    };
}

std::vector<CMenuNode> BuildMenu129() {
    using namespace Cmd;
    return {
        Popup("&File", {Item(kFileNew), Item(kFileOpen), Item(kOpenFGM), Item(kFileClose), Item(kFileSave), Sep(),
                        Item(kFilePrint), Item(kFilePrintPreview), Item(kFilePrintSetup), Sep(), Recent(), Sep(),
                        Item(kAppExit)}),
        Popup("&View", {Item(kViewToolbar), Item(kViewStatusBar)}),
        Popup("&Window", {Item(kWindowNew), Item(kWindowCascade), Item(kWindowTile), Item(kWindowArrange)}),
        Popup("Pre-processing",
              {Item(kMaterialSelected), Item(kLayerPara), Item(kInputComposite), Item(kInputFGM), Sep(),
               Item(kSampledLoad)}),
        Popup("Computing", {Item(kExecuteComposite), Item(kExecuteFGM), Sep(), Item(kDispersionCurves), Item(kWaveField), Sep(),
                            Item(kSolverOptions)}),
        Popup("Display",
              {Popup("Composite",
                     {Popup("Current", {Item(kDisplayComCurrentU), Item(kDisplayComCurrentV),
                                        Item(kDisplayComCurrentW)}),
                      Popup("Existing", {Item(kDisplayComExistingU), Item(kDisplayComExistingV),
                                         Item(kDisplayComExistingW)})}),
               Popup("FGM", {Popup("Current", {Item(kDisplayFGMCurrentU), Item(kDisplayFGMCurrentV),
                                               Item(kDisplayFGMCurrentW)}),
                             Popup("Existing", {Item(kDisplayFGMExistingU), Item(kDisplayFGMExistingV),
                                                Item(kDisplayFGMExistingW)})}),
               Sep(), Item(kShowComputedCurve)}),
        Popup("Plot", {Item(kPlotAddCurve), Item(kPlotRemoveCurves), Sep(), Item(kPlotZoomIn), Item(kPlotZoomOut),
                       Item(kPlotOverview), Sep(), Item(kPlotExportData), Item(kPlotExportImage), Item(kPlotCopy)}),
        Popup("&Study", {Item(kStudy), Item(kOpenStudy)}),
        Popup("&Help", {Item(kHelpFinder), Sep(), Item(kAppAbout)}),
    };
}

constexpr std::array kToolbar = {
    Cmd::kFileNew,         Cmd::kFileOpen,      Cmd::kOpenFGM,         Cmd::kFileSave, 0,
    Cmd::kFilePrint,       0,                   Cmd::kMaterialSelected, Cmd::kLayerPara, 0,
    Cmd::kInputComposite,  Cmd::kExecuteComposite, 0,                  Cmd::kInputFGM, Cmd::kExecuteFGM,
    0,                     Cmd::kBackgroundColor, Cmd::kCurveColor,    Cmd::kLineStyle, 0,
    Cmd::kOverview,        0,                   Cmd::kShowComputedCurve,
};

}  // namespace

std::span<const CCommandInfo> CommandTable() { return kTable; }

bool IsRecentFileCommand(int id) { return id >= Cmd::kFileMruFirst && id < Cmd::kFileMruFirst + kRecentFileCount; }

const CCommandInfo* FindCommand(int id) {
    if (IsRecentFileCommand(id))
        id = Cmd::kFileMruFirst;
    for (const auto& info : kTable)
        if (info.id == id)
            return &info;
    return nullptr;
}

CMenuLabel SplitMenuLabel(const char* label) {
    if (!label)
        return {};
    const char* tab = std::strchr(label, '\t');
    if (!tab)
        return {label, {}};
    return {std::string(label, tab), std::string(tab + 1)};
}

CMenuLabel MenuLabelFor(int id, int menu) {
    const CCommandInfo* info = FindCommand(id);
    if (!info)
        return {};
    return SplitMenuLabel(menu == 128 && info->label128 ? info->label128 : info->label);
}

const std::vector<CMenuNode>& MenuBarLayout(int menu) {
    static const std::vector<CMenuNode> menu128 = BuildMenu128();
    static const std::vector<CMenuNode> menu129 = BuildMenu129();
    return menu == 128 ? menu128 : menu129;
}

std::span<const int> ToolbarLayout() { return kToolbar; }
