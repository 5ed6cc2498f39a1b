#pragma once
// The wave field of a project in a window of its own: the surface displacement as a colour map
// with a colour bar in mm, the source marked, a time slider and Play; a click on the map shows
// that point's time series below it; the frame shown exports as PNG or SVG, and every frame as
// numbered images for a video.

#include <QTimer>
#include <QWidget>

#include <optional>

#include "FieldFile.h"
#include "UiServices.h"
#include "WaveFieldContent.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class IModalRunner;
namespace plot { class PlotWidget; }

class CWaveFieldWindow : public QWidget {
    Q_OBJECT
public:
    CWaveFieldWindow(numerics::CFieldFile field, const QString& title, QWidget* parent = nullptr);

    // Where exports are offered by default, and how the user is asked and told.
    std::string m_strExportDir;
    IFileChooser* m_pFiles = nullptr;
    IMessageSink* m_pMessages = nullptr;
    IModalRunner* m_pModals = nullptr;  // the image dialog's runner (null: exec)

    static constexpr int kFrameMilliseconds = 100;  // Play's pace: ten frames a second

    void SetFrame(int frame);
    int Frame() const { return m_frame; }
    void SetScale(EWaveFieldScale scale);
    // Play runs from the frame shown (from the first when at the last) and stops at the last.
    void Play();
    void Pause();
    bool Playing() const { return m_timer.isActive(); }
    // The time series of a point below the map; none hides it.
    void Pick(std::optional<CFieldPoint> point);
    const std::optional<CFieldPoint>& Picked() const { return m_picked; }

    // The frame shown as an image by suffix (.png, .svg), with equal millimetres across and up:
    // at the size given (the field centred in it), or else at FrameImageSize().
    bool ExportFrame(const QString& path, QString* error, std::optional<QSize> size = std::nullopt,
                     bool gridLines = false) const;
    // The frame's own picture size: 720 high, as wide as the field's shape needs, even sides.
    QSize FrameImageSize() const;
    // Every frame as "<stem>_0001.png" ... beside the chosen "<stem>.png"; false with the reason
    // (the frames written so far stay).
    bool ExportFrames(const QString& chosen, QString* error);
    static QSize ImageSize(const plot::PlotContent& content, const plot::Range& range, const plot::PlotStyle& style);

    plot::PlotWidget* Map() const { return m_map; }
    plot::PlotWidget* Series() const { return m_series; }
    const numerics::CFieldFile& Field() const { return m_field; }
    QString ReadoutText() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowFrame(bool keepRange);
    void FitRange();
    void Advance();
    void ExportImage();
    void ExportAllFrames();
    std::optional<std::string> ChooseSave(const char* title, const char* extension, const std::string& name);
    void Tell(const std::string& text);

    numerics::CFieldFile m_field;
    int m_frame = 0;
    EWaveFieldScale m_scale = EWaveFieldScale::AllFrames;
    std::optional<CFieldPoint> m_picked;
    QTimer m_timer;
    QSlider* m_slider = nullptr;
    QLabel* m_time = nullptr;
    QPushButton* m_play = nullptr;
    QComboBox* m_scaleChoice = nullptr;
    plot::PlotWidget* m_map = nullptr;
    plot::PlotWidget* m_series = nullptr;
    QLabel* m_hint = nullptr;
    QLabel* m_readout = nullptr;
};
