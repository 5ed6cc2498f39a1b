// "Sampled load..." and "Dispersion curves...": enabling, the forms played by the test, the
// files they make, the real solver run, and the dispersion window's plot, read-out and exports.

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSpinBox>
#include <QtTest>

#include <sstream>

#include <filesystem>
#include <fstream>

#include "CommandIds.h"
#include "DispersionDlg.h"
#include "DispersionWindow.h"
#include "ModeShapePanel.h"
#include "DirectionsBar.h"
#include "DirectionsWindow.h"
#include "DocCommands.h"
#include "ImageExportDialog.h"
#include "DocCommandsFixture.h"
#include "OstrelApp.h"
#include "OstrelDoc.h"
#include "PlotWidget.h"
#include "ProjectSettings.h"
#include "RecordList.h"
#include "SampledLoadDlg.h"
#include "SampledLoadFiles.h"
#include "SolverOptions.h"
#include "test_project_support.h"
#include "test_run_support.h"
#include "../GuiTestMain.h"

namespace fs = std::filesystem;

namespace {

using projtest::CrossPly;
using testsupport::CScriptedChooser;
using testsupport::ReadText;

}  // namespace

class DispersionCommandsTest : public QObject, private CDocCommandsFixture {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void enablingFollowsTheLoadTypeAndTheStack();
    void sampledLoadFormPreviewsAndWritesFtDat();
    void sampledLoadFormImportsAMeasurement();
    void aGaussianPulseStartsWholeAfterZero();
    void dispersionCurvesRunTheSolverAndShowTheModes();
    void aClickShowsTheModeShapeAndTheLinesTakeTheExcitability();
    void directionsOpenAsPolarPlotsAndExport();
    void readOutsShowRoundingNoiseAsZero();
    void aPolarLineAllTheWayRoundIsClosed();

private:
    CDispersionWindow* RunCurves(const char* to, const char* points, const char* modes);
};

void DispersionCommandsTest::init() { QVERIFY(Open()); }

void DispersionCommandsTest::cleanup() {
    if (QWidget* w = m_commands->LastDispersionWindow()) delete w;
    Close();
}

void DispersionCommandsTest::enablingFollowsTheLoadTypeAndTheStack() {
    QCOMPARE(m_commands->OnUpdateCommand(Cmd::kSampledLoad), std::optional<bool>(false));
    QCOMPARE(m_commands->OnUpdateCommand(Cmd::kDispersionCurves), std::optional<bool>(false));
    // A study needs a stack as dispersion curves do: one rule for both.
    QCOMPARE(m_commands->OnUpdateCommand(Cmd::kStudy), std::optional<bool>(false));
    QVERIFY(m_commands->Carries(Cmd::kSampledLoad) && m_commands->Carries(Cmd::kDispersionCurves));
    m_doc->m_nFGMLoadType = 4;
    QCOMPARE(m_commands->OnUpdateCommand(Cmd::kSampledLoad), std::optional<bool>(true));
    CrossPly(*m_doc, 2);
    QCOMPARE(m_commands->OnUpdateCommand(Cmd::kDispersionCurves), std::optional<bool>(true));
    QCOMPARE(m_commands->OnUpdateCommand(Cmd::kStudy), std::optional<bool>(true));
    // A disabled command does nothing, even when the toolbar or a shortcut is a step behind.
    m_doc->m_nFGMLoadType = 1;
    bool opened = false;
    m_modals.Play([&](QDialog&) { return opened = true, 2; });
    m_commands->OnCommand(Cmd::kSampledLoad);
    QVERIFY(!opened);
}

void DispersionCommandsTest::sampledLoadFormPreviewsAndWritesFtDat() {
    m_doc->m_nLoadType = 4;
    m_doc->m_strComTitle = "crossply";
    std::vector<int> counts;
    int projects = 0;
    QString countText;
    m_modals.Play([&](QDialog& dialog) {
        auto* form = qobject_cast<CSampledLoadDlg*>(&dialog);
        if (!form) return 2;
        form->show();
        projects = Child<QComboBox>(*form, "project")->count();
        counts.push_back(form->PreviewCount());
        Child<QLineEdit>(*form, "cycles")->setText("3");
        counts.push_back(form->PreviewCount());
        countText = Child<QLabel>(*form, "count")->text();
        Child<QLineEdit>(*form, "delay")->setText("x");
        form->accept();  // refused: the form stays open
        counts.push_back(form->result());
        Child<QLineEdit>(*form, "delay")->setText("1");
        form->accept();
        return form->result() == QDialog::Accepted ? 1 : 2;
    });
    m_commands->OnCommand(Cmd::kSampledLoad);
    QCOMPARE(projects, 1);  // only the project that samples its load
    // 5 cycles at 40 samples a period, then 3; the refused OK left the form open.
    QCOMPARE(counts, (std::vector<int>{201, 121, 0}));
    QVERIFY(countText.startsWith("121 samples"));
    QCOMPARE(m_sink.texts, std::vector<std::string>{"Please enter a number."});

    CSampledLoad expected;
    expected.m_dCycles = 3;
    expected.m_dDelay = 1;
    QCOMPARE(ReadText(m_home / "bin" / "ft.dat"), FormatLoadSamples(SampleLoad(expected)));
    expected.m_bDefined = true;
    CProjectSettings settings;
    settings.sampledLoad = expected;
    QCOMPARE(ReadText(m_home / "input" / "crossply.settings"), FormatProjectSettings(settings));
    QVERIFY(m_doc->m_comSampledLoad.m_bDefined);
    QCOMPARE(m_doc->m_comSampledLoad.m_dCycles, 3.0);
}

void DispersionCommandsTest::aGaussianPulseStartsWholeAfterZero() {
    m_doc->m_nLoadType = 4;
    m_doc->m_strComTitle = "pulse";
    QStringList delays;
    m_modals.Play([&](QDialog& dialog) {
        auto* form = qobject_cast<CSampledLoadDlg*>(&dialog);
        if (!form) return 2;
        form->show();
        auto* delay = Child<QLineEdit>(*form, "delay");
        auto* width = Child<QLineEdit>(*form, "width");
        Child<QComboBox>(*form, "shape")->setCurrentIndex(1);
        delays << delay->text();
        width->setText("2");
        delays << delay->text();  // follows the width while the user has not set it
        Child<QComboBox>(*form, "shape")->setCurrentIndex(0);
        delays << delay->text();  // a burst starts at its delay: back to 0
        Child<QComboBox>(*form, "shape")->setCurrentIndex(1);
        delay->clear();
        QTest::keyClicks(delay, "3");
        width->setText("0.5");
        delays << delay->text();  // the user's own delay stays
        width->setText("2");
        delay->clear();
        QTest::keyClicks(delay, "0");
        delays << delay->text();  // even 0, when typed
        delay->setText("8");
        form->accept();
        return form->result() == QDialog::Accepted ? 1 : 2;
    });
    m_commands->OnCommand(Cmd::kSampledLoad);
    QCOMPARE(delays, (QStringList{"4", "8", "0", "3", "0"}));
    // The written pulse: from 0 (a value below 1e-6) up to 1 at 8 us and down again.
    std::istringstream samples(ReadText(m_home / "bin" / "ft.dat"));
    double t = 0, v = 0, first = -1, peakAt = 0, peak = 0;
    while (samples >> t >> v) {
        if (first < 0) {
            first = t;
            QVERIFY2(v < 1e-6, qPrintable(QString::number(v)));
        }
        if (v > peak) peak = v, peakAt = t;
    }
    QCOMPARE(first, 0.0);
    QCOMPARE(peak, 1.0);
    QCOMPARE(peakAt, 8.0);
}

void DispersionCommandsTest::sampledLoadFormImportsAMeasurement() {
    m_doc->m_nFGMLoadType = 4;
    m_doc->m_strFGMTitle = "graded";
    const fs::path csv = m_home / "hammer.csv";
    std::ofstream(csv) << "time (us),force\n0,0\n0.5,1\n1.5,0\n";
    const fs::path bad = m_home / "bad.csv";
    std::ofstream(bad) << "0,0\n0.5,1\n0.4,0\n";
    m_chooser.answers = {bad.string(), csv.string()};
    int count = 0;
    QString source;
    m_modals.Play([&](QDialog& dialog) {
        auto* form = qobject_cast<CSampledLoadDlg*>(&dialog);
        if (!form) return 2;
        form->show();
        Child<QComboBox>(*form, "shape")->setCurrentIndex(3);
        Child<QPushButton>(*form, "import")->click();  // the bad file: a message, nothing taken
        Child<QPushButton>(*form, "import")->click();
        count = form->PreviewCount();
        source = Child<QLabel>(*form, "source")->text();
        form->accept();
        return form->result() == QDialog::Accepted ? 1 : 2;
    });
    m_commands->OnCommand(Cmd::kSampledLoad);
    QCOMPARE(count, 3);
    QCOMPARE(source, QString("hammer.csv"));
    QCOMPARE(m_sink.texts.size(), size_t(1));
    QCOMPARE(m_sink.texts[0],
             "Cannot import the load!\n" + bad.string() + ", line 3: the times must increase from line to line.");
    QCOMPARE(ReadText(m_home / "binFGM" / "ft.dat"), std::string("0 0\n0.5 1\n1.5 0\n"));
    QVERIFY(fs::exists(m_home / "inputFGM" / "graded.settings"));
    QVERIFY(!fs::exists(m_home / "bin" / "ft.dat"));
}

void DispersionCommandsTest::dispersionCurvesRunTheSolverAndShowTheModes() {
    CrossPly(*m_doc, 2);
    fs::create_directories(m_home / "bin");
    fs::create_symlink(LUMDEX_PATH, m_home / "bin" / "lumdex");
    const auto form = [&](QDialog& dialog) {
        auto* form = qobject_cast<CDispersionDlg*>(&dialog);
        if (!form) return 2;
        form->show();
        Child<QLineEdit>(*form, "from")->setText("0");
        Child<QLineEdit>(*form, "to")->setText("1.5");
        Child<QLineEdit>(*form, "points")->setText("60");
        Child<QLineEdit>(*form, "modes")->setText("4");
        form->accept();
        return form->result() == QDialog::Accepted ? 1 : 2;
    };
    m_modals.Play(form);
    m_commands->OnCommand(Cmd::kDispersionCurves);
    QVERIFY2(m_sink.texts.empty(), m_sink.texts.empty() ? "" : m_sink.texts[0].c_str());
    auto* window = qobject_cast<CDispersionWindow*>(m_commands->LastDispersionWindow());
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QString("Dispersion curves - COM_project: f h 0 to 1.5 MHz mm, 4 modes"));
    const CDispersionTable& table = window->Table();
    QCOMPARE(table.modes.size(), size_t(4));
    QCOMPARE(table.modes[0].strName, std::string("A0"));

    // One series per mode; the phase velocity's range is cut where the cut-offs run away.
    plot::PlotWidget* plotWidget = window->Plot();
    QCOMPARE(plotWidget->Content().series.size(), size_t(4));
    QCOMPARE(plotWidget->Content().x.unit, std::string("MHz mm"));
    window->SetQuantity(EDispersionQuantity::Group);
    QCOMPARE(plotWidget->Content().y.name, std::string("c_g"));

    // The mode under the pointer, read out in full.
    window->resize(900, 620);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const CDispersionMode& a0 = table.modes[0];
    const size_t i = a0.frequency.size() / 2;
    plot::Mapping map{plotWidget->View().Shown(), plotWidget->PlotArea()};
    const QPointF at = map.ToPixel({a0.frequency[i] * table.dThickness, a0.group[i]});
    QTest::mouseMove(plotWidget, at.toPoint());
    QTRY_VERIFY(window->findChild<QLabel*>("mode")->text().startsWith("A0: f = "));

    // Exports: the whole table as CSV, the plot as PNG and SVG at a chosen size, each through
    // the chooser.
    const fs::path csv = m_home / "modes.csv", png = m_home / "modes.png", svg = m_home / "modes.svg";
    window->m_pFiles = &m_chooser;
    m_chooser.answers = {csv.string(), png.string(), svg.string()};
    Child<QPushButton>(*window, "exportCsv")->click();
    // The image dialog comes through the program's dialog runner, like every form.
    const auto exportImage = [&](QSize size) {
        int asked = 0;
        m_modals.Play([size, &asked](QDialog& dialog) {
            auto* d = qobject_cast<plot::ImageExportDialog*>(&dialog);
            if (!d) return int(QDialog::Rejected);
            ++asked;
            d->findChild<QSpinBox*>("width")->setValue(size.width());
            d->findChild<QSpinBox*>("height")->setValue(size.height());
            return int(QDialog::Accepted);
        });
        Child<QPushButton>(*window, "exportImage")->click();
        QCOMPARE(asked, 1);
    };
    exportImage(QSize(1000, 650));
    exportImage(QSize(800, 500));
    QCOMPARE(m_chooser.requests.size(), size_t(3));
    QVERIFY(m_chooser.requests[0].save);
    QCOMPARE(m_chooser.requests[1].filter, std::string("PNG images (*.png);;SVG drawings (*.svg)"));
    QCOMPARE(ReadText(csv), DispersionCsvText(table));
    QCOMPARE(QImage(QString::fromStdString(png.string())).size(), QSize(1000, 650));
    const std::string svgText = ReadText(svg);
    QVERIFY(svgText.find("<svg") != std::string::npos);
    QVERIFY(svgText.find("A0") != std::string::npos);  // the legend
    QVERIFY(m_sink.texts.empty());

    // The project's own solver input and result in "bin" are not touched by the run.
    QVERIFY(!fs::exists(m_home / "bin" / "input.d"));
    QVERIFY(fs::exists(m_home / "bin" / "dispersion" / "dispersion.dat"));

    // The project's element order reaches the run: linear elements give other curves;
    // automatic again gives the same curves.
    m_modals.Play(form);
    const auto runWithStoredOrder = [&](int order) -> std::vector<double> {
        m_doc->m_nElementOrder = order;
        delete m_commands->LastDispersionWindow();
        m_commands->OnCommand(Cmd::kDispersionCurves);
        auto* w = qobject_cast<CDispersionWindow*>(m_commands->LastDispersionWindow());
        return w ? w->Table().modes[0].group : std::vector<double>{};
    };
    const std::vector<double> automatic = table.modes[0].group;
    const std::vector<double> linear = runWithStoredOrder(1);
    QVERIFY(!linear.empty());
    QVERIFY(linear != automatic);
    QCOMPARE(runWithStoredOrder(0), automatic);
    QVERIFY2(m_sink.texts.empty(), m_sink.texts.empty() ? "" : m_sink.texts[0].c_str());
}

CDispersionWindow* DispersionCommandsTest::RunCurves(const char* to, const char* points, const char* modes) {
    fs::create_directories(m_home / "bin");
    if (!fs::exists(m_home / "bin" / "lumdex")) fs::create_symlink(LUMDEX_PATH, m_home / "bin" / "lumdex");
    m_modals.Play([&](QDialog& dialog) {
        auto* form = qobject_cast<CDispersionDlg*>(&dialog);
        if (!form) return 2;
        form->show();
        Child<QLineEdit>(*form, "from")->setText("0");
        Child<QLineEdit>(*form, "to")->setText(to);
        Child<QLineEdit>(*form, "points")->setText(points);
        Child<QLineEdit>(*form, "modes")->setText(modes);
        form->accept();
        return form->result() == QDialog::Accepted ? 1 : 2;
    });
    m_commands->OnCommand(Cmd::kDispersionCurves);
    auto* window = qobject_cast<CDispersionWindow*>(m_commands->LastDispersionWindow());
    // The window asks in dialogs of its own; the test answers for the user there.
    if (window) {
        window->m_pFiles = &m_chooser;
        window->m_pMessages = &m_sink;
    }
    return window;
}

void DispersionCommandsTest::aClickShowsTheModeShapeAndTheLinesTakeTheExcitability() {
    CrossPly(*m_doc, 2);
    m_doc->m_nLoadDir = 3;  // Z, read as W
    m_doc->m_nOutput = 3;
    CDispersionWindow* window = RunCurves("1.5", "40", "4");
    QVERIFY2(window, m_sink.texts.empty() ? "no window" : m_sink.texts[0].c_str());
    window->resize(1300, 640);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const CDispersionTable& table = window->Table();
    plot::PlotWidget* plotWidget = window->Plot();

    // Before a click the panel's axes say what it will show, and there is nothing to export.
    QCOMPARE(window->ShapePanel()->Plot()->Content().x.name, std::string("amplitude"));
    QCOMPARE(window->ShapePanel()->Plot()->Content().y.Title(), std::string("z (mm)"));
    QVERIFY(!Child<QPushButton>(*window, "shapeCsv")->isEnabled());
    QVERIFY(!Child<QPushButton>(*window, "shapeImage")->isEnabled());
    // A click on A0 half way: the panel shows its shape at that point, U and W (no V in a Lamb
    // mode of a cross-ply), the three boundaries between plies as lines without a name.
    const CDispersionMode& a0 = table.modes[0];
    const size_t i = a0.frequency.size() / 2;
    plot::Mapping map{plotWidget->View().Shown(), plotWidget->PlotArea()};
    QTest::mouseClick(plotWidget, Qt::LeftButton, {}, map.ToPixel({a0.frequency[i] * table.dThickness, a0.phase[i]}).toPoint());
    CModeShapePanel* panel = window->ShapePanel();
    QTRY_VERIFY(panel->HasShape());
    QCOMPARE(panel->Shape().dOmega / (2 * M_PI), a0.frequency[i]);
    QVERIFY(std::abs(panel->Shape().dKappa - a0.wavenumber[i]) < 1e-9 * a0.wavenumber[i]);
    std::vector<std::string> names;
    int boundaries = 0;
    for (const plot::Series& s : panel->Plot()->Content().series) (s.name.empty() ? ++boundaries : (names.push_back(s.name), 0));
    QCOMPARE(names, (std::vector<std::string>{"U", "W"}));
    QCOMPARE(boundaries, 3);
    QVERIFY(Child<QLabel>(*window, "shapeCaption")->text().startsWith("A0: f = "));
    // The stresses of the same shape, and its table through the chooser.
    panel->SetView(EShapeView::Stress);
    QVERIFY(panel->Plot()->Content().series.size() >= 4);
    const fs::path csv = m_home / "shape.csv";
    m_chooser.answers = {csv.string()};
    Child<QPushButton>(*window, "shapeCsv")->click();
    QCOMPARE(ReadText(csv), ModeShapeCsvText(panel->Shape()));
    // Its picture at a size of the user's choice, through the image dialog every plot shares.
    const fs::path picture = m_home / "shape.png";
    m_chooser.answers = {picture.string()};
    m_modals.Play([](QDialog& dialog) {
        auto* d = qobject_cast<plot::ImageExportDialog*>(&dialog);
        if (!d) return int(QDialog::Rejected);
        d->findChild<QSpinBox*>("width")->setValue(300);
        d->findChild<QSpinBox*>("height")->setValue(520);
        return int(QDialog::Accepted);
    });
    Child<QPushButton>(*window, "shapeImage")->click();
    QCOMPARE(QImage(QString::fromStdString(picture.string())).size(), QSize(300, 520));

    // Excitability: a Z load read as W drives A0 most; colouring draws the lines from pale to
    // the mode's own colour, and a load along X read as V (no coupling in a cross-ply) leaves
    // every line pale.
    const QImage plain = plotWidget->RenderImage(QSize(600, 400));
    window->SetExcitability(true, 2, 2);
    const plot::Series& coloured = plotWidget->Content().series[0];
    QCOMPARE(coloured.pointColours.size(), a0.frequency.size());
    QVERIFY(plotWidget->RenderImage(QSize(600, 400)) != plain);
    const auto saturation = [](plot::Rgb c) { return QColor(plot::RgbRed(c), plot::RgbGreen(c), plot::RgbBlue(c)).hsvSaturation(); };
    int strongest = 0;
    for (plot::Rgb c : coloured.pointColours) strongest = std::max(strongest, saturation(c));
    QVERIFY(strongest > 200);
    window->SetExcitability(true, 0, 1);
    for (const plot::Series& s : plotWidget->Content().series)
        for (plot::Rgb c : s.pointColours) QVERIFY(saturation(c) < 60);
    window->SetExcitability(false, 2, 2);
    QVERIFY(plotWidget->Content().series[0].pointColours.empty());
    if (qEnvironmentVariableIsSet("PEMBLAR_SHOTS")) {
        window->SetExcitability(true, 2, 2);
        panel->SetView(EShapeView::Displacement);
        window->grab().save(qEnvironmentVariable("PEMBLAR_SHOTS") + "/dispersion_shape.png");
    }
    QVERIFY2(m_sink.texts.empty(), m_sink.texts.empty() ? "" : m_sink.texts[0].c_str());
}

void DispersionCommandsTest::directionsOpenAsPolarPlotsAndExport() {
    CrossPly(*m_doc, 2);
    CDispersionWindow* window = RunCurves("1.5", "20", "4");
    QVERIFY2(window, m_sink.texts.empty() ? "no window" : m_sink.texts[0].c_str());
    CDirectionsBar* bar = window->Directions();
    QVERIFY(bar->isEnabled());
    // The field hints at the range the curves cover.
    QCOMPARE(Child<QLineEdit>(*bar, "directionsAt")->placeholderText(), QStringLiteral("0 to 1.5"));
    // A value that is no frequency is refused with a sentence, and nothing runs.
    Child<QLineEdit>(*bar, "directionsAt")->setText("fast");
    Child<QPushButton>(*bar, "showDirections")->click();
    QCOMPARE(m_sink.texts.size(), size_t(1));
    QVERIFY(!bar->Busy());
    m_sink.texts.clear();

    Child<QLineEdit>(*bar, "directionsAt")->setText("0.5");
    Child<QSpinBox>(*bar, "directionsCount")->setValue(36);
    Child<QPushButton>(*bar, "showDirections")->click();
    QTRY_VERIFY_WITH_TIMEOUT(bar->LastWindow() != nullptr, 60000);
    CDirectionsWindow* directions = bar->LastWindow();
    QVERIFY(directions->windowTitle().endsWith("directions at f h = 0.5 MHz mm"));
    // At 0.5 MHz mm the cross-ply carries A0, SH0 and S0 (A1 is cut off), all the way round;
    // along its plies' axes the energy goes straight, between them S0 is steered.
    const numerics::CDirectionalCurves& curves = directions->Curves();
    QCOMPARE(int(curves.lines.size()), 3);
    for (const numerics::CDirectionalLine& line : curves.lines) {
        QCOMPARE(int(line.points.size()), 36);
        QVERIFY(std::abs(line.points[0].dSkew) < 1e-8);
        QVERIFY(std::abs(line.points[9].dSkew) < 1e-8);
    }
    QVERIFY(std::abs(curves.lines[2].points[3].dSkew) > 0.01);
    // The polar plot: one closed curve per mode on equal scales, the guides without names.
    const plot::PlotContent& shown = directions->Plot()->Content();
    QVERIFY(shown.equalScales);
    std::vector<std::string> names;
    for (const plot::Series& s : shown.series)
        if (!s.name.empty()) {
            names.push_back(s.name);
            QCOMPARE(s.points.front().x, s.points.back().x);
            QCOMPARE(int(s.points.size()), 37);
        }
    QCOMPARE(names.size(), size_t(3));
    const QRectF frame = directions->Plot()->PlotArea();
    QVERIFY(std::abs(frame.width() / frame.height() - 1) < 0.05);
    // The mode of the line under the pointer, read out in full; the guides are no mode.
    const plot::PlotContent& polar = directions->Plot()->Content();
    auto* point = Child<QLabel>(*directions, "directionsPoint");
    emit directions->Plot()->hoveredPoint(int(polar.series.size()) - 1, 4);
    QVERIFY2(point->text().startsWith(QString::fromStdString(polar.series.back().name) + ": direction 40 deg, k = "),
             qPrintable(point->text()));
    emit directions->Plot()->hoveredPoint(0, 4);  // a circle
    QVERIFY(point->text().isEmpty());
    directions->SetQuantity(EDirectionQuantity::Skew);
    QVERIFY(!directions->Plot()->Content().equalScales);
    // The table through the window's chooser.
    const fs::path csv = m_home / "directions.csv";
    m_chooser.answers = {csv.string()};
    Child<QPushButton>(*directions, "directionsCsv")->click();
    QCOMPARE(ReadText(csv), DirectionsCsvText(curves));
    if (qEnvironmentVariableIsSet("PEMBLAR_SHOTS")) {
        directions->SetQuantity(EDirectionQuantity::Energy);
        directions->grab().save(qEnvironmentVariable("PEMBLAR_SHOTS") + "/directions_energy.png");
        directions->SetQuantity(EDirectionQuantity::Slowness);
        directions->grab().save(qEnvironmentVariable("PEMBLAR_SHOTS") + "/directions_slowness.png");
    }
    QVERIFY2(m_sink.texts.empty(), m_sink.texts.empty() ? "" : m_sink.texts[0].c_str());
}

void DispersionCommandsTest::readOutsShowRoundingNoiseAsZero() {
    // A mode whose skew along the plies' axis came out as rounding noise, and one truly skewed.
    CDispersionTable table;
    table.dThickness = 1;
    CDispersionMode m;
    m.strName = "S0";
    m.frequency = {0.5, 1};
    m.wavenumber = {0.6, 1.3};
    m.phase = {5.4, 4.9};
    m.group = {5.3, 1e-17};
    m.energyX = {5.3, 4.1};
    m.energyY = {6e-16, 0.9};
    m.skew = {7.3e-16, 12.38};
    for (auto& t : m.top) t = {0, 0};
    table.modes.push_back(m);
    QCOMPARE(DispersionPointText(table, 0, 0), QStringLiteral("S0: f = 0.5 MHz, f h = 0.5 MHz mm, k = 0.6 1/mm, "
                                                              "c_p = 5.4 mm/us, c_g = 5.3 mm/us, c_e = 5.3 mm/us, skew 0 deg"));
    QVERIFY2(DispersionPointText(table, 0, 1).endsWith("c_g = 0 mm/us, c_e = 4.198 mm/us, skew 12.38 deg"),
             qPrintable(DispersionPointText(table, 0, 1)));
    // The directions' read-out follows the same rule.
    numerics::CDirectionalCurves curves;
    numerics::CDirectionalLine line;
    line.strName = "A0";
    numerics::CDirectionalPoint p;
    p.dAngle = 0;
    p.dKappa = 2;
    p.dPhase = 1.5;
    p.dSlowness = 1 / 1.5;
    p.dEnergyAlong = 2.5;
    p.dEnergyAcross = -4e-16;
    p.dSkew = -1.6e-16;
    line.points = {p};
    curves.lines = {line};
    QCOMPARE(DirectionsPointText(curves, 0, 0), QStringLiteral("A0: direction 0 deg, k = 2 1/mm, c_p = 1.5 mm/us, "
                                                              "slowness 0.6667 us/mm, c_e = 2.5 mm/us along 0 deg, skew 0 deg"));
    QVERIFY(DirectionsPointText(curves, 1, 0).isEmpty());
}

void DispersionCommandsTest::aPolarLineAllTheWayRoundIsClosed() {
    // Eight directions: the last is 45 degrees short of the first, and one step closes the line.
    numerics::CDirectionalCurves curves;
    curves.dOmega = 2 * M_PI;
    for (int n : {8, 6}) {
        numerics::CDirectionalLine line;
        line.strName = n == 8 ? "round" : "cut off";
        for (int k = 0; k < n; ++k) {
            numerics::CDirectionalPoint p;
            p.dAngle = k * M_PI / 4;
            p.dPhase = 2;
            p.dSlowness = 0.5;
            p.dEnergyAlong = 2;
            line.points.push_back(p);
        }
        curves.lines.push_back(line);
    }
    for (EDirectionQuantity q : {EDirectionQuantity::Phase, EDirectionQuantity::Slowness, EDirectionQuantity::Energy}) {
        const plot::PlotContent c = DirectionsPlotContent(curves, q);
        const plot::Series& round = c.series[c.series.size() - 2];
        const plot::Series& cut = c.series.back();
        QCOMPARE(round.points.size(), size_t(9));
        QCOMPARE(round.points.back().x, round.points.front().x);
        QCOMPARE(round.points.back().y, round.points.front().y);
        QCOMPARE(cut.points.size(), size_t(6));  // a line that stops short stays open
    }
    QCOMPARE(DirectionsPlotContent(curves, EDirectionQuantity::Skew).series[0].points.size(), size_t(8));
}

PEMBLAR_GUI_TEST_MAIN(DispersionCommandsTest)
#include "test_dispersion_commands.moc"
