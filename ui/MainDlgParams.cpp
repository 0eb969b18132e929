// The parameter files of the menu bar and the pages that show what a
// restore read back.
#include "link/Line.h"
#include "ui/MainDlg.h"

void CMainDlg::OnSaveParams() { m_paramFiles->Save(); }

void CMainDlg::OnLoadParams() { m_paramFiles->Load(); }

paramfile::Header CMainDlg::FileHeader() const {
  return paramfile::HeaderNow("KORVELT_Demo", m_openPort, m_openBaud, std::string(ParityName(ParityFromIndex(m_openParity))), m_address);
}

void CMainDlg::ShowParamBlock(size_t block, const paramfile::Words& words) {
  const fields::ParamBlock& spec = paramfile::BlockAt(block);
  const std::vector<uint8_t> record = paramfile::RecordOf(spec, words);
  for (CTabPage* page : m_pages) {
    auto* fieldPage = dynamic_cast<CFieldPage*>(page);
    if (fieldPage != nullptr && fieldPage->ShowParamBlock(spec, record.data())) return;
  }
}
