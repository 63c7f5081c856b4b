#include "ui/dialogs.h"

#include <algorithm>

#include "platform/text.h"
#include "ui/resource.h"

namespace zc {

namespace {

const DialogLayout kBasicLayout{
    IDD_ZENTACLEANUP_DIALOG,
    L"ZENTA Cleanup Tool",
    {L"Select ZENTA product name, from the list below, that you wish to be cleaned from the system.  Once selected "
     L"click on the \"Remove\" button to start the cleanup process.",
     L"You can select \"All ZENTA Products\" to remove all products in the list with a single click of the \"Remove\" "
     L"button",
     L"ZENTA Products:",
     L"You can also click the \"Dry Run\" button to perform a simple scan on the system for the selected product. The "
     L"content that is suppose to be removed from the system will be listed in a log file for review."},
    IDC_PRODUCT_LIST,
    {{IDOK, L"Remove"},
     {IDCANCEL, L"Cancel"},
     {IDC_HELP_BUTTON, L"Help"},
     {IDC_CUSTOM_MODE, L"Custom Mode"},
     {IDC_DRY_RUN, L"Dry Run"}},
};

const DialogLayout kCustomLayout{
    IDD_CUSTOM_MODE,
    L"ZENTA Cleanup Tool (Custom Mode)",
    {L"Listed below are the products that will be custom cleaned. Attempts will be made to remove all traces of "
     L"software from the system. Select a product that you wish to be cleaned from the system and then click \"Clean "
     L"product\". ",
     L"Select the Product to clean from the System :",
     L"NOTE: This process will attempt to clean all product files, folders, icons, and registry data from the "
     L"system."},
    IDC_FAMILY_LIST,
    {{IDC_BASIC_MODE, L"Basic Mode"}, {IDOK, L"Clean product"}, {IDCANCEL, L"Cancel"}},
};

const DialogLayout kAboutLayout{
    IDD_ABOUTBOX, L"About ZENTA Cleanup Tool", {L"ZENTA Cleanup Tool", L" Version 2.2"}, 0, {{IDOK, L"OK"}},
};

}  // namespace

void CDialogLogic::OnSelectionChange(int listId, int index) {
  if (listId != Layout().listId || index < 0 || index >= static_cast<int>(m_items.size())) return;
  m_selection = index;
}

void CDialogLogic::OnDestroy() { m_mainWindow = nullptr; }

bool CDialogLogic::IsControlEnabled(int id) const {
  return std::find(m_disabled.begin(), m_disabled.end(), id) == m_disabled.end();
}

void CDialogLogic::Enable(int id) {
  m_disabled.erase(std::remove(m_disabled.begin(), m_disabled.end(), id), m_disabled.end());
}

CZENTACleanupDlg::CZENTACleanupDlg(UserInterface& ui, const void*& mainWindow, std::function<void()> showHelp)
    : CDialogLogic(ui, mainWindow), m_showHelp(std::move(showHelp)) {}

const DialogLayout& CZENTACleanupDlg::Layout() const { return kBasicLayout; }

std::wstring CZENTACleanupDlg::SystemMenuItem() const { return L"&About ZENTA Cleanup Tool"; }

void CZENTACleanupDlg::OnInitDialog() {
  m_disabled = {IDOK, IDC_DRY_RUN};
  m_selection = -1;
  m_items = g_listEntries;  // in order: the list does not sort
}

void CZENTACleanupDlg::OnSelectionChange(int listId, int index) {
  CDialogLogic::OnSelectionChange(listId, index);
  if (m_selection >= 0) {
    Enable(IDOK);
    Enable(IDC_DRY_RUN);
  }
}

void CZENTACleanupDlg::SaveData() {
  m_nSelected = m_selection;
  m_strSelected = m_selection >= 0 ? m_items[static_cast<std::size_t>(m_selection)] : std::wstring();
}

void CZENTACleanupDlg::OnCommand(int id) {
  if (!IsControlEnabled(id)) return;  // a disabled button, or Enter on a disabled default
  switch (id) {
    case IDOK:
    case IDC_DRY_RUN:
      SaveData();
      EndDialog(id);
      break;
    case IDC_CUSTOM_MODE: EndDialog(IDC_CUSTOM_MODE); break;
    case IDC_HELP_BUTTON:
      if (m_showHelp) m_showHelp();
      break;
    case IDCANCEL: EndDialog(IDCANCEL); break;
    default: break;
  }
}

void CZENTACleanupDlg::OnSystemCommand(int id) {
  if ((id & 0xFFF0) == IDM_ABOUTBOX) {
    const void* unused = nullptr;
    CAboutDlg about(m_ui, unused);
    about.DoModal();
  }
}

CProductVersion::CProductVersion(UserInterface& ui, const void*& mainWindow) : CDialogLogic(ui, mainWindow) {}

const DialogLayout& CProductVersion::Layout() const { return kCustomLayout; }

void CProductVersion::OnInitDialog() {
  m_disabled = {IDOK};
  m_selection = -1;
  // The list sorts what it is given, case-insensitively.
  m_items = g_listEntries;
  std::stable_sort(m_items.begin(), m_items.end(),
                   [](const std::wstring& a, const std::wstring& b) { return CompareNoCase(a, b) < 0; });
}

void CProductVersion::OnSelectionChange(int listId, int index) {
  CDialogLogic::OnSelectionChange(listId, index);
  if (m_selection >= 0) Enable(IDOK);
}

void CProductVersion::OnCommand(int id) {
  if (!IsControlEnabled(id)) return;
  switch (id) {
    case IDOK:
      m_strSelected = m_selection >= 0 ? m_items[static_cast<std::size_t>(m_selection)] : std::wstring();
      EndDialog(IDOK);
      break;
    case IDC_BASIC_MODE: EndDialog(IDC_BASIC_MODE); break;
    case IDCANCEL: EndDialog(IDCANCEL); break;
    default: break;
  }
}

const DialogLayout& CAboutDlg::Layout() const { return kAboutLayout; }

void CAboutDlg::OnCommand(int id) {
  if (id == IDOK || id == IDCANCEL) EndDialog(id);
}

}  // namespace zc
