// The dialogs' own logic, driven event by event as a window system would.
#include <gtest/gtest.h>

#include "platform/sim/sim_user_interface.h"
#include "ui/dialogs.h"
#include "ui/resource.h"

namespace zc {
namespace {

class DialogsTest : public ::testing::Test {
 protected:
  sim::SimUserInterface ui;
  const void* mainWindow = nullptr;
  int helpShown = 0;
};

TEST_F(DialogsTest, BasicModeListsEntriesInOrderAndStartsWithRemoveAndDryRunDisabled) {
  g_listEntries = {L"All ZENTA Products", L"Zeta", L"alpha"};
  CZENTACleanupDlg dlg(ui, mainWindow, [this] { ++helpShown; });
  dlg.OnInitDialog();
  EXPECT_EQ(dlg.ListItems(), g_listEntries);
  EXPECT_FALSE(dlg.IsControlEnabled(IDOK));
  EXPECT_FALSE(dlg.IsControlEnabled(IDC_DRY_RUN));
  EXPECT_TRUE(dlg.IsControlEnabled(IDC_CUSTOM_MODE));
  EXPECT_EQ(dlg.SystemMenuItem(), L"&About ZENTA Cleanup Tool");

  dlg.OnCommand(IDOK);  // Enter before any selection
  EXPECT_FALSE(dlg.EndCode());

  dlg.OnSelectionChange(IDC_PRODUCT_LIST, 2);
  dlg.OnCommand(IDC_HELP_BUTTON);
  EXPECT_EQ(helpShown, 1);
  EXPECT_FALSE(dlg.EndCode());
  EXPECT_EQ(dlg.ListSelection(), 2);

  dlg.OnCommand(IDC_DRY_RUN);
  ASSERT_TRUE(dlg.EndCode());
  EXPECT_EQ(*dlg.EndCode(), IDC_DRY_RUN);
  EXPECT_EQ(dlg.m_nSelected, 2);
  EXPECT_EQ(dlg.m_strSelected, L"alpha");
}

TEST_F(DialogsTest, CustomModeEndsWithoutSavingAndEvenWithoutSelection) {
  g_listEntries = {L"All ZENTA Products"};
  CZENTACleanupDlg dlg(ui, mainWindow, nullptr);
  dlg.OnInitDialog();
  dlg.OnCommand(IDC_CUSTOM_MODE);
  EXPECT_EQ(dlg.EndCode(), IDC_CUSTOM_MODE);
  EXPECT_EQ(dlg.m_nSelected, 0);
  EXPECT_TRUE(dlg.m_strSelected.empty());
}

TEST_F(DialogsTest, DestroyingADialogClearsTheMainWindow) {
  g_listEntries = {};
  CProductVersion dlg(ui, mainWindow);
  mainWindow = &dlg;
  ui.SetMode(sim::SimUserInterface::Mode::kDefaults);
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(mainWindow, nullptr);
}

TEST_F(DialogsTest, FamilyListIsSortedAndBasicModeKeepsTheOldSelection) {
  g_listEntries = {L"Quillo Software", L"Tavlo/Product Drivers", L"Quorix/Teviro", L"Vexil", L"Convexa",
                   L"Convexa PE",      L"Common Files"};
  CProductVersion dlg(ui, mainWindow);
  dlg.OnInitDialog();
  EXPECT_EQ(dlg.ListItems(), (std::vector<std::wstring>{L"Common Files", L"Convexa", L"Convexa PE", L"Quillo Software",
                                                        L"Quorix/Teviro", L"Tavlo/Product Drivers", L"Vexil"}));
  dlg.OnCommand(IDOK);
  EXPECT_FALSE(dlg.EndCode());
  dlg.OnSelectionChange(IDC_FAMILY_LIST, 4);
  dlg.OnCommand(IDC_BASIC_MODE);
  EXPECT_EQ(dlg.EndCode(), IDC_BASIC_MODE);
  EXPECT_TRUE(dlg.m_strSelected.empty());
}

TEST_F(DialogsTest, CleanProductSavesTheSortedEntry) {
  g_listEntries = {L"Vexil", L"Convexa"};
  CProductVersion dlg(ui, mainWindow);
  dlg.OnInitDialog();
  dlg.OnSelectionChange(IDC_FAMILY_LIST, 1);
  dlg.OnCommand(IDOK);
  EXPECT_EQ(dlg.EndCode(), IDOK);
  EXPECT_EQ(dlg.m_strSelected, L"Vexil");
}

TEST_F(DialogsTest, EmptyListOnlyBasicModeOrCancelEnd) {
  g_listEntries = {};
  CProductVersion dlg(ui, mainWindow);
  dlg.OnInitDialog();
  dlg.OnSelectionChange(IDC_FAMILY_LIST, 0);
  dlg.OnCommand(IDOK);
  EXPECT_FALSE(dlg.EndCode());
  dlg.OnCommand(IDCANCEL);
  EXPECT_EQ(dlg.EndCode(), IDCANCEL);
}

TEST_F(DialogsTest, AboutItemShowsTheAboutBoxAndTheDialogStays) {
  g_listEntries = {L"All ZENTA Products"};
  ui.SetAnswers({"about", "cancel"});
  CZENTACleanupDlg dlg(ui, mainWindow, nullptr);
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  ASSERT_EQ(ui.dialogs().size(), 2u);
  EXPECT_EQ(ui.dialogs()[0].templateId, IDD_ABOUTBOX);
  EXPECT_EQ(ui.dialogs()[1].templateId, IDD_ZENTACLEANUP_DIALOG);
  EXPECT_TRUE(ui.problems().empty());
}

TEST_F(DialogsTest, ScriptedAnswerThatDoesNotFitCancelsAndIsReported) {
  g_listEntries = {L"Vexil"};
  ui.SetAnswers({"remove 0"});
  CProductVersion dlg(ui, mainWindow);
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  ASSERT_EQ(ui.problems().size(), 1u);
}

}  // namespace
}  // namespace zc
