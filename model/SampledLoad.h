#pragma once
// The settings from which the "Sampled load..." form makes a project's "ft.dat": a shape and its
// parameters, or the samples imported from a measurement. Kept with the project (in a file next
// to its project file) so that reopening the project makes the same "ft.dat" again.

#include <string>
#include <vector>

enum class ELoadShape { ToneBurst, Gaussian, RaisedCosineStep, Imported };

struct CSampledLoad {
    ELoadShape m_shape = ELoadShape::ToneBurst;
    double m_dFrequency = 0.2;  // tone burst: centre frequency, MHz
    double m_dCycles = 5;       // tone burst: cycles under the Hann window
    double m_dDelay = 0;        // us: where the burst or the step starts, or the pulse's centre
    double m_dWidth = 1;        // Gaussian pulse: exp(-((t - delay) / width)^2), us
    double m_dRise = 1;         // raised-cosine step: rise time, us
    double m_dInterval = 0;     // sample interval, us; 0 chooses one from the shape
    double m_dEnd = 10;         // step: the last sample (the end of the project's time window)
    std::vector<double> m_importedTimes, m_importedValues;  // us, as read from the file
    std::string m_strImportedFrom;                           // the imported file's name, for showing
    bool m_bDefined = false;  // made by the form or read back with the project (not kept)
};
