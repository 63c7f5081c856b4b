// The Windows resource script against the dialog logic: the window system
// of the Windows program shows the templates, every other window system
// shows the logic's layouts, so the two must name the same texts, ids and
// start states. And the artwork in the repository is what its script draws.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sim/sim_user_interface.h"
#include "platform/text.h"
#include "support/temp_dir.h"
#include "ui/dialogs.h"
#include "ui/resource.h"

namespace zc {
namespace {

namespace fs = std::filesystem;

const fs::path kUiFolder = fs::path(ZC_SOURCE_DIR) / "src/ui";

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A token of the resource script: a string literal (quotes removed, ""
// turned into "), a word or number, or one of , and |.
struct Token {
  bool isString;
  std::string text;
};

std::vector<Token> Tokenize(const std::string& script) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < script.size()) {
    const char c = script[i];
    if (c == '/' && i + 1 < script.size() && script[i + 1] == '/') {
      while (i < script.size() && script[i] != '\n') ++i;
    } else if (c == '#') {  // preprocessor lines
      while (i < script.size() && script[i] != '\n') ++i;
    } else if (c == '"') {
      std::string text;
      ++i;
      while (i < script.size()) {
        if (script[i] == '"' && i + 1 < script.size() && script[i + 1] == '"') {
          text += '"';
          i += 2;
        } else if (script[i] == '"') {
          ++i;
          break;
        } else {
          text += script[i++];
        }
      }
      tokens.push_back({true, text});
    } else if (c == ',' || c == '|') {
      tokens.push_back({false, std::string(1, c)});
      ++i;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else {
      std::string word;
      while (i < script.size() && !std::isspace(static_cast<unsigned char>(script[i])) && script[i] != ',' &&
             script[i] != '|' && script[i] != '"') {
        word += script[i++];
      }
      tokens.push_back({false, word});
    }
  }
  return tokens;
}

// The #define values of resource.h, with the two ids of <windows.h>.
std::map<std::string, int> ReadIds() {
  std::map<std::string, int> ids{{"IDOK", 1}, {"IDCANCEL", 2}};
  std::istringstream lines(ReadFile(kUiFolder / "resource.h"));
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string define, name, value;
    if (!(words >> define >> name >> value) || define != "#define") continue;
    std::string digits;
    for (char c : value) {
      if (c != '(' && c != ')') digits += c;
    }
    ids[name] = static_cast<int>(std::stol(digits, nullptr, 0));
  }
  return ids;
}

struct RcControl {
  std::string keyword;
  std::vector<std::string> fields;  // comma-separated, tokens joined by blanks
};

struct RcDialog {
  std::string caption;
  std::vector<RcControl> controls;
};

struct RcScript {
  std::map<int, RcDialog> dialogs;
  std::map<int, std::string> strings;
};

bool IsControlKeyword(const std::string& word) {
  for (const char* keyword : {"LTEXT", "RTEXT", "CTEXT", "PUSHBUTTON", "DEFPUSHBUTTON", "CONTROL", "ICON", "LISTBOX",
                              "EDITTEXT", "GROUPBOX"}) {
    if (word == keyword) return true;
  }
  return false;
}

RcScript ParseScript(const std::map<std::string, int>& ids) {
  const std::vector<Token> tokens = Tokenize(ReadFile(kUiFolder / "zentacleanup.rc"));
  const auto value = [&ids](const std::string& word) {
    const auto found = ids.find(word);
    return found != ids.end() ? found->second : static_cast<int>(std::stol(word, nullptr, 0));
  };
  RcScript script;
  for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
    if (!tokens[i].isString && tokens[i].text == "STRINGTABLE") {
      std::size_t j = i + 2;  // past BEGIN
      while (j + 1 < tokens.size() && tokens[j].text != "END") {
        script.strings[value(tokens[j].text)] = tokens[j + 1].text;
        j += 2;
      }
      continue;
    }
    if (tokens[i + 1].isString || tokens[i + 1].text != "DIALOGEX") continue;
    RcDialog& dialog = script.dialogs[value(tokens[i].text)];
    std::size_t j = i + 2;
    for (; j < tokens.size() && tokens[j].text != "BEGIN"; ++j) {
      if (!tokens[j].isString && tokens[j].text == "CAPTION") dialog.caption = tokens[j + 1].text;
    }
    // A control keyword starts a statement unless it stands where a value
    // is expected (after a comma or a |).
    const Token* previous = nullptr;
    for (++j; j < tokens.size() && !(tokens[j].text == "END" && !tokens[j].isString); ++j) {
      const Token& token = tokens[j];
      const bool afterSeparator =
          previous != nullptr && !previous->isString && (previous->text == "," || previous->text == "|");
      if (!token.isString && IsControlKeyword(token.text) && !afterSeparator) {
        dialog.controls.push_back({token.text, {std::string()}});
      } else if (!dialog.controls.empty()) {
        RcControl& control = dialog.controls.back();
        if (!token.isString && token.text == ",") {
          control.fields.emplace_back();
        } else {
          std::string& field = control.fields.back();
          field += field.empty() ? token.text : " " + token.text;
        }
      }
      previous = &token;
    }
  }
  return script;
}

bool HasStyle(const RcControl& control, const std::string& style) {
  for (const std::string& field : control.fields) {
    std::istringstream words(field);
    std::string word;
    while (words >> word) {
      if (word == style) return true;
    }
  }
  return false;
}

class ResourceScriptTest : public ::testing::Test {
 protected:
  // Compares one template with the layout and start state of its logic.
  void ExpectTemplateMatches(ModalDialog& logic) {
    logic.OnInitDialog();
    const DialogLayout& layout = logic.Layout();
    SCOPED_TRACE("template " + std::to_string(layout.templateId));
    ASSERT_TRUE(script.dialogs.count(layout.templateId));
    const RcDialog& dialog = script.dialogs.at(layout.templateId);
    EXPECT_EQ(Widen(dialog.caption), layout.caption);

    std::vector<std::wstring> texts;
    std::vector<DialogLayout::Button> buttons;
    int listId = 0;
    int defaultButtons = 0;
    for (const RcControl& control : dialog.controls) {
      ASSERT_GE(control.fields.size(), 2u) << control.keyword;
      const int id = ids.count(control.fields[1]) ? ids.at(control.fields[1]) : std::stoi(control.fields[1]);
      if (control.keyword == "LTEXT") texts.push_back(Widen(control.fields[0]));
      if (control.keyword == "PUSHBUTTON" || control.keyword == "DEFPUSHBUTTON") {
        buttons.push_back({id, Widen(control.fields[0])});
        // The template's start state is the logic's: the window shows the
        // right buttons even before the first refresh.
        EXPECT_EQ(HasStyle(control, "WS_DISABLED"), !logic.IsControlEnabled(id)) << control.fields[0];
        EXPECT_TRUE(HasStyle(control, "WS_TABSTOP")) << control.fields[0];
      }
      if (control.keyword == "DEFPUSHBUTTON") {
        ++defaultButtons;
        EXPECT_EQ(id, IDOK);
      }
      if (control.keyword == "CONTROL" && control.fields.size() > 2 && control.fields[2] == "ListBox") {
        listId = id;
        EXPECT_TRUE(HasStyle(control, "LBS_NOTIFY"));
        EXPECT_TRUE(HasStyle(control, "LBS_NOINTEGRALHEIGHT"));
        EXPECT_FALSE(HasStyle(control, "LBS_MULTIPLESEL"));
        // A sorting list must get its entries already in the logic's order.
        if (HasStyle(control, "LBS_SORT")) {
          for (std::size_t k = 1; k < logic.ListItems().size(); ++k) {
            EXPECT_LE(CompareNoCase(logic.ListItems()[k - 1], logic.ListItems()[k]), 0);
          }
        }
      }
    }
    EXPECT_EQ(texts, layout.staticTexts);
    ASSERT_EQ(buttons.size(), layout.buttons.size());
    for (std::size_t k = 0; k < buttons.size(); ++k) {
      EXPECT_EQ(buttons[k].id, layout.buttons[k].id);
      EXPECT_EQ(buttons[k].text, layout.buttons[k].text);
    }
    EXPECT_EQ(listId, layout.listId);
    EXPECT_EQ(defaultButtons, 1);
  }

  std::map<std::string, int> ids = ReadIds();
  RcScript script = ParseScript(ids);
  sim::SimUserInterface ui;
  const void* mainWindow = nullptr;
};

TEST_F(ResourceScriptTest, TemplatesNameTheLogicsTextsIdsAndStartStates) {
  g_listEntries = {L"Vexil", L"Common Files", L"convexa", L"Convexa PE"};
  CZENTACleanupDlg basic(ui, mainWindow, [] {});
  ExpectTemplateMatches(basic);
  CProductVersion custom(ui, mainWindow);
  ExpectTemplateMatches(custom);
  CAboutDlg about(ui, mainWindow);
  ExpectTemplateMatches(about);
  EXPECT_EQ(script.dialogs.size(), 3u);
}

TEST_F(ResourceScriptTest, OnlyTheCustomModeListSorts) {
  const auto listOf = [this](int templateId) {
    for (const RcControl& control : script.dialogs.at(templateId).controls) {
      if (control.keyword == "CONTROL" && control.fields.size() > 2 && control.fields[2] == "ListBox") return control;
    }
    return RcControl{};
  };
  EXPECT_FALSE(HasStyle(listOf(IDD_ZENTACLEANUP_DIALOG), "LBS_SORT"));
  EXPECT_TRUE(HasStyle(listOf(IDD_CUSTOM_MODE), "LBS_SORT"));
}

TEST_F(ResourceScriptTest, AboutMenuItemIsStringResource) {
  CZENTACleanupDlg basic(ui, mainWindow, [] {});
  ASSERT_TRUE(script.strings.count(IDS_ABOUTBOX));
  EXPECT_EQ(Widen(script.strings.at(IDS_ABOUTBOX)), basic.SystemMenuItem());
}

std::uint32_t U32(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}
unsigned U16(const std::string& bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
}

TEST(ArtworkTest, SidePictureIsA160By312TrueColourBitmap) {
  const std::string bmp = ReadFile(kUiFolder / "res/broom.bmp");
  ASSERT_GE(bmp.size(), 54u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(U32(bmp, 2), bmp.size());
  EXPECT_EQ(U32(bmp, 18), 160u);
  EXPECT_EQ(U32(bmp, 22), 312u);  // positive: rows bottom-up
  EXPECT_EQ(U16(bmp, 28), 24u);
  EXPECT_EQ(U32(bmp, 30), 0u);  // no compression
  EXPECT_EQ(U32(bmp, 10) + 160u * 3u * 312u, bmp.size());
}

TEST(ArtworkTest, IconHolds32And16PixelImages) {
  const std::string ico = ReadFile(kUiFolder / "res/zentacleanup.ico");
  ASSERT_GE(ico.size(), 6u + 2u * 16u);
  EXPECT_EQ(U16(ico, 0), 0u);
  EXPECT_EQ(U16(ico, 2), 1u);  // icon, not cursor
  ASSERT_EQ(U16(ico, 4), 2u);
  for (std::size_t entry = 0; entry < 2; ++entry) {
    const std::size_t at = 6 + 16 * entry;
    const unsigned size = static_cast<unsigned char>(ico[at]);
    EXPECT_EQ(size, entry == 0 ? 32u : 16u);
    const std::uint32_t bytes = U32(ico, at + 8);
    const std::uint32_t offset = U32(ico, at + 12);
    ASSERT_LE(offset + bytes, ico.size());
    // 32-bit colour and a 1-bit AND mask with rows padded to 4 bytes.
    EXPECT_EQ(bytes, 40u + size * size * 4u + size * 4u);
    EXPECT_EQ(U32(ico, offset + 8), 2u * size);  // XOR and AND halves
  }
}

TEST(ArtworkTest, ScriptRedrawsTheFilesInTheRepositoryByteForByte) {
  if (std::system("python3 --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "python3 is not installed";
  test::TempDir out;
  const std::string command =
      "python3 '" + (fs::path(ZC_SOURCE_DIR) / "scripts/make-artwork.py").string() + "' '" + out.path().string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (const char* name : {"broom.bmp", "zentacleanup.ico"}) {
    EXPECT_TRUE(ReadFile(out / name) == ReadFile(kUiFolder / "res" / name)) << name << " differs from its script";
  }
}

}  // namespace
}  // namespace zc
