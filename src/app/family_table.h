// The product families as the run handles them: one row per family with
// everything its steps need (the log line of its custom clean, its
// product-code list and install folder in the application object's record,
// its extra steps), and the silent command-line options with the families
// each cleans. The silent flows, the custom clean, the custom-mode list and
// the removal run read these tables instead of comparing labels.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "catalogue/families.h"

namespace zc {

class VEZEZERidivorOde;

// What a family's custom clean does besides uninstalling its codes.
enum class FamilyStep {
  kNone,
  kDeleteDriverKey,            // delete the vendor's driver key first (removal only)
  kPrintCaptureFirst,          // remove the print-capture driver first; refused while a newer Quorix is installed
  kPrintCaptureForEachCode,    // before each registered code: the print-capture driver (listing too)
  kSpoolerRestartForEachCode,  // before each registered code's uninstall: restart the spooler
};

struct FamilyRow {
  FamilyIndex family;
  const wchar_t* cleaningLine;  // "Custom cleaning: ..." after the timestamp
  std::vector<std::wstring> VEZEZERidivorOde::*codes;
  std::wstring VEZEZERidivorOde::*folder;     // null: no folder stage
  bool VEZEZERidivorOde::*folderUnlessNewer;  // the folder stage is skipped while this flag is set
  const wchar_t* extraProperties;             // for each uninstall command
  FamilyStep step;

  const wchar_t* label() const { return kProductFamilies[family].label; }
};

// In the order of FamilyIndex.
extern const std::array<FamilyRow, kFamilyCount> kFamilyRows;

// The row whose label is exactly `label`; null for none.
const FamilyRow* FamilyByLabel(std::wstring_view label);

// The families the custom-mode dialog may offer, in the order tested.
extern const std::array<FamilyIndex, 7> kCustomModeFamilies;

// The families the all-products removal cleans as its closing stage.
extern const std::array<FamilyIndex, 4> kClosingStageFamilies;

// A silent family option: its command-line flag, the heading of its dry
// run, and the families it cleans, in order.
struct SilentOption {
  bool CCustomCommandLineInfo::*flag;
  const char* dryRunHeading;
  std::vector<FamilyIndex> families;
};

// The options in the order the silent dry run takes them, and in the
// order the silent clean takes them (which differs).
extern const std::vector<SilentOption> kDryRunOrder;
extern const std::vector<SilentOption> kCleanOrder;

}  // namespace zc
