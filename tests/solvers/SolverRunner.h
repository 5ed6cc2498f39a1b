#pragma once
// Runs lumdex / Kavrit as child processes in a fresh temporary directory and builds their input
// files in exactly the writers' formats.

#include <string>
#include <vector>

namespace solvertest {

// A temporary directory, removed with everything in it at the end of the test.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;
    const std::string& Path() const { return m_strPath; }
    std::string File(const std::string& name) const { return m_strPath + "/" + name; }
    void Write(const std::string& name, const std::string& contents) const;
    bool Exists(const std::string& name) const;
    std::string Read(const std::string& name) const;

private:
    std::string m_strPath;
};

struct CRun {
    int nExit = -1;
    std::string strOut, strErr;
};

// Runs the program with the arguments, in the directory, and waits for it.
CRun RunSolver(const std::string& program, const std::vector<std::string>& args, const std::string& dir);
// "--order P" followed by the arguments: a fixed element order for a run.
std::vector<std::string> AtOrder(int order, const std::vector<std::string>& args);

struct CCurve {
    int nFirst = 0, nCount = 0;
    std::vector<double> t, u;
};
CCurve ReadCurve(const std::string& text);

// A laminate as the composite writer writes it.
struct CPly {
    double dE1, dE2, dG12, dV12, dV23, dAngle, dDensity;
};
struct CLayerLine {
    int nMaterial;
    double dThickness;
    int nSublayers;
};
struct CLaminate {
    std::string strTitle = "COM_project";
    std::vector<CPly> materials;
    std::vector<CLayerLine> layers;
    double dDimConst = 3.113646;
    int bPlate = 1;
    double dRadius = 1;
    int nLoadType = 1;
    double dFrequency = 3.14;
    int nLoadDir = 3, nOutput = 3;
    double dTimeFrom = 0, dTimeTo = 10;
    double dReceiverX = 2;
    std::string Text(bool crlf = false) const;
};

// An isotropic ply with the given modulus, Poisson ratio and density.
CPly Isotropic(double e, double nu, double density);

// The largest magnitude of a curve or a field (its peak, for relative differences).
double MaxAbs(const std::vector<double>& v);

// A Hann-windowed sine of `cycles` cycles at `centre` MHz, 40 samples a period, as the "Sampled
// load..." form makes it: the text of "ft.dat".
std::string HannBurstText(double centre, int cycles);

// A graded plate as the FGM writer writes it.
struct CGradedLine {
    double dVolFraction, dThickness;
};
struct CGraded {
    struct CConstituent { double dE, dDensity, dNu; };
    std::vector<CConstituent> materials;
    std::vector<CGradedLine> layers;
    double dLastFraction = 0;
    int bPlate = 1;
    double dRadius = 1;
    int nLoadType = 1;
    double dFrequency = 3.14;
    int nLoadDir = 3, nOutput = 3;
    double dTimeFrom = 0, dTimeTo = 10;
    double dReceiverX = 2;
    std::string Text() const;
};

// sqrt(sum (a - b)^2 / sum b^2) over b's points.
double RelativeL2(const std::vector<double>& a, const std::vector<double>& b);

// lumdex/Kavrit --dispersion: rows of (kappa, omega_1, ...).
std::vector<std::vector<double>> ReadDispersion(const std::string& out);

}  // namespace solvertest
