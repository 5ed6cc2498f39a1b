#pragma once
// The record types of a project: materials, composite and FGM layers, curve points.

#include <string>

class CMaterial {
public:
    CMaterial() = default;
    CMaterial(const CMaterial&) = default;
    CMaterial& operator=(const CMaterial&) = default;
    virtual ~CMaterial() = default;

    std::string m_strName = "carbon";
    int m_nNo = 0;
    double m_dE1 = 0;
    double m_dE2 = 0;
    double m_dG12 = 0;
    double m_dV12 = 0;
    double m_dV23 = 0;
    double m_dDensity = 0;
    float m_fAngle = 0;
};

class CLayer {
public:
    CLayer() = default;
    CLayer(const CLayer&) = default;
    CLayer& operator=(const CLayer&) = default;
    virtual ~CLayer() = default;

    std::string m_strLayer;
    std::string m_strMaterial = "carbon";
    int m_nMaterial = 0;
    int m_nSublayers = 0;
    float m_fThickness = 0;
};

class CFGMLayer {
public:
    CFGMLayer() = default;
    CFGMLayer(const CFGMLayer&) = default;
    CFGMLayer& operator=(const CFGMLayer&) = default;
    virtual ~CFGMLayer() = default;

    std::string m_strLayer;
    int m_nMaterial = 0;
    float m_fVolFraction = 0;
    float m_fThickness = 0;
};

class CCurvePoint {
public:
    CCurvePoint() = default;
    CCurvePoint(float x, float y) : m_fX(x), m_fY(y) {}
    CCurvePoint(const CCurvePoint&) = default;
    CCurvePoint& operator=(const CCurvePoint&) = default;
    virtual ~CCurvePoint() = default;

    // Never read before a result file fills it; zero keeps sanitizers quiet.
    float m_fX = 0;
    float m_fY = 0;
};

// Codes shared by the document, the forms, the files and the view.
namespace Codes {
enum LoadType { kStep = 1, kImpulse = 2, kExpIwt = 3, kAnyFt = 4, kSinWt = 5 };
enum Direction { kX = 1, kY = 2, kZ = 3 };
enum Component { kU = 1, kV = 2, kW = 3 };
enum Structure { kShell = 0, kPlate = 1 };
enum RunType { kNoRun = -1, kComposite = 0, kFGM = 1 };
}  // namespace Codes

// "Layer " followed by the 1-based number: the label the forms give every layer.
std::string LayerLabel(int oneBasedNumber);
