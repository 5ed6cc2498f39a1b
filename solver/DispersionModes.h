#pragma once
// Mode shapes of the points of a dispersion table, computed in the program itself rather than by
// a solver run: the stack the table was computed for, its banded matrices assembled once, and
// each point's mode found by shift-and-invert at the point's wavenumber and frequency within the
// part its name stands for (milliseconds for a thousand unknowns: a panel follows a click at once).

#include <memory>
#include <string>

#include "BandedModes.h"
#include "DispersionRun.h"
#include "ModeShape.h"

class CDispersionModes {
public:
    // The table must hold its stack; otherwise nothing can be shown (Ready() false).
    explicit CDispersionModes(const CDispersionTable& table);
    bool Ready() const { return m_banded != nullptr; }

    // The shape of point `index` of mode `mode`: empty on success, else why not.
    std::string ShapeAt(int mode, int index, numerics::CModeShape& out) const;

private:
    const CDispersionTable& m_table;
    std::unique_ptr<numerics::CBandedModes> m_banded;
    bool m_bShearApart = false;
};

// The family of a mode's name: "SH1" -> "SH", "A0" -> "A".
std::string ModeFamily(const std::string& name);
