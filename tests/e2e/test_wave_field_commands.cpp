// "Wave field...": enabling, the form played by the test and kept with the project, the real
// solver run, and the window: the colour map read back pixel by pixel, the slider and Play, a
// click that shows a point's time series, and the exports of one frame and of every frame.

#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSlider>
#include <QtTest>

#include <filesystem>
#include <fstream>

#include "../Shots.h"
#include "CommandIds.h"
#include "DocCommands.h"
#include "DocCommandsFixture.h"
#include "ImageExportDialog.h"
#include "OstrelDoc.h"
#include "PlotWidget.h"
#include "ProjectFiles.h"
#include "ProjectKind.h"
#include "ProjectSettings.h"
#include "RecordList.h"
#include "WaveFieldDlg.h"
#include "WaveFieldWindow.h"
#include "test_project_support.h"
#include "test_run_support.h"
#include "../GuiTestMain.h"

namespace fs = std::filesystem;
using numerics::CFieldFile;

namespace {

using testsupport::CScriptedChooser;
using testsupport::ReadText;
using projtest::CrossPly;

// A field whose values say where they are: frame k holds (k + 1) * x * 1e-6 mm, so the right
// edge is the largest value, the left the most negative and x = 0 is still.
CFieldFile Ramp(int nx = 21, int ny = 11, int nt = 4) {
    CFieldFile f;
    for (int i = 0; i < nx; ++i) f.x.push_back(-10.0 + 20.0 * i / (nx - 1));
    for (int j = 0; j < ny; ++j) f.y.push_back(-5.0 + 10.0 * j / (ny - 1));
    for (int k = 0; k < nt; ++k) f.t.push_back(0.5 * k);
    for (int k = 0; k < nt; ++k)
        for (int j = 0; j < ny; ++j)
            for (double x : f.x) f.field.push_back((k + 1) * x * 1e-6);
    f.strComponent = "W";
    return f;
}

QRgb Colour(plot::Rgb c) { return qRgb(plot::RgbRed(c), plot::RgbGreen(c), plot::RgbBlue(c)); }

}  // namespace

class WaveFieldCommandsTest : public QObject, private CDocCommandsFixture {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void enablingFollowsTheStackAndTheFormRefusesBadInput();
    void theFormRunsTheSolverAndTheSettingsStayWithTheProject();
    void theColourMapShowsEachCellInItsColour();
    void sliderPlayAndAClickOnTheMap();
    void exportsOfTheFrameAndOfEveryFrame();
    void aStudyCasesFieldFileOpensInTheWindow();

private:
    void CrossPlyPlate();
    CWaveFieldWindow* Window(CFieldFile field);
    std::unique_ptr<CWaveFieldWindow> m_window;
};

void WaveFieldCommandsTest::init() { QVERIFY(Open()); }

void WaveFieldCommandsTest::cleanup() {
    m_window.reset();
    if (QWidget* w = m_commands->LastWaveFieldWindow()) delete w;
    Close();
}

void WaveFieldCommandsTest::CrossPlyPlate() {
    CrossPly(*m_doc, 1);
    m_doc->m_bPlate = 1;
    m_doc->m_fTimeFrom = 0;
    m_doc->m_fTimeTo = 20;
}

CWaveFieldWindow* WaveFieldCommandsTest::Window(CFieldFile field) {
    m_window = std::make_unique<CWaveFieldWindow>(std::move(field), QStringLiteral("Wave field - test"));
    m_window->m_strExportDir = m_home.string();
    m_window->m_pFiles = &m_chooser;
    m_window->m_pMessages = &m_sink;
    m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    m_window->resize(860, 900);
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get())) qFatal("window not exposed");
    QCoreApplication::processEvents();
    return m_window.get();
}

void WaveFieldCommandsTest::enablingFollowsTheStackAndTheFormRefusesBadInput() {
    QCOMPARE(m_commands->OnUpdateCommand(Cmd::kWaveField), std::optional<bool>(false));
    CrossPlyPlate();
    QCOMPARE(m_commands->OnUpdateCommand(Cmd::kWaveField), std::optional<bool>(true));

    // A count of none and a range that runs backwards are refused with the reason; the form
    // stays open and nothing is run.
    std::vector<std::string> said;
    m_modals.Play([&](QDialog& dialog) {
        auto* form = qobject_cast<CWaveFieldDlg*>(&dialog);
        if (!form) return 2;
        form->show();
        Child<QLineEdit>(*form, "xPoints")->setText("0");
        form->accept();
        if (form->result() == QDialog::Accepted) return 1;
        Child<QLineEdit>(*form, "xPoints")->setText("11");
        Child<QLineEdit>(*form, "yTo")->setText("-60");
        form->accept();
        if (form->result() == QDialog::Accepted) return 1;
        Child<QLineEdit>(*form, "frames")->setText("many");
        form->accept();
        return form->result() == QDialog::Accepted ? 1 : 2;
    });
    m_commands->OnCommand(Cmd::kWaveField);
    QCOMPARE(m_sink.texts, (std::vector<std::string>{"The number of x range points must be from 1 to 4096.",
                                                        "The y range must run upwards: \"to\" above \"from\".",
                                                        "Please enter an integer."}));
    QVERIFY(!m_commands->LastWaveFieldWindow());
    QVERIFY(!fs::exists(m_home / "bin" / "wavefield"));
}

void WaveFieldCommandsTest::theFormRunsTheSolverAndTheSettingsStayWithTheProject() {
    CrossPlyPlate();
    m_doc->m_nLoadDir = 1;  // the form starts from the project's own direction
    // A step load at the automatic order resolves every frequency the plate carries up to the
    // cut-off (order 24 in these thin plies); quadratic elements keep the run under a second.
    m_doc->m_nElementOrder = 2;
    fs::create_directories(m_home / "bin");
    fs::create_symlink(LUMDEX_PATH, m_home / "bin" / "lumdex");
    QCOMPARE(WriteProjectFile(*m_doc, CompositeKind()), 1);
    QString offeredSource;
    m_modals.Play([&](QDialog& dialog) {
        auto* form = qobject_cast<CWaveFieldDlg*>(&dialog);
        if (!form) return 2;
        form->show();
        offeredSource = Child<QComboBox>(*form, "source")->currentText();
        Child<QComboBox>(*form, "source")->setCurrentIndex(2);
        Child<QComboBox>(*form, "component")->setCurrentIndex(2);
        for (auto [name, text] : {std::pair{"xFrom", "-8"}, {"xTo", "8"}, {"xPoints", "17"}, {"yFrom", "-4"},
                                  {"yTo", "4"}, {"yPoints", "9"}, {"tFrom", "0"}, {"tTo", "3"}, {"frames", "4"}})
            Child<QLineEdit>(*form, name)->setText(QString::fromLatin1(text));
        form->accept();
        return form->result() == QDialog::Accepted ? 1 : 2;
    });
    m_commands->OnCommand(Cmd::kWaveField);
    QVERIFY2(m_sink.texts.empty(), m_sink.texts.empty() ? "" : m_sink.texts[0].c_str());
    QCOMPARE(offeredSource, QString("X"));
    auto* window = qobject_cast<CWaveFieldWindow*>(m_commands->LastWaveFieldWindow());
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QString("Wave field - COM_project"));
    const CFieldFile& f = window->Field();
    QCOMPARE(f.x.size(), size_t(17));
    QCOMPARE(f.y.size(), size_t(9));
    QCOMPARE(f.t.size(), size_t(4));
    QCOMPARE(f.strComponent, std::string("W"));
    QCOMPARE(f.strLoadDirection, std::string("Z"));
    QCOMPARE(window->Map()->Content().grid->nx, 17);

    // The settings are the project's: in the document and in the settings file beside the
    // project file, read back by a document that opens it.
    const CWaveFieldSettings& kept = m_doc->m_comWaveField;
    QVERIFY(kept.m_bDefined);
    QCOMPARE(kept.m_nXPoints, 17);
    QCOMPARE(kept.m_nDirection, 3);
    const std::string settings = ReadText(m_home / "input" / "COM_project.settings");
    QVERIFY2(settings.find("wave-field-x -8 8 17\n") != std::string::npos, settings.c_str());
    QVERIFY(settings.find("wave-field-source Z\n") != std::string::npos);
    COstrelDoc other;
    other.m_szStartDir = m_home.string();
    RestoreProjectSettings(other, CompositeKind(), (m_home / "input" / "COM_project.dat").string());
    QVERIFY(other.m_comWaveField.m_bDefined);
    QCOMPARE(other.m_comWaveField.m_dTimeTo, 3.0);

    // Offered again as it was run.
    m_modals.Play([&](QDialog& dialog) {
        auto* form = qobject_cast<CWaveFieldDlg*>(&dialog);
        if (!form) return 2;
        form->show();
        offeredSource = Child<QComboBox>(*form, "source")->currentText() + " " +
                        Child<QLineEdit>(*form, "xPoints")->text();
        return 2;
    });
    m_commands->OnCommand(Cmd::kWaveField);
    QCOMPARE(offeredSource, QString("Z 17"));
}

void WaveFieldCommandsTest::theColourMapShowsEachCellInItsColour() {
    CWaveFieldWindow* window = Window(Ramp());
    window->SetFrame(3);
    plot::PlotWidget* map = window->Map();
    const QImage image = map->RenderImage(map->size());
    const plot::Mapping m{map->View().Shown(), map->PlotArea()};
    const CFieldFile& f = window->Field();
    // Millimetres are as long across as up.
    QVERIFY(std::abs(m.PixelsPerX() - m.PixelsPerY()) < 1e-6 * m.PixelsPerX());
    // The middle of each cell (away from the markers) has exactly its value's colour on the
    // scale of all frames: the last frame spans the whole scale.
    const double peak = 4 * 10 * 1e-6;
    int checked = 0;
    for (size_t j = 0; j < f.y.size(); j += 3)
        for (size_t i = 0; i < f.x.size(); i += 2) {
            if (std::abs(f.x[i]) < 2 && std::abs(f.y[j]) < 2) continue;  // the source's marker
            const QPoint at = m.ToPixel({f.x[i], f.y[j]}).toPoint();
            const double v = f.field[(3 * f.y.size() + j) * f.x.size() + i];
            QCOMPARE(image.pixel(at), Colour(plot::DivergingColour(v, -peak, peak)));
            ++checked;
        }
    QVERIFY(checked > 20);
    // The ends of the scale: blue on the left, red on the right, white where x = 0.
    QCOMPARE(image.pixel(m.ToPixel({9.9, 4}).toPoint()), Colour(plot::DivergingColour(1, -1, 1)));
    QCOMPARE(image.pixel(m.ToPixel({-9.9, 4}).toPoint()), Colour(plot::DivergingColour(-1, -1, 1)));
    QCOMPARE(image.pixel(m.ToPixel({0, 4}).toPoint()), qRgb(255, 255, 255));
    // The source is marked in black at the origin; the colour bar is titled with the unit.
    QCOMPARE(image.pixel(m.ToPixel({0, 0}).toPoint()), qRgb(0, 0, 0));
    QCOMPARE(map->Content().grid->unit, std::string("mm"));
    QCOMPARE(map->Content().title, std::string("W at t = 1.5 us"));

    // On the first frame's own scale its values take the whole scale too.
    window->SetFrame(0);
    window->SetScale(EWaveFieldScale::ThisFrame);
    const QImage own = map->RenderImage(map->size());
    QCOMPARE(own.pixel(m.ToPixel({9.9, 4}).toPoint()), Colour(plot::DivergingColour(1, -1, 1)));
    window->SetScale(EWaveFieldScale::AllFrames);
    const QImage faint = map->RenderImage(map->size());
    QVERIFY(qGreen(faint.pixel(m.ToPixel({9.9, 4}).toPoint())) > 150);  // a quarter of the peak: pale
    if (qEnvironmentVariableIsSet("PEMBLAR_SCREENSHOTS")) window->grab().save(QStringLiteral("/tmp/wavefield-window.png"));
}

void WaveFieldCommandsTest::sliderPlayAndAClickOnTheMap() {
    CWaveFieldWindow* window = Window(Ramp());
    auto* slider = Child<QSlider>(*window, "frame");
    slider->setValue(2);
    QCOMPARE(window->Frame(), 2);
    QCOMPARE(Child<QLabel>(*window, "time")->text(), QString("t = 1 us (3 / 4)"));
    // Play runs to the last frame and stops there; Play at the end starts from the first.
    Child<QPushButton>(*window, "play")->click();
    QVERIFY(window->Playing());
    QTRY_VERIFY_WITH_TIMEOUT(!window->Playing(), 3000);
    QCOMPARE(window->Frame(), 3);
    QCOMPARE(slider->value(), 3);
    window->Play();
    QCOMPARE(window->Frame(), 0);
    window->Pause();

    // A click on the map picks the nearest grid point and shows its time series below.
    plot::PlotWidget* map = window->Map();
    const plot::Mapping m{map->View().Shown(), map->PlotArea()};
    const CFieldFile& f = window->Field();
    QTest::mouseClick(map, Qt::LeftButton, Qt::NoModifier, m.ToPixel({f.x[15] + 0.2, f.y[7] - 0.2}).toPoint());
    QVERIFY(window->Picked().has_value());
    QCOMPARE(*window->Picked(), (CFieldPoint{15, 7}));
    QVERIFY(window->Series()->isVisible());
    const plot::Series& s = window->Series()->Content().series.at(0);
    QCOMPARE(s.name, std::string("W at (5, 2) mm"));
    QCOMPARE(s.points.size(), size_t(4));
    for (size_t k = 0; k < 4; ++k) QCOMPARE(s.points[k].y, (k + 1) * 5.0 * 1e-6);
    // The point is marked on the map; a click outside the cells changes nothing.
    QCOMPARE(map->Content().series.back().points.at(0).x, 5.0);
    QTest::mouseClick(map, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    QCOMPARE(*window->Picked(), (CFieldPoint{15, 7}));
    // The read-out names the value under the pointer (the map is smaller now the series shows).
    QCoreApplication::processEvents();
    const plot::Mapping smaller{map->View().Shown(), map->PlotArea()};
    QTest::mouseMove(map, smaller.ToPixel({f.x[20], f.y[0]}).toPoint());
    QTRY_VERIFY2(window->ReadoutText().contains("W = 1e-05 mm"), qPrintable(window->ReadoutText()));
    SaveShot(window, "wave_field_window");
}

void WaveFieldCommandsTest::exportsOfTheFrameAndOfEveryFrame() {
    CWaveFieldWindow* window = Window(Ramp());
    const fs::path png = m_home / "frame.png", svg = m_home / "frame.svg", frames = m_home / "video" / "wave.png";
    fs::create_directories(frames.parent_path());
    m_chooser.answers = {png.string(), svg.string(), frames.string()};
    // A picture of the frame through the image dialog every plot window shares: offered at the
    // frame's own size first, then at a size of the user's choice.
    CScriptedModal modals;
    window->m_pModals = &modals;
    std::vector<QSize> offered;
    const auto exportImage = [&](std::optional<QSize> size) {
        modals.Play([&, size](QDialog& dialog) {
            auto* d = qobject_cast<plot::ImageExportDialog*>(&dialog);
            if (!d) return int(QDialog::Rejected);
            offered.push_back(d->ChosenSize());
            if (size) d->findChild<QSpinBox*>("width")->setValue(size->width());
            if (size) d->findChild<QSpinBox*>("height")->setValue(size->height());
            return int(QDialog::Accepted);
        });
        Child<QPushButton>(*window, "exportImage")->click();
    };
    exportImage(std::nullopt);
    exportImage(QSize(600, 400));
    Child<QPushButton>(*window, "exportFrames")->click();
    QVERIFY2(m_sink.texts.empty(), m_sink.texts.empty() ? "" : m_sink.texts[0].c_str());
    QCOMPARE(m_chooser.requests.size(), size_t(3));
    QCOMPARE(m_chooser.requests[1].filter, std::string(plot::kImageFilter));
    QCOMPARE(offered.size(), size_t(2));
    // The frame's own picture has even sides (as video encoders want) and the rectangle's 2:1 shape.
    const QImage image(QString::fromStdString(png.string()));
    QCOMPARE(image.size(), offered[0]);
    QCOMPARE(image.height(), 720);
    QCOMPARE(image.width() % 2, 0);
    QVERIFY(image.width() > image.height());
    QVERIFY(ReadText(svg).find("viewBox=\"0 0 600 400\"") != std::string::npos);
    // One numbered image per frame, in order, each the picture of its frame.
    for (int k = 0; k < 4; ++k) {
        const fs::path p = m_home / "video" / ("wave_000" + std::to_string(k + 1) + ".png");
        QVERIFY2(fs::exists(p), p.c_str());
        QCOMPARE(QImage(QString::fromStdString(p.string())).size(), image.size());
    }
    QVERIFY(!fs::exists(m_home / "video" / "wave_0005.png"));
    QCOMPARE(window->Frame(), 0);  // the frame shown before
    QCOMPARE(FrameFileName("/a/b/wave.png", 11, 12000), QString("/a/b/wave_00012.png"));
    // A directory that cannot be written: said, not passed over.
    m_chooser.answers = {(m_home / "missing" / "x.png").string()};
    Child<QPushButton>(*window, "exportFrames")->click();
    QCOMPARE(m_sink.texts.size(), size_t(1));
    QVERIFY(m_sink.texts[0].rfind("The frames could not be exported: ", 0) == 0);
}

void WaveFieldCommandsTest::aStudyCasesFieldFileOpensInTheWindow() {
    const fs::path dir = m_dir->path().toStdString();
    const std::string path = (dir / "case-0002-wavefield.h5").string();
    CFieldFile ramp = Ramp();
    ramp.strSolver = "lumdex";
    ramp.strLoadDirection = "Z";
    ramp.elementOrders = {2, 2};
    ramp.strSymmetry = "mirror";
    const std::string written = numerics::WriteFieldFile(path, ramp);
    QVERIFY2(written.empty(), written.c_str());
    m_commands->OpenWaveFieldFile(path, "Wave field - COM_project, load direction = Z");
    QVERIFY2(m_sink.texts.empty(), m_sink.texts.empty() ? "" : m_sink.texts[0].c_str());
    auto* window = qobject_cast<CWaveFieldWindow*>(m_commands->LastWaveFieldWindow());
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), QString("Wave field - COM_project, load direction = Z"));
    QCOMPARE(window->Field().x.size(), size_t(21));
    QCOMPARE(window->Map()->Content().grid->ny, 11);
    // A file that is no field is said, and the window shown stays the last one.
    const std::string bad = (dir / "bad.h5").string();
    std::ofstream(bad) << "not HDF5";
    m_commands->OpenWaveFieldFile(bad, "Wave field - bad");
    QCOMPARE(m_sink.texts.size(), size_t(1));
    QVERIFY2(m_sink.texts[0].rfind("The wave field cannot be read: " + bad + ", ", 0) == 0, m_sink.texts[0].c_str());
    QCOMPARE(m_commands->LastWaveFieldWindow(), static_cast<QWidget*>(window));
}

PEMBLAR_GUI_TEST_MAIN(WaveFieldCommandsTest)
#include "test_wave_field_commands.moc"
