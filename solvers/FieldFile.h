#pragma once
// The wave-field file: HDF5, as h5py and MATLAB read it. Datasets /field [nT][nY][nX] (float64,
// x fastest), /x [nX], /y [nY], /t [nT], each with a string attribute "units" (/field also
// "component"); the run's settings as attributes of the root group. Made in memory and written
// atomically like every result file.

#include <string>
#include <vector>

namespace numerics {

struct CFieldFile {
    std::vector<double> field, x, y, t;
    std::string strComponent;         // "U", "V" or "W"
    std::string strSolver;            // "lumdex" or "Kavrit"
    int nLoadType = 1;
    std::string strLoadDirection;     // "X", "Y" or "Z"
    double timeWindow[2] = {0, 0};    // us
    std::vector<int> elementOrders;   // per layer from the top
    double wavenumberGrid[4] = {0, 0, 0, 0};  // nkx, nky, dkx, dky
    double period[2] = {0, 0};        // mm
    double dBandLimit = 0;            // rad/us; 0 when every mode was synthesised
    std::string strSymmetry;          // "none", "mirror" or "axisymmetric"
};

inline constexpr int kFieldFormatVersion = 1;

// Empty on success, else why not (the old file, if any, left as it was).
std::string WriteFieldFile(const std::string& path, const CFieldFile& contents);

}  // namespace numerics
