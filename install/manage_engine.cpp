#include <install/manage_engine.h>

CManageEngine::CManageEngine(IManageView& view, IInstallView& installView,
                             CInstallEngine& installEngine, Action::IActionCallback* owner)
    : m_view(view), m_installView(installView), m_installEngine(installEngine), m_owner(owner) {}

void CManageEngine::OpenManagePage() { m_view.ShowManagePage(m_status, false); }
void CManageEngine::RemoveModel(const std::string&) {}
void CManageEngine::Repair() {}
void CManageEngine::Uninstall() {}
void CManageEngine::ClosePage() { m_view.HideManagePage(); }
