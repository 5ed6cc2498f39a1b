#include "StudyWindow.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "GridReadout.h"
#include "ImageExportDialog.h"
#include "ModalRunner.h"
#include "PlotWidget.h"
#include "StudyPlotData.h"

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

CStudyWindow::CStudyWindow(StudyManifest manifest, StudyResults results, QWidget* parent)
    : QWidget(parent, Qt::Window), m_manifest(std::move(manifest)), m_results(std::move(results)) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_bscan = ShowsAsBScan(m_manifest);
    setWindowTitle(tr("Study %1 - %2").arg(Q(m_manifest.name), Q(m_manifest.title)));

    m_chooser = new QComboBox(this);
    const auto rows = ReceiverRows(m_manifest);
    if (m_bscan) {
        m_rows = static_cast<int>(rows.size());
        for (int c = 0; c < static_cast<int>(m_manifest.cases.size()); ++c)
            for (const auto& row : rows)
                m_chooser->addItem(Q(CaseLabel(m_manifest, c)) +
                                   (m_rows > 1 ? tr(", y = %1 mm").arg(m_manifest.receiversY[row.front()]) : QString()));
    } else if (m_manifest.pointSource) {
        for (int i = 0; i < static_cast<int>(m_manifest.receivers.size()); ++i)
            m_chooser->addItem(Q(ReceiverName(m_manifest, i)));
    } else {
        for (double x : m_manifest.receivers)
            m_chooser->addItem(tr("x = %1 mm").arg(x));
    }
    auto* csv = new QPushButton(tr("Export CSV..."), this);
    auto* png = new QPushButton(tr("Export image..."), this);
    auto* overview = new QPushButton(tr("Overview"), this);
    csv->setObjectName(QStringLiteral("exportCsv"));
    png->setObjectName(QStringLiteral("exportImage"));
    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(m_bscan ? tr("Case:") : tr("Receiving point:"), this));
    bar->addWidget(m_chooser, 1);
    bar->addWidget(overview);
    bar->addWidget(csv);
    bar->addWidget(png);

    m_plot = new plot::PlotWidget(this);
    m_plot->installEventFilter(this);
    m_readout = new QLabel(this);
    m_readout->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* missing = new QLabel(this);
    if (m_results.missing > 0)
        missing->setText(tr("%1 of %2 results are not there yet (\"pemblar-study resume\" runs them).")
                             .arg(m_results.missing)
                             .arg(m_results.missing + m_results.complete));
    missing->setVisible(m_results.missing > 0);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(missing);
    layout->addWidget(m_plot, 1);
    layout->addWidget(m_readout);
    if (m_manifest.waveField) {
        m_fields = new QListWidget(this);
        for (int c = 0; c < static_cast<int>(m_manifest.cases.size()); ++c) {
            const std::string& path = m_results.fields[static_cast<std::size_t>(c)];
            m_fields->addItem(Q(CaseLabel(m_manifest, c)) + QStringLiteral(": ") +
                              (path.empty() ? tr("not there yet") : Q(path)));
        }
        m_fields->setMaximumHeight(m_fields->sizeHintForRow(0) * std::min(6, m_fields->count()) + 6);
        auto* open = new QPushButton(tr("Open wave field"), this);
        auto* fieldBar = new QHBoxLayout;
        fieldBar->addWidget(new QLabel(tr("Wave fields:"), this));
        fieldBar->addStretch(1);
        fieldBar->addWidget(open);
        layout->addLayout(fieldBar);
        layout->addWidget(m_fields);
        connect(open, &QPushButton::clicked, this, [this] { OpenField(m_fields->currentRow()); });
        connect(m_fields, &QListWidget::itemActivated, this, [this] { OpenField(m_fields->currentRow()); });
        if (m_fields->count() > 0)
            m_fields->setCurrentRow(0);
    }

    connect(m_chooser, qOverload<int>(&QComboBox::currentIndexChanged), this, &CStudyWindow::ShowChoice);
    connect(csv, &QPushButton::clicked, this, &CStudyWindow::OnExportCsv);
    connect(png, &QPushButton::clicked, this, &CStudyWindow::OnExportImage);
    connect(overview, &QPushButton::clicked, m_plot, &plot::PlotWidget::Overview);
    connect(m_plot, &plot::PlotWidget::readoutChanged, this, [this](const QString& text) {
        // Over a B-scan the cell's value says more than the nearest curve point (there is none).
        if (!m_bscan)
            SetReadout(text);
    });
    resize(820, 600);
    ShowChoice(0);
}

void CStudyWindow::ShowChoice(int index) {
    const int count = m_bscan ? static_cast<int>(m_manifest.cases.size()) * m_rows
                              : static_cast<int>(m_manifest.receivers.size());
    if (index < 0 || index >= count)
        return;
    m_choice = index;
    m_plot->SetContent(m_bscan ? BScanContent(m_manifest, m_results, index / m_rows, index % m_rows)
                               : FamilyContent(m_manifest, m_results, index));
}

bool CStudyWindow::OpenField(int caseIndex) {
    if (!m_manifest.waveField || caseIndex < 0 || caseIndex >= static_cast<int>(m_results.fields.size()))
        return false;
    const std::string& path = m_results.fields[static_cast<std::size_t>(caseIndex)];
    if (path.empty())
        return false;
    if (m_openField)
        m_openField(path, "Wave field - " + m_manifest.title + ", " + CaseLabel(m_manifest, caseIndex));
    return true;
}

bool CStudyWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_plot && m_bscan) {
        if (event->type() == QEvent::MouseMove) {
            const auto* e = static_cast<QMouseEvent*>(event);
            const plot::Mapping map{m_plot->View().Shown(), m_plot->PlotArea()};
            SetReadout(map.rect.contains(e->position())
                           ? plot::GridReadoutText(m_plot->Content(), map.ToData(e->position()))
                           : QString());
        } else if (event->type() == QEvent::Leave) {
            SetReadout(QString());
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CStudyWindow::SetReadout(const QString& text) {
    m_readoutText = text;
    m_readout->setText(text);
}

bool CStudyWindow::ExportCsv(const QString& path, QString* error) const {
    const std::string text = m_bscan ? ContentCsv(m_plot->Content(), m_manifest, m_results, m_choice / m_rows, true,
                                                  m_choice % m_rows)
                                     : ContentCsv(m_plot->Content(), m_manifest, m_results, m_choice, false);
    return plot::SaveFileAtomically(path, QByteArray::fromStdString(text), error);
}

bool CStudyWindow::ExportImage(const QString& path, QSize size, bool gridLines, QString* error) const {
    return m_plot->ExportImage(path, size, error, gridLines);
}

QString CStudyWindow::AskSavePath(const QString& title, const QString& suffix, const QString& filter) {
    QFileDialog dialog(this, title, Q(m_manifest.studyDir + "/" + m_manifest.name) + suffix, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (RunModal(m_pModals, dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

void CStudyWindow::Warn(const QString& text) {
    QMessageBox box(QMessageBox::Warning, tr("Pemblar"), text, QMessageBox::Ok, this);
    RunModal(m_pModals, box);
}

void CStudyWindow::OnExportCsv() {
    const QString path = AskSavePath(tr("Export CSV"), QStringLiteral(".csv"), tr("CSV files (*.csv)"));
    QString error;
    if (!path.isEmpty() && !ExportCsv(path, &error))
        Warn(error);
}

void CStudyWindow::OnExportImage() {
    plot::ImageExportDialog options(m_plot->size().expandedTo(QSize(640, 400)), this);
    if (RunModal(m_pModals, options) != QDialog::Accepted)
        return;
    const QString path = AskSavePath(tr("Export image"), QStringLiteral(".png"), QString::fromLatin1(plot::kImageFilter));
    QString error;
    if (!path.isEmpty() && !ExportImage(path, options.ChosenSize(), options.GridLines(), &error))
        Warn(error);
}
