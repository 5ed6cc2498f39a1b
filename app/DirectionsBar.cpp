#include "DirectionsBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <memory>
#include <numbers>

#include <cmath>

CDirectionsBar::CDirectionsBar(const CDispersionTable& table, bool perThickness, QWidget* parent)
    : QWidget(parent), m_table(table), m_bPerThickness(perThickness) {
    m_at = new QLineEdit(this);
    m_at->setObjectName(QStringLiteral("directionsAt"));
    m_at->setMaximumWidth(90);
    m_count = new QSpinBox(this);
    m_count->setObjectName(QStringLiteral("directionsCount"));
    m_count->setRange(4, 3600);
    m_count->setValue(360);
    m_start = new QPushButton(QStringLiteral("Show directions"), this);
    m_start->setObjectName(QStringLiteral("showDirections"));
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("directionsState"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(perThickness ? QStringLiteral("&Directions at f h =") : QStringLiteral("&Directions at f ="), this);
    label->setBuddy(m_at);
    m_at->setToolTip(perThickness ? QStringLiteral("The frequency-thickness at which every mode is followed round")
                                  : QStringLiteral("The frequency at which every mode is followed round"));
    // The range of the curves, as a hint of what to give.
    double highest = 0;
    for (const CDispersionMode& m : m_table.modes)
        for (double f : m.frequency)
            if (std::isfinite(f)) highest = std::max(highest, f * (perThickness ? m_table.dThickness : 1.0));
    if (highest > 0) m_at->setPlaceholderText(QStringLiteral("0 to %1").arg(highest, 0, 'g', 4));
    m_count->setToolTip(QStringLiteral("How many directions, evenly over the full turn"));
    m_start->setToolTip(QStringLiteral("Compute the directions and show them in a window of their own (Enter in the "
                                       "field does the same)"));
    row->addWidget(label);
    row->addWidget(m_at);
    row->addWidget(new QLabel(perThickness ? QStringLiteral("MHz mm,") : QStringLiteral("MHz,"), this));
    row->addWidget(m_count);
    row->addWidget(new QLabel(QStringLiteral("directions"), this));
    row->addWidget(m_start);
    row->addWidget(m_state);
    row->addStretch();
    connect(m_start, &QPushButton::clicked, this, &CDirectionsBar::Start);
    connect(m_at, &QLineEdit::returnPressed, this, &CDirectionsBar::Start);
    // Directions belong to a plate, of a stack the window knows.
    const bool plate = m_table.stack && !m_table.stack->model.bShell;
    setEnabled(plate);
    if (!plate) m_state->setText(QStringLiteral("(plates only)"));
}

CDirectionsBar::~CDirectionsBar() {
    if (m_worker.joinable()) m_worker.join();
}

void CDirectionsBar::Start() {
    if (Busy()) return;
    bool ok = false;
    const QString at = m_at->text().trimmed();
    const double value = at.toDouble(&ok);
    if (!ok || !(value > 0) || !std::isfinite(value)) {
        if (tell) tell(std::string("Give the ") + (m_bPerThickness ? "frequency-thickness (MHz mm)" : "frequency (MHz)") +
                       " of the directions as a number above zero.");
        return;
    }
    numerics::CDirectionalRequest request;
    request.dOmega = 2 * std::numbers::pi * value / (m_bPerThickness ? m_table.dThickness : 1.0);
    request.nDirections = m_count->value();
    request.bEveryMode = true;  // the whole picture at that frequency, whatever the lines asked for
    request.nThreads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    m_start->setEnabled(false);
    m_state->setText(QStringLiteral("computing..."));
    const QString where = (m_bPerThickness ? QStringLiteral("f h = %1 MHz mm") : QStringLiteral("f = %1 MHz")).arg(at);
    m_worker = std::thread([this, stack = m_table.stack, request, where] {
        auto curves = std::make_shared<numerics::CDirectionalCurves>(numerics::TraceDirections(stack->model, request));
        // Delivered on the window's thread; dropped with the bar if it is gone by then.
        QMetaObject::invokeMethod(this, [this, curves, where] { Finished(*curves, where); }, Qt::QueuedConnection);
    });
}

void CDirectionsBar::Finished(const numerics::CDirectionalCurves& curves, const QString& at) {
    if (m_worker.joinable()) m_worker.join();
    m_start->setEnabled(true);
    m_state->clear();
    if (!curves.error.empty()) {
        if (tell) tell("The directions could not be computed: " + curves.error + ".");
        return;
    }
    const QString title = window()->windowTitle() + QStringLiteral(" - directions at ") + at;
    m_last = new CDirectionsWindow(curves, title, window());
    if (opened)
        opened(m_last);
    else
        m_last->show();
}
