// One composite and one FGM project taken the whole way through the program's menus, as a
// person would: materials from the embedded database, the number of layers, the parameters and
// layers, a run of the bundled solver, the current curve, a saved bitmap that an independent
// reader (Python's imaging library) reads back pixel for pixel.

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "../Shots.h"
#include "AllPara.h"
#include "ChildFrm.h"
#include "CommandIds.h"
#include "DocumentHost.h"
#include "FGM.h"
#include "FormWidgets.h"
#include "LayerNumber.h"
#include "MainFrm.h"
#include "ModalDriver.h"
#include "OstrelApp.h"
#include "OstrelView.h"
#include "PlotGeometry.h"
#include "../GuiTestMain.h"

namespace {

QString ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Decodes the bitmap with Python's imaging library and hands the pixels back as a plain PPM,
// with the size and mode the library saw.
struct DecodedBitmap {
    QString mode;
    QSize size;
    QImage pixels;
};

DecodedBitmap DecodeWithPil(const QString& bmp) {
    const QString ppm = bmp + QStringLiteral(".ppm");
    QProcess python;
    python.start(QStringLiteral(PEMBLAR_PYTHON),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
                                 "print(im.format, im.mode, im.size[0], im.size[1])\n"
                                 "im.convert('RGB').save(sys.argv[2], 'PPM')\n"),
                  bmp, ppm});
    python.waitForFinished(60000);
    DecodedBitmap out;
    const QStringList words = QString::fromUtf8(python.readAllStandardOutput()).split(' ', Qt::SkipEmptyParts);
    if (python.exitCode() != 0 || words.size() < 4 || words[0] != QStringLiteral("BMP"))
        return out;
    out.mode = words[1];
    out.size = QSize(words[2].toInt(), words[3].trimmed().toInt());
    out.pixels = QImage(ppm).convertToFormat(QImage::Format_RGB32);
    return out;
}

bool IsColour(QRgb pixel, int r, int g, int b, int tolerance = 2) {
    return std::abs(qRed(pixel) - r) <= tolerance && std::abs(qGreen(pixel) - g) <= tolerance &&
           std::abs(qBlue(pixel) - b) <= tolerance;
}

}  // namespace

class RoadTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void compositeRoad();
    void fgmRoad();
    void cleanupTestCase();

private:
    QAction* Action(int id) const { return m_app->MainFrame()->Action(id); }
    CDocumentHost* Host() const;
    COstrelView* View() const;
    void Trigger(int id);
    void SelectMaterials(const QStringList& names);
    void SetLayerNumber(int layers);
    void CheckEnabling(bool composite, bool fgm);
    void RunAndDisplay(int executeId, int displayId, const QString& runDir, const QString& copy);
    void SaveAndCheckBitmap(const QString& name);

    QTemporaryDir m_workDir;  // goes after the program
    std::unique_ptr<COstrelApp> m_app;
    CModalDriver* m_driver = nullptr;
    QString m_work;
};

void RoadTest::initTestCase() {
    QVERIFY(m_workDir.isValid());
    m_work = m_workDir.path();
    QVERIFY(QDir().mkpath(m_work));
    QVERIFY(QDir::setCurrent(m_work));
    m_app = std::make_unique<COstrelApp>();
    QVERIFY(m_app->InitInstance({}));
    m_driver = new CModalDriver;
    QVERIFY(m_app->MainFrame()->isVisible());
    // New, from the menu of the empty main window.
    m_app->MainFrame()->Action(Cmd::kFileNew, 128)->trigger();
    QTRY_VERIFY(Host() != nullptr);
    QTRY_VERIFY(View() && View()->isVisible());
    QCOMPARE(QDir(QString::fromStdString(Host()->Doc().m_szStartDir)).canonicalPath(), QDir(m_work).canonicalPath());
}

void RoadTest::cleanupTestCase() {
    delete m_driver;
    m_app.reset();
}

CDocumentHost* RoadTest::Host() const {
    CChildFrame* child = m_app->MainFrame()->ActiveChild();
    return child ? child->Host() : nullptr;
}

COstrelView* RoadTest::View() const {
    CChildFrame* child = m_app->MainFrame()->ActiveChild();
    return child ? qobject_cast<COstrelView*>(child->View()) : nullptr;
}

void RoadTest::Trigger(int id) {
    QAction* action = Action(id);
    QVERIFY2(action, qPrintable(QString::number(id)));
    QVERIFY2(action->isEnabled(), qPrintable(action->text()));
    action->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(m_driver->AllDone(), 20000);
    QVERIFY2(m_driver->unexpected.empty(), FirstOf(m_driver->unexpected));
}

void RoadTest::SelectMaterials(const QStringList& names) {
    m_driver->Expect([names](QWidget* form) {
        auto* nameBox = form->findChild<QComboBox*>(QStringLiteral("materialName"));
        for (const QString& name : names) {
            PickEntry(nameBox, name);
            ClickButton(form, QStringLiteral("----->"));
        }
        ClickButton(form, QStringLiteral("OK"));
    });
    Trigger(Cmd::kMaterialSelected);
    const COstrelDoc& doc = Host()->Doc();
    QCOMPARE(doc.m_nMaterials, static_cast<int>(names.size()));
    for (int i = 0; i < doc.m_nMaterials; ++i) {
        QCOMPARE(QString::fromStdString(doc.m_materials[i].m_strName), names[i]);
        QCOMPARE(doc.m_materials[i].m_nNo, i + 1);
        QVERIFY(doc.m_materials[i].m_dE1 > 0);
    }
}

void RoadTest::SetLayerNumber(int layers) {
    m_driver->Expect([layers](QWidget* form) {
        TypeInto(qobject_cast<QLineEdit*>(FindControl(form, CLayerNumber::IDC_LAYERS)), QString::number(layers));
        ClickButton(form, QStringLiteral("OK"));
    });
    Trigger(Cmd::kLayerPara);
    QCOMPARE(Host()->Doc().m_nLayers, layers);
}

void RoadTest::CheckEnabling(bool composite, bool fgm) {
    // Enabling is refreshed whenever a menu opens; open the Computing menu as a person would.
    m_app->MainFrame()->UpdateCommandUI();
    QCOMPARE(Action(Cmd::kExecuteComposite)->isEnabled(), composite);
    QCOMPARE(Action(Cmd::kExecuteFGM)->isEnabled(), fgm);
}

void RoadTest::RunAndDisplay(int executeId, int displayId, const QString& runDir, const QString& copy) {
    // The progress window comes up while the solver runs and goes by itself when it ends.
    Trigger(executeId);
    QVERIFY2(m_driver->messages.empty(), FirstOf(m_driver->messages));
    QVERIFY(QFile::exists(m_work + "/" + runDir + "/" + copy));
    QCOMPARE(Host()->Doc().m_nRunType, -1);
    CheckEnabling(false, false);
    // The status bar names the result the run wrote and the element orders the solver chose.
    const QString said = m_app->MainFrame()->RunPane()->text();
    QVERIFY(m_app->MainFrame()->RunPane()->isVisible());
    QVERIFY2(said.contains(QStringLiteral(" wrote U (")) && said.contains(QStringLiteral("/") + copy) &&
                 said.contains(QStringLiteral("element orders from the top layer ")) &&
                 said.endsWith(QStringLiteral(", chosen automatically")),
             qPrintable(said));

    Trigger(displayId);
    QVERIFY2(m_driver->messages.empty(), FirstOf(m_driver->messages));
    const COstrelDoc& doc = Host()->Doc();
    QCOMPARE(doc.m_bCurveLoaded, 1);
    QVERIFY(doc.m_nPoints > 10);
    QCOMPARE(doc.m_nLabelComp, 1);
    QVERIFY(doc.m_fFullYMax > doc.m_fFullYMin);  // a real response, not a flat line
    SaveShot(m_app->MainFrame(), displayId == Cmd::kShowComputedCurve ? "main_curve_fgm" : "main_curve");
}

void RoadTest::SaveAndCheckBitmap(const QString& name) {
    const QString target = m_work + QStringLiteral("/bmp_file/") + name;
    m_driver->Expect([target](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog);
        // Type the name into the dialog's file-name field and press Enter.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(target);
        QTest::keyClick(name, Qt::Key_Return);
    });
    Trigger(Cmd::kFileSave);
    QVERIFY2(m_driver->messages.empty(), FirstOf(m_driver->messages));
    QVERIFY(QFile::exists(target));

    const QImage drawn = View()->CaptureFrame().convertToFormat(QImage::Format_RGB32);
    const DecodedBitmap bmp = DecodeWithPil(target);
    QCOMPARE(bmp.size, drawn.size());
    QCOMPARE(bmp.mode, QStringLiteral("RGB"));
    QCOMPARE(bmp.pixels.size(), drawn.size());
    // Depth: the info header's bit count, straight from the file.
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const int bitCount = static_cast<unsigned char>(bytes[28]) | (static_cast<unsigned char>(bytes[29]) << 8);
    QCOMPARE(bitCount, View()->ScreenBitDepth() == 32 ? 32 : 24);

    // Every pixel the view drew is where the file has it.
    int differing = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            differing += bmp.pixels.pixel(x, y) != drawn.pixel(x, y);
    QCOMPARE(differing, 0);

    // The frame's left edge is a line at a quarter of the width; the curve colour appears
    // between the frame's edges.
    const int w = drawn.width(), h = drawn.height();
    const QRgb background = bmp.pixels.pixel(5, 5);
    QVERIFY(IsColour(background, 255, 255, 255));
    int frameColumn = -1;
    for (int x = w / 4 - 2; x <= w / 4 + 2 && frameColumn < 0; ++x)
        if (bmp.pixels.pixel(x, h / 2) != background)
            frameColumn = x;
    QVERIFY2(frameColumn >= 0, "no frame line near a quarter of the width");
    int curvePixels = 0;
    for (int y = h / 4; y < 3 * h / 4; ++y)
        for (int x = w / 4 + 2; x < 3 * w / 4 - 2; ++x)
            curvePixels += IsColour(bmp.pixels.pixel(x, y), 0, 0, 255);
    QVERIFY2(curvePixels > 50, qPrintable(QString::number(curvePixels)));
}

void RoadTest::compositeRoad() {
    CheckEnabling(false, false);
    SelectMaterials({QStringLiteral("T300/5208 carbon/epoxy"), QStringLiteral("E-glass/epoxy")});
    SetLayerNumber(2);

    m_driver->Expect([](QWidget* form) {
        auto* layers = qobject_cast<QComboBox*>(FindControl(form, CAllPara::IDC_LAYER_LIST));
        auto* materials = qobject_cast<QComboBox*>(FindControl(form, CAllPara::IDC_MATERIAL_LIST));
        QCOMPARE(qobject_cast<QLineEdit*>(FindControl(form, CAllPara::IDC_THICKNESS))->text(), QStringLiteral("0.5"));
        PickEntry(layers, QStringLiteral("Layer 1"));
        PickEntry(materials, QStringLiteral("T300/5208 carbon/epoxy"));
        ClickButton(form, QStringLiteral("----->"));
        PickEntry(layers, QStringLiteral("Layer 2"));
        PickEntry(materials, QStringLiteral("E-glass/epoxy"));
        TypeInto(qobject_cast<QLineEdit*>(FindControl(form, CAllPara::IDC_SUBLAYERS)), QStringLiteral("2"));
        ClickButton(form, QStringLiteral("----->"));
        TypeInto(qobject_cast<QLineEdit*>(FindControl(form, CAllPara::IDC_TITLE)), QStringLiteral("cross_ply"));
        ClickButton(form, QStringLiteral("OK"));
    });
    Trigger(Cmd::kInputComposite);
    QVERIFY2(m_driver->messages.empty(), FirstOf(m_driver->messages));
    const COstrelDoc& doc = Host()->Doc();
    QCOMPARE(doc.m_nComLayerCount, 2);
    QCOMPARE(doc.m_layers[1].m_nMaterial, 2);
    QCOMPARE(doc.m_layers[1].m_nSublayers, 2);
    QCOMPARE(doc.m_nRunType, 0);
    const QString project = ReadAll(m_work + QStringLiteral("/input/cross_ply.dat"));
    QVERIFY(project.startsWith(QStringLiteral("cross_ply\n2    2    3.113646\n")));
    QVERIFY(project.contains(QStringLiteral("Layer 2  E-glass/epoxy  2  0.5000 2\n")));
    QVERIFY(ReadAll(m_work + QStringLiteral("/bin/input.d")).contains(QStringLiteral("1 2 \n")));
    CheckEnabling(true, false);

    RunAndDisplay(Cmd::kExecuteComposite, Cmd::kDisplayComCurrentU, QStringLiteral("bin"),
                  QStringLiteral("result_u.dat"));
    QVERIFY(QFile::exists(m_work + QStringLiteral("/output/cross_ply/result_u.dat")));
    SaveAndCheckBitmap(QStringLiteral("composite.bmp"));
}

void RoadTest::fgmRoad() {
    SelectMaterials({QStringLiteral("aluminium (FGM reference)"), QStringLiteral("alumina Al2O3 (FGM reference)")});
    SetLayerNumber(2);

    m_driver->Expect([](QWidget* form) {
        auto* layers = qobject_cast<QComboBox*>(FindControl(form, CFGM::IDC_LAYER_LIST));
        auto* materials = qobject_cast<QComboBox*>(FindControl(form, CFGM::IDC_MATERIAL_LIST));
        auto* fraction = qobject_cast<QLineEdit*>(FindControl(form, CFGM::IDC_VOL_FRACTION));
        PickEntry(layers, QStringLiteral("Layer 1"));
        PickEntry(materials, materials->itemText(0));
        TypeInto(fraction, QStringLiteral("1"));
        ClickButton(form, QStringLiteral("----->"));
        PickEntry(layers, QStringLiteral("Layer 2"));
        TypeInto(fraction, QStringLiteral("0.5"));
        ClickButton(form, QStringLiteral("----->"));
        TypeInto(qobject_cast<QLineEdit*>(FindControl(form, CFGM::IDC_LAST_VOL_FRACTION)), QStringLiteral("0"));
        ClickButton(form, QStringLiteral("OK"));
    });
    Trigger(Cmd::kInputFGM);
    QVERIFY2(m_driver->messages.empty(), FirstOf(m_driver->messages));
    const COstrelDoc& doc = Host()->Doc();
    QCOMPARE(doc.m_nFGMLayerCount, 2);
    QCOMPARE(doc.m_nRunType, 1);
    QVERIFY(QFile::exists(m_work + QStringLiteral("/inputFGM/FGM_project.dat")));
    QVERIFY(QFile::exists(m_work + QStringLiteral("/binFGM/inputfgm.dat")));
    CheckEnabling(false, true);

    // The one command that shows what the run computed, instead of Display > FGM > Current > U.
    RunAndDisplay(Cmd::kExecuteFGM, Cmd::kShowComputedCurve, QStringLiteral("binFGM"),
                  QStringLiteral("resultfgm_u.dat"));
    QVERIFY(QFile::exists(m_work + QStringLiteral("/outputFGM/FGM_project/resultfgm_u.dat")));
    SaveAndCheckBitmap(QStringLiteral("fgm.bmp"));
}

int main(int argc, char** argv) {
    // The bundled solvers are found on the search path, as the run script arranges.
    qputenv("PATH", QByteArray(PEMBLAR_SOLVERS_DIR) + ":" + qgetenv("PATH"));
    return RunGuiTest<RoadTest>(argc, argv, __FILE__);
}

#include "test_road.moc"
