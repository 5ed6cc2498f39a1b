#include "WaveFieldWindow.h"

#include "ToolWindows.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "FileExport.h"
#include "GridReadout.h"
#include "PlotWidget.h"
#include "QtUiServices.h"

namespace {

constexpr int kImageHeight = 720;

}  // namespace

CWaveFieldWindow::CWaveFieldWindow(numerics::CFieldFile field, const QString& title, QWidget* parent)
    : QWidget(parent, Qt::Window), m_field(std::move(field)) {
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    const int frames = int(m_field.t.size());
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("frame"));
    m_slider->setRange(0, std::max(0, frames - 1));
    m_slider->setPageStep(std::max(1, frames / 10));
    m_time = new QLabel(this);
    m_time->setObjectName(QStringLiteral("time"));
    m_time->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("t = -0.0000e-00 us (0000 / 0000)")));
    m_play = new QPushButton(QStringLiteral("Play"), this);
    m_play->setObjectName(QStringLiteral("play"));
    m_scaleChoice = new QComboBox(this);
    m_scaleChoice->setObjectName(QStringLiteral("scale"));
    m_scaleChoice->addItems({QStringLiteral("Colours over all frames"), QStringLiteral("Colours of this frame")});
    m_map = new plot::PlotWidget(this);
    m_map->setObjectName(QStringLiteral("map"));
    m_map->installEventFilter(this);
    m_series = new plot::PlotWidget(this);
    m_series->setObjectName(QStringLiteral("series"));
    m_series->setVisible(false);
    m_hint = new QLabel(QStringLiteral("Click on the map to see the time series of a point."), this);
    m_readout = new QLabel(this);
    m_readout->setObjectName(QStringLiteral("readout"));
    m_readout->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* time = new QHBoxLayout;
    time->addWidget(m_play);
    time->addWidget(m_slider, 1);
    time->addWidget(m_time);
    auto* tools = new QHBoxLayout;
    tools->addWidget(m_scaleChoice);
    tools->addStretch();
    const auto button = [&](const char* text, const char* name, const char* tip, std::function<void()> slot) {
        AddToolButton(this, tools, QString::fromLatin1(text), name, QString::fromLatin1(tip), std::move(slot));
    };
    button("Overview", "overview", "Show the whole field again after zooming", [this] { FitRange(); });
    button("Export image...", "exportImage",
           "Export this frame as a PNG or SVG image of a chosen size, equal millimetres across and up",
           [this] { ExportImage(); });
    button("Export frames...", "exportFrames", "Export every frame as numbered PNG images, for a film",
           [this] { ExportAllFrames(); });
    m_scaleChoice->setToolTip(QStringLiteral("One colour scale for the whole film, or each frame's own"));
    m_slider->setAccessibleName(QStringLiteral("Frame"));
    m_play->setToolTip(QStringLiteral("Play the frames one after another, or pause them"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(m_map, 3);
    layout->addLayout(time);
    layout->addWidget(m_hint);
    layout->addWidget(m_series, 2);
    layout->addWidget(m_readout);

    m_timer.setInterval(kFrameMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, [this] { Advance(); });
    connect(m_play, &QPushButton::clicked, this, [this] { Playing() ? Pause() : Play(); });
    connect(m_slider, &QSlider::valueChanged, this, [this](int v) { SetFrame(v); });
    connect(m_scaleChoice, &QComboBox::currentIndexChanged, this,
            [this](int i) { SetScale(i == 0 ? EWaveFieldScale::AllFrames : EWaveFieldScale::ThisFrame); });
    connect(m_map, &plot::PlotWidget::clicked, this, [this](QPointF p) {
        if (auto point = WaveFieldPointAt(m_field, {p.x(), p.y()})) Pick(point);
    });
    connect(m_series, &plot::PlotWidget::readoutChanged, m_readout, &QLabel::setText);
    ShowFrame(false);
    resize(860, 900);
}

void CWaveFieldWindow::SetFrame(int frame) {
    frame = std::clamp(frame, 0, std::max(0, int(m_field.t.size()) - 1));
    if (m_slider->value() != frame) {
        const QSignalBlocker block(m_slider);
        m_slider->setValue(frame);
    }
    m_frame = frame;
    ShowFrame(true);
}

void CWaveFieldWindow::SetScale(EWaveFieldScale scale) {
    m_scale = scale;
    if (m_scaleChoice->currentIndex() != int(scale)) {
        const QSignalBlocker block(m_scaleChoice);
        m_scaleChoice->setCurrentIndex(int(scale));
    }
    ShowFrame(true);
}

void CWaveFieldWindow::ShowFrame(bool keepRange) {
    plot::PlotContent content = WaveFieldFrameContent(m_field, m_frame, m_scale, m_picked);
    if (keepRange) {
        const plot::Range full = m_map->View().FullRange(), shown = m_map->View().Shown();
        m_map->UpdateContent(std::move(content));
        m_map->View().SetFullRange(full);
        m_map->View().SetShown(shown);
    } else {
        m_map->SetContent(std::move(content));
        FitRange();
    }
    m_map->update();
    if (!m_field.t.empty())
        m_time->setText(QStringLiteral("t = %1 us (%2 / %3)").arg(FrameTimeText(m_field, m_frame)).arg(m_frame + 1).arg(m_field.t.size()));
    if (m_picked) m_series->UpdateContent(WaveFieldSeriesContent(m_field, *m_picked, m_frame));
}

// The whole rectangle with equal millimetres across and up on the map as it is now.
void CWaveFieldWindow::FitRange() {
    const plot::PlotContent& content = m_map->Content();
    if (!content.grid) return;
    const plot::Range fitted = EqualAspect(content.grid->extent, m_map->PlotArea().size());
    m_map->View().SetFullRange(fitted);
    // The margins depend on the labels of the range: once more with the fitted one.
    m_map->View().SetFullRange(EqualAspect(content.grid->extent, m_map->PlotArea().size()));
    m_map->update();
}

void CWaveFieldWindow::Play() {
    if (m_field.t.size() < 2) return;
    if (m_frame >= int(m_field.t.size()) - 1) SetFrame(0);
    m_play->setText(QStringLiteral("Pause"));
    m_timer.start();
}

void CWaveFieldWindow::Pause() {
    m_timer.stop();
    m_play->setText(QStringLiteral("Play"));
}

void CWaveFieldWindow::Advance() {
    SetFrame(m_frame + 1);
    if (m_frame >= int(m_field.t.size()) - 1) Pause();
}

void CWaveFieldWindow::Pick(std::optional<CFieldPoint> point) {
    m_picked = point;
    m_series->setVisible(point.has_value());
    m_hint->setVisible(!point.has_value());
    if (point) {
        m_series->SetContent(WaveFieldSeriesContent(m_field, *point, m_frame));
        m_series->View().SetFullRange(plot::Padded(*plot::DataRange(m_series->Content().series), 0.05));
    }
    ShowFrame(true);
}

QString CWaveFieldWindow::ReadoutText() const { return m_readout->text(); }

bool CWaveFieldWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_map) {
        if (event->type() == QEvent::MouseMove) {
            const auto* e = static_cast<QMouseEvent*>(event);
            const plot::Mapping map{m_map->View().Shown(), m_map->PlotArea()};
            m_readout->setText(map.rect.contains(e->position())
                                   ? plot::GridReadoutText(m_map->Content(), map.ToData(e->position()))
                                   : QString());
        } else if (event->type() == QEvent::Resize) {
            const bool overview = m_map->View().IsOverview();
            const plot::Range shown = m_map->View().Shown();
            QMetaObject::invokeMethod(this, [this, overview, shown] {
                FitRange();
                if (!overview) m_map->View().SetShown(shown);
            }, Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

QSize CWaveFieldWindow::ImageSize(const plot::PlotContent& content, const plot::Range& range, const plot::PlotStyle& style) {
    // The plot rectangle of a trial picture, widened or narrowed to the range's aspect; even
    // sizes, as video encoders want them.
    const QRectF trial = plot::PlotRect(QRectF(0, 0, kImageHeight, kImageHeight), content, range, style);
    const double aspect = range.Height() > 0 ? range.Width() / range.Height() : 1.0;
    const double width = kImageHeight - trial.width() + trial.height() * std::clamp(aspect, 0.25, 4.0);
    const int even = 2 * int(std::lround(width / 2));
    return {std::clamp(even, 320, 4000), kImageHeight};
}

QSize CWaveFieldWindow::FrameImageSize() const { return ImageSize(m_map->Content(), m_map->View().Shown(), m_map->Style()); }

bool CWaveFieldWindow::ExportFrame(const QString& path, QString* error, std::optional<QSize> chosen, bool gridLines) const {
    const plot::PlotContent& content = m_map->Content();
    const plot::Range range = m_map->View().Shown();
    const QSize size = chosen ? *chosen : FrameImageSize();
    plot::PlotStyle style = m_map->Style();
    style.gridLines = gridLines;
    const QRectF area = plot::PlotRect(QRectF(QPointF(0, 0), QSizeF(size)), content, range, style);
    return plot::ExportPlotImage(path, size, content, EqualAspect(range, area.size()), style, error);
}

bool CWaveFieldWindow::ExportFrames(const QString& chosen, QString* error) {
    const int count = int(m_field.t.size());
    const int was = m_frame;
    QProgressDialog progress(QStringLiteral("Writing the frames..."), QStringLiteral("Cancel"), 0, count, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        progress.setValue(i);
        if (progress.wasCanceled()) break;
        SetFrame(i);
        ok = ExportFrame(FrameFileName(chosen, i, count), error);
    }
    progress.setValue(count);
    SetFrame(was);
    return ok;
}

std::optional<std::string> CWaveFieldWindow::ChooseSave(const char* title, const char* extension, const std::string& name) {
    FileDialogRequest request;
    request.save = true;
    request.title = title;
    request.defaultExt = extension;
    request.initialName = name + "." + extension;
    request.filter = std::string("*.") + extension;
    request.startDir = m_strExportDir;
    CQtFileChooser qtChooser(this);
    IFileChooser& chooser = m_pFiles ? *m_pFiles : qtChooser;
    auto path = chooser.ChooseFile(request);
    if (!path || path->empty()) return std::nullopt;
    return path;
}

void CWaveFieldWindow::Tell(const std::string& text) { ShowFormMessage(m_pMessages, this, text.c_str()); }

void CWaveFieldWindow::ExportImage() {
    // As every plot window: the size (the frame's own to begin with) and grid lines, then the file.
    const CExportRequest request{"the frame", "wavefield", m_strExportDir};
    ExportImageThroughChooser(this, m_pModals, m_pFiles, m_pMessages, request, FrameImageSize(),
                              [&](const QString& path, QSize size, bool grid, QString* error) {
                                  return ExportFrame(path, error, size, grid);
                              });
}

void CWaveFieldWindow::ExportAllFrames() {
    Pause();
    const auto path = ChooseSave("Export every frame as numbered PNG images", "png", "wavefield");
    if (!path) return;
    QString error;
    if (!ExportFrames(QString::fromStdString(*path), &error))
        Tell("The frames could not be exported: " + error.toStdString());
}
