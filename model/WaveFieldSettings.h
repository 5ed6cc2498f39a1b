#pragma once
// The settings of a project's wave field: the point source's direction, the rectangle of the
// top surface shown and its grid, the times of the frames and the displacement component. Kept
// with the project (in the settings file beside its project file), so that "Wave field..."
// offers what was run last.

struct CWaveFieldSettings {
    double m_dXFrom = -50, m_dXTo = 50;  // mm
    int m_nXPoints = 101;
    double m_dYFrom = -50, m_dYTo = 50;  // mm
    int m_nYPoints = 101;
    double m_dTimeFrom = 0, m_dTimeTo = 10;  // us, the first and the last frame
    int m_nFrames = 21;
    int m_nComponent = 3;  // 1 U, 2 V, 3 W
    int m_nDirection = 3;  // of the source: 1 X, 2 Y, 3 Z
    bool m_bDefined = false;  // chosen in the form or read back with the project (not kept)
};
