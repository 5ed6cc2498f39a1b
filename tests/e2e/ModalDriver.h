#pragma once
// Plays the person in front of modal windows: each expected window, when it comes up, is handed
// to the next step of a script. Message boxes are recorded and answered; a window nobody
// expected is recorded and cancelled, so a test fails with its title instead of hanging.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <deque>
#include <functional>
#include <string>
#include <vector>

class CModalDriver : public QObject {
public:
    using Step = std::function<void(QWidget* modal)>;

    CModalDriver() {
        m_timer.setInterval(30);
        connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
        m_timer.start();
    }

    void Expect(Step step) { m_steps.push_back(std::move(step)); }
    bool AllDone() const { return m_steps.empty(); }
    // Texts of the message boxes that came up (each is answered with OK), and the titles of
    // windows that came up with no step left for them (each is cancelled).
    std::vector<std::string> messages;
    std::vector<std::string> unexpected;

private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == m_last || !modal->isVisible())
            return;
        m_last = modal;
        // The solver's progress window comes and goes by itself, sometimes too fast to be
        // seen: it is never a step of the script.
        if (modal->inherits("CProcessProgressDialog"))
            return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            messages.push_back(box->text().toStdString());
            box->accept();
            return;
        }
        if (m_steps.empty()) {
            unexpected.push_back("unexpected window: " + modal->windowTitle().toStdString());
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            return;
        }
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        // Let the window finish showing (its initialisation runs on show) before acting.
        QTimer::singleShot(50, modal, [step, modal] {
            step(modal);
            // A step that failed half-way leaves its window open: close it so the test ends.
            if (QTest::currentTestFailed())
                if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible())
                    dialog->reject();
        });
    }

    QTimer m_timer;
    std::deque<Step> m_steps;
    QWidget* m_last = nullptr;
};

// The first text of a list, for failure messages (evaluated even when the list is empty).
inline const char* FirstOf(const std::vector<std::string>& texts) {
    return texts.empty() ? "" : texts.front().c_str();
}

template <class T>
T* FindChildWithText(QWidget* root, const QString& text) {
    for (T* w : root->findChildren<T*>())
        if (w->text() == text)
            return w;
    return nullptr;
}

inline void ClickButton(QWidget* root, const QString& text) {
    auto* button = FindChildWithText<QAbstractButton>(root, text);
    QVERIFY2(button, qPrintable("no button " + text));
    QTest::mouseClick(button, Qt::LeftButton);
}

// Picks the list entry with this text as a person does: opens the list and clicks the entry.
inline void PickEntry(QComboBox* box, const QString& text) {
    QVERIFY(box);
    const int index = box->findText(text);
    QVERIFY2(index >= 0, qPrintable("no entry " + text));
    box->showPopup();
    QAbstractItemView* view = box->view();
    QTRY_VERIFY(view->isVisible());
    const QModelIndex item = view->model()->index(index, box->modelColumn(), view->rootIndex());
    view->scrollTo(item);
    const QPoint at = view->visualRect(item).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTRY_VERIFY(!view->isVisible());
    QCOMPARE(box->currentIndex(), index);
}

inline void TypeInto(QLineEdit* edit, const QString& text) {
    QVERIFY(edit);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}
