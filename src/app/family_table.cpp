#include "app/family_table.h"

#include "app/application.h"

namespace zc {

using App = VEZEZERidivorOde;
using Cmd = CCustomCommandLineInfo;

const std::array<FamilyRow, kFamilyCount> kFamilyRows = {{
    {kFamilyQuillo, L"Custom cleaning: Quillo ", &App::m_quilloProductCodes, &App::m_strQuilloFolder,
     &App::m_bQuilloNewerFound, L"UPGRADINGPRODUCTCODE=1", FamilyStep::kPrintCaptureFirst},
    {kFamilyTavloDrivers, L"Custom cleaning: Drivers ", &App::m_tavloDriverProductCodes, &App::m_strTavloDriversFolder,
     &App::m_bTavloDriversNewerFound, L"", FamilyStep::kDeleteDriverKey},
    {kFamilyQuorix, L"Custom cleaning: Quorix/Teviro ", &App::m_quorixProductCodes, &App::m_strQuorixFolder, nullptr,
     L"", FamilyStep::kSpoolerRestartForEachCode},
    {kFamilyVexil, L"Custom cleaning: Vexil", &App::m_vexilProductCodes, nullptr, nullptr, L"", FamilyStep::kNone},
    {kFamilyConvexa, L"Custom cleaning: Convexa", &App::m_convexaProductCodes, &App::m_strConvexaFolder, nullptr, L"",
     FamilyStep::kNone},
    {kFamilyConvexaPE, L"Custom cleaning: Convexa PE", &App::m_convexaPEProductCodes, &App::m_strConvexaPEFolder,
     nullptr, L"", FamilyStep::kNone},
    {kFamilyCommonFiles, L"Custom cleaning: Common Files", &App::m_commonFilesProductCodes, nullptr, nullptr, L"",
     FamilyStep::kNone},
    {kFamilyTavloSoftware, L"Custom cleaning: Tavlo Software ", &App::m_tavloSoftwareProductCodes,
     &App::m_strTavloSoftwareFolder, nullptr, L"", FamilyStep::kPrintCaptureForEachCode},
}};

const FamilyRow* FamilyByLabel(std::wstring_view label) {
  for (const auto& row : kFamilyRows) {
    if (label == row.label()) return &row;
  }
  return nullptr;
}

const std::array<FamilyIndex, 7> kCustomModeFamilies = {kFamilyQuillo,     kFamilyTavloDrivers, kFamilyQuorix,
                                                        kFamilyVexil,      kFamilyConvexa,      kFamilyConvexaPE,
                                                        kFamilyCommonFiles};

const std::array<FamilyIndex, 4> kClosingStageFamilies = {kFamilyQuorix, kFamilyQuillo, kFamilyTavloDrivers,
                                                          kFamilyTavloSoftware};

namespace {

const SilentOption kQuorix{&Cmd::m_bQuorix, "*** List of folders for Quorix/Teviro Software: ", {kFamilyQuorix}};
const SilentOption kQuillo{&Cmd::m_bQuillo, "*** List of folders for Quillo Software: ", {kFamilyQuillo}};
const SilentOption kVexil{&Cmd::m_bVexil, "*** List of folders for Vexil: ", {kFamilyVexil}};
const SilentOption kConvexa{&Cmd::m_bConvexa, "*** List of folders for Convexa: ", {kFamilyConvexa}};
const SilentOption kConvexaPE{&Cmd::m_bConvexaPE, "*** List of folders for Convexa PE: ", {kFamilyConvexaPE}};
// The drivers' heading has no colon; the Tavlo software goes with the drivers.
const SilentOption kTavlo{
    &Cmd::m_bTavlo, "*** List of folders for Tavlo/Product Drivers ", {kFamilyTavloDrivers, kFamilyTavloSoftware}};
const SilentOption kCommonFiles{&Cmd::m_bCommonFiles, "*** List of folders for Common Files: ", {kFamilyCommonFiles}};

}  // namespace

const std::vector<SilentOption> kDryRunOrder = {kQuorix, kQuillo, kVexil, kConvexa, kConvexaPE, kTavlo, kCommonFiles};
const std::vector<SilentOption> kCleanOrder = {kTavlo, kQuorix, kQuillo, kVexil, kConvexa, kConvexaPE, kCommonFiles};

}  // namespace zc
