// "Solver options": the element order read from the settings into the dialog, played by the
// test through its real buttons, and written back on OK only; stored values that are not an order.

#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "../ScriptedModal.h"
#include "SolverOptions.h"
#include "SolverOptionsDlg.h"
#include "SolverRun.h"
#include "../GuiTestMain.h"

namespace {

// A radio button is hit on its indicator and text, not on the empty width a layout gives it.
void Choose(QWidget& w, const char* name) {
    QRadioButton* b = Child<QRadioButton>(w, name);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(b->height() / 2, b->height() / 2));
}

QPushButton* Button(QWidget& w, const char* text) {
    for (QPushButton* b : w.findChildren<QPushButton*>())
        if (b->text() == QLatin1String(text)) return b;
    qFatal("no button %s", text);
}

// What the dialog showed when it opened, and what the test did to it.
struct Seen {
    bool automatic = false;
    bool spinEnabled = false;
    int spin = 0;
};

}  // namespace

class TestSolverOptions : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString File() const { return m_dir.filePath("options.conf"); }
    // A store of the test's own, an INI file like the program's on Linux.
    std::unique_ptr<QSettings> Store() const { return std::make_unique<QSettings>(File(), QSettings::IniFormat); }

    // Opens the dialog over the store, lets act play the user, and gives what it showed.
    Seen Run(const std::function<void(CSolverOptionsDlg&)>& act, bool* written = nullptr) {
        Seen seen;
        auto store = Store();
        // As the command does: the stored order in, and back into the store on OK only.
        int order = ReadElementOrder(*store);
        const bool w = EditSolverOptions(order, nullptr, [&](QDialog& d) {
            auto& dialog = static_cast<CSolverOptionsDlg&>(d);
            QTimer::singleShot(0, &dialog, [&] {
                seen.automatic = Child<QRadioButton>(dialog, "automatic")->isChecked();
                seen.spinEnabled = Child<QSpinBox>(dialog, "order")->isEnabled();
                seen.spin = Child<QSpinBox>(dialog, "order")->value();
                QCOMPARE(Child<QRadioButton>(dialog, "fixed")->isChecked(), !seen.automatic);
                // A failed check returns early: the dialog must still end, or the test hangs.
                const auto closeAnyway = qScopeGuard([&] {
                    if (dialog.isVisible()) dialog.done(QDialog::Rejected);
                });
                act(dialog);
            });
            return dialog.exec();
        });
        if (w) {
            WriteElementOrder(*store, order);
            store->sync();
        }
        if (written) *written = w;
        return seen;
    }

private slots:
    void init() { QFile::remove(File()); }

    void aFixedOrderChosenAndConfirmedIsStored() {
        bool written = false;
        const Seen seen = Run(
            [](CSolverOptionsDlg& d) {
                Choose(d, "fixed");
                QSpinBox* spin = Child<QSpinBox>(d, "order");
                QVERIFY(spin->isEnabled());
                spin->selectAll();
                QTest::keyClicks(spin, "6");
                QTest::mouseClick(Button(d, "OK"), Qt::LeftButton);
            },
            &written);
        // Nothing stored: automatic, with the former elements' order offered for a fixed choice.
        QVERIFY(seen.automatic);
        QVERIFY(!seen.spinEnabled);
        QCOMPARE(seen.spin, 2);
        QVERIFY(written);
        QCOMPARE(Store()->value(kElementOrderKey).toString(), QString("6"));
        QCOMPARE(ReadElementOrder(*Store()), 6);
        // Opened again, it shows the stored order; Automatic and OK store 0.
        const Seen again = Run([](CSolverOptionsDlg& d) {
            Choose(d, "automatic");
            QVERIFY(!Child<QSpinBox>(d, "order")->isEnabled());
            QTest::mouseClick(Button(d, "OK"), Qt::LeftButton);
        });
        QVERIFY(!again.automatic);
        QVERIFY(again.spinEnabled);
        QCOMPARE(again.spin, 6);
        QCOMPARE(Store()->value(kElementOrderKey).toString(), QString("0"));
        QCOMPARE(ReadElementOrder(*Store()), 0);
    }

    void cancelLeavesTheStoredValueAsItWas() {
        Store()->setValue(kElementOrderKey, 7);
        bool written = true;
        const Seen seen = Run(
            [](CSolverOptionsDlg& d) {
                Choose(d, "automatic");
                QTest::mouseClick(Button(d, "Cancel"), Qt::LeftButton);
            },
            &written);
        QVERIFY(!seen.automatic);
        QCOMPARE(seen.spin, 7);
        QVERIFY(!written);
        QCOMPARE(ReadElementOrder(*Store()), 7);
        // Escape is a Cancel too, and nothing stored stays nothing stored.
        Store()->remove(kElementOrderKey);
        Run([](CSolverOptionsDlg& d) {
            Choose(d, "fixed");
            QTest::keyClick(&d, Qt::Key_Escape);
        });
        QVERIFY(!Store()->contains(kElementOrderKey));
    }

    void aBadStoredValueShowsAutomatic_data() {
        QTest::addColumn<QString>("stored");
        for (const char* v : {"abc", "0", "-3", "65", "2.5", "", "1e1", "99999999999"})
            QTest::newRow(v) << QString::fromLatin1(v);
    }
    void aBadStoredValueShowsAutomatic() {
        QFETCH(QString, stored);
        Store()->setValue(kElementOrderKey, stored);
        QCOMPARE(ReadElementOrder(*Store()), 0);
        const Seen seen = Run([](CSolverOptionsDlg& d) { QTest::mouseClick(Button(d, "OK"), Qt::LeftButton); });
        QVERIFY(seen.automatic);
        // Confirmed, the bad value is replaced by automatic.
        QCOMPARE(Store()->value(kElementOrderKey).toString(), QString("0"));
    }

    void storedValuesReadAsOrders() {
        QCOMPARE(ElementOrderFromSetting(QVariant()), 0);
        QCOMPARE(ElementOrderFromSetting(QVariant(1)), 1);
        QCOMPARE(ElementOrderFromSetting(QVariant(kMaxElementOrder)), kMaxElementOrder);
        QCOMPARE(ElementOrderFromSetting(QVariant(kMaxElementOrder + 1)), 0);
        QCOMPARE(ElementOrderFromSetting(QVariant(QString(" 12 "))), 12);  // a hand-edited file
        QCOMPARE(ElementOrderFromSetting(QVariant(QStringList{"3", "4"})), 0);
        // An order the solvers would refuse is not written either.
        auto store = Store();
        WriteElementOrder(*store, kMaxElementOrder + 1);
        QCOMPARE(store->value(kElementOrderKey).toInt(), 0);
    }
};

PEMBLAR_GUI_TEST_MAIN(TestSolverOptions)

#include "test_solver_options.moc"
