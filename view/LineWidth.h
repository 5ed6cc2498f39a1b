#pragma once
// The line-width form: one number, the width of the curve in pixels.

#include <QDialog>
#include <optional>
#include <string_view>

class QLabel;
class QLineEdit;
class QPushButton;
class IMessageSink;

// The width a text gives, or none when it is not a number by the forms' rule (".0" and "-0"
// read as zero without starting with the digit 0, so they are refused). No range check.
std::optional<float> ReadLineWidth(std::string_view text);
// The text the field shows for a width: "%.6g" in the "C" convention (0.5, 2, 1.25).
std::string FormatLineWidth(float width);

class CLineWidth : public QDialog {
    Q_OBJECT
public:
    // Messages go to the sink when one is given, else to a message box.
    explicit CLineWidth(QWidget* parent = nullptr, IMessageSink* messages = nullptr);

    // 1 when closed with OK, 2 with Cancel or the close box.
    int DoModal();

    float m_fWidth = 0;

    QLineEdit* WidthEdit() const { return m_edit; }

    static constexpr int kEditId = 1056;

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QRect DialogUnits(int x, int y, int w, int h) const;

    IMessageSink* m_messages;
    QLabel* m_label;
    QLineEdit* m_edit;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};
