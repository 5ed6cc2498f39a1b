#pragma once
// Command identifiers shared by the command table, the document, the views and the frames.

namespace Cmd {
constexpr int kFileNew = 57600;
constexpr int kFileOpen = 57601;            // "Open Composite File" while a document is open
constexpr int kFileClose = 57602;
constexpr int kFileSave = 57603;            // "Save bitmap"
constexpr int kFilePrintSetup = 57606;
constexpr int kFilePrint = 57607;
constexpr int kFilePrintPreview = 57609;
constexpr int kFileMruFirst = 57616;
constexpr int kAppAbout = 57664;
constexpr int kAppExit = 57665;
constexpr int kHelpFinder = 57667;
constexpr int kWindowNew = 57648;
constexpr int kWindowArrange = 57649;
constexpr int kWindowCascade = 57650;
constexpr int kWindowTile = 57651;
constexpr int kViewToolbar = 59392;
constexpr int kViewStatusBar = 59393;

constexpr int kMaterialSelected = 32772;
constexpr int kLayerPara = 32773;
constexpr int kInputComposite = 32774;
constexpr int kExecuteComposite = 32776;
constexpr int kDisplayComCurrentU = 32778;
constexpr int kBackgroundColor = 32779;
constexpr int kCurveColor = 32780;
constexpr int kDisplayComCurrentV = 32781;
constexpr int kDisplayComCurrentW = 32782;
constexpr int kOverview = 32784;
constexpr int kLineStyle = 32785;
constexpr int kDisplayComExistingU = 32788;
constexpr int kDisplayComExistingV = 32789;
constexpr int kDisplayComExistingW = 32790;
constexpr int kInputFGM = 32791;
constexpr int kExecuteFGM = 32792;
constexpr int kDisplayFGMCurrentU = 32793;
constexpr int kDisplayFGMCurrentV = 32794;
constexpr int kDisplayFGMCurrentW = 32795;
constexpr int kDisplayFGMExistingU = 32796;
constexpr int kDisplayFGMExistingV = 32797;
constexpr int kDisplayFGMExistingW = 32798;
constexpr int kOpenFGM = 32799;

// The curve view's "Plot" menu.
constexpr int kPlotAddCurve = 33000;
constexpr int kPlotRemoveCurves = 33001;
constexpr int kPlotZoomIn = 33002;
constexpr int kPlotZoomOut = 33003;
constexpr int kPlotOverview = 33004;     // the same as the toolbar's Overview, from the menu
constexpr int kPlotExportData = 33005;
constexpr int kPlotExportImage = 33006;
constexpr int kPlotCopy = 33007;
// Added commands, numbered on from the last of the original ones.
constexpr int kStudy = 32850;               // Study, "Study..."
constexpr int kOpenStudy = 32851;           // Study, "Open study..."
constexpr int kSampledLoad = 32900;         // Pre-processing, "Sampled load..."
constexpr int kDispersionCurves = 32901;    // Computing, "Dispersion curves..."
constexpr int kSolverOptions = 32902;       // Computing, "Solver options..."
constexpr int kShowComputedCurve = 32903;   // Display, "Show computed curve" (and a toolbar button)
constexpr int kWaveField = 32904;           // Computing, "Wave field..."
}  // namespace Cmd
