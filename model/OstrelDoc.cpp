#include "OstrelDoc.h"

#include "WorkingDirectory.h"

COstrelDoc::COstrelDoc()
    : m_curve(kInitialCurvePoints),
      m_materials(kInitialMaterials),
      m_layers(kInitialLayers),
      m_fgmLayers(kInitialLayers) {}

COstrelDoc::~COstrelDoc() {
    m_curve.clear();
    m_materials.clear();
    m_layers.clear();
    m_fgmLayers.clear();
}

bool COstrelDoc::OnNewDocument() {
    m_szStartDir = CurrentDirectory();
    return !m_szStartDir.empty();
}

bool COstrelDoc::OnOpenDocument(const std::string& path) {
    // The file itself is never read on this route; only the title comes from it.
    const auto slash = path.find_last_of('/');
    m_strTitle = slash == std::string::npos ? path : path.substr(slash + 1);
    m_szStartDir = CurrentDirectory();
    return !m_szStartDir.empty();
}

void COstrelDoc::ShowMessage(const std::string& text) const {
    if (m_services.messages)
        m_services.messages->ShowMessage(text);
}

void COstrelDoc::UpdateAllViews() const {
    if (m_services.views)
        m_services.views->UpdateAllViews();
}
