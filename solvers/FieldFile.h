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

// Reads a wave-field file of this layout (written here, or by h5py or MATLAB the same way):
// empty on success, else why not, and out untouched. Everything is checked before it is used:
// the datasets' shapes agree and stay within the solvers' bounds, the axes are finite and
// increase, every value of the field is finite, and the strings are short. Root attributes the
// file lacks keep their defaults; one of another type or size is refused.
std::string ReadFieldFile(const std::string& path, CFieldFile& out);

}  // namespace numerics
