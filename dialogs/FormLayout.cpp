#include "FormLayout.h"

#include <QDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "FormWidgets.h"

namespace FormLayout {

QLineEdit* Edit(QWidget* parent, int id) {
    return WithControlId(new QLineEdit(parent), id);
}

QLabel* Label(QWidget* parent, const char* text, QWidget* buddy) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

QGroupBox* Group(QWidget* parent, const char* title) {
    return new QGroupBox(QString::fromLatin1(title), parent);
}

QHBoxLayout* Row(std::initializer_list<QWidget*> widgets) {
    auto* row = new QHBoxLayout;
    for (QWidget* widget : widgets)
        row->addWidget(widget, qobject_cast<QLineEdit*>(widget) ? 1 : 0);
    return row;
}

QLayout* TimeWindow(QWidget* parent, const char* heading, QLineEdit* from, QLineEdit* to) {
    auto* grid = new QGridLayout;
    grid->addWidget(Label(parent, heading), 0, 0, 2, 1, Qt::AlignVCenter);
    grid->addWidget(Label(parent, "from", from), 0, 1);
    grid->addWidget(from, 0, 2);
    grid->addWidget(Label(parent, "to", to), 1, 1);
    grid->addWidget(to, 1, 2);
    grid->setColumnStretch(2, 1);
    return grid;
}

namespace {

QRadioButton* Radio(QWidget* parent, const char* text, int id) {
    return WithControlId(new QRadioButton(QString::fromLatin1(text), parent), id);
}

}  // namespace

QGroupBox* LoadTypeGroup(QWidget* parent, CRadioSet& set, const std::array<int, 5>& ids) {
    static const char* const kTexts[5] = {"H(t)", "Deta(t)", "Exp(iwt)", "Any f(t)", "Sin(wt)"};
    auto* group = Group(parent, "Type of the line load");
    auto* grid = new QGridLayout(group);
    for (int code = 1; code <= 5; ++code) {
        QRadioButton* button = Radio(group, kTexts[code - 1], ids[static_cast<std::size_t>(code - 1)]);
        set.Add(button, code);
        const bool leftColumn = code <= 3;
        grid->addWidget(button, leftColumn ? code - 1 : code - 4, leftColumn ? 0 : 1);
    }
    return group;
}

QGroupBox* DirectionGroup(QWidget* parent, CRadioSet& load, CRadioSet& output, bool captions) {
    static const char* const kLoad[3] = {"X", "Y", "Z"};
    static const char* const kOutput[3] = {"U", "V", "W"};
    auto* group = Group(parent, "Direction");
    auto* grid = new QGridLayout(group);
    grid->addWidget(Label(group, "Load :"), 0, 0, 1, 2);
    grid->addWidget(Label(group, "Output :"), 0, 2, 1, 2);
    for (int code = 1; code <= 3; ++code) {
        QRadioButton* loadButton = Radio(group, "", 1035 + code);
        QRadioButton* outputButton = Radio(group, "", 1041 + code);
        load.Add(loadButton, code);
        output.Add(outputButton, code);
        grid->addWidget(loadButton, code, 0);
        grid->addWidget(outputButton, code, 2);
        if (captions) {
            grid->addWidget(Label(group, kLoad[code - 1]), code, 1);
            grid->addWidget(Label(group, kOutput[code - 1]), code, 3);
        }
    }
    return group;
}

QGroupBox* StructureGroup(QWidget* parent, CRadioSet& set, QLineEdit* radius) {
    auto* group = Group(parent, "Structure Model");
    auto* layout = new QVBoxLayout(group);
    QRadioButton* plate = Radio(group, "Plate", 1059);
    QRadioButton* shell = Radio(group, "Shell", 1060);
    set.Add(plate, 1, [radius] {
        if (radius->isEnabled())
            radius->setEnabled(false);
    });
    set.Add(shell, 0, [radius] {
        if (!radius->isEnabled())
            radius->setEnabled(true);
    });
    layout->addWidget(plate);
    layout->addWidget(shell);
    auto* row = new QHBoxLayout;
    row->addWidget(Label(group, "Radius", radius));
    row->addWidget(radius, 1);
    layout->addLayout(row);
    return group;
}

QVBoxLayout* ArrowButtons(QWidget* parent, std::function<void()> add,
                          std::function<void()> remove) {
    auto* column = new QVBoxLayout;
    auto* addButton = WithControlId(new QPushButton(QStringLiteral("----->"), parent), 1025);
    auto* removeButton = WithControlId(new QPushButton(QStringLiteral("<-----"), parent), 1026);
    // Pressing Enter in a field means OK, never an arrow button.
    addButton->setAutoDefault(false);
    removeButton->setAutoDefault(false);
    QObject::connect(addButton, &QPushButton::clicked, parent, [add] { add(); });
    QObject::connect(removeButton, &QPushButton::clicked, parent, [remove] { remove(); });
    column->addStretch(2);
    column->addWidget(addButton);
    column->addStretch(1);
    column->addWidget(removeButton);
    column->addStretch(2);
    return column;
}

QHBoxLayout* OkCancel(QDialog* dialog) {
    auto* row = new QHBoxLayout;
    auto* ok = WithControlId(new QPushButton(QStringLiteral("OK"), dialog), kIdOk);
    auto* cancel = WithControlId(new QPushButton(QStringLiteral("Cancel"), dialog), kIdCancel);
    ok->setDefault(true);
    cancel->setAutoDefault(false);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

QSize DialogUnits(const QWidget* widget, int width, int height) {
    // A dialog unit is a quarter of the average character width and an eighth of its height.
    const QFontMetrics metrics(widget->font());
    const int baseX = qMax(1, metrics.averageCharWidth());
    const int baseY = qMax(1, metrics.height());
    return QSize(width * baseX / 4, height * baseY / 8);
}

}  // namespace FormLayout
