#include "window/folder_browse.h"

#include <windows.h>
#include <ole2.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <thread>

#include "common/temp_folder.h"
#include "support/text.h"

namespace {

// Presses a button of the folder dialog from another thread once the dialog is up.
class DialogButtonPress {
 public:
  // selected: the tree item the dialog must show selected before the press ("" for any).
  explicit DialogButtonPress(int button, std::wstring selected = L"")
      : thread_([button, selected] { Press(button, selected); }) {}
  ~DialogButtonPress() { thread_.join(); }
  DialogButtonPress(const DialogButtonPress&) = delete;
  DialogButtonPress& operator=(const DialogButtonPress&) = delete;

 private:
  static HWND FindDialog() {
    HWND found = nullptr;
    EnumThreadWindows(
        mainThread,
        [](HWND window, LPARAM result) {
          wchar_t name[16] = {};
          GetClassNameW(window, name, 16);
          if (IsWindowVisible(window) && std::wstring(name) == L"#32770") *reinterpret_cast<HWND*>(result) = window;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
  }
  // The text of the folder tree's selected item.
  static std::wstring SelectedItem(HWND dialog) {
    HWND tree = nullptr;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM result) {
          wchar_t name[32] = {};
          GetClassNameW(child, name, 32);
          if (std::wstring(name) == WC_TREEVIEWW) *reinterpret_cast<HWND*>(result) = child;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&tree));
    wchar_t text[MAX_PATH] = {};
    TVITEMW item{};
    item.mask = TVIF_TEXT;
    item.hItem = tree ? reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)) : nullptr;
    item.pszText = text;
    item.cchTextMax = MAX_PATH;
    if (item.hItem) SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return text;
  }
  // A dialog that never shows the wanted folder is cancelled, so that the
  // test can open another: Wine's first dialogs in a new prefix sometimes
  // ignore the preselection.
  static void Press(int button, const std::wstring& selected) {
    for (int i = 0; i < 400; ++i) {
      if (HWND dialog = FindDialog()) {
        // The dialog selects its initial folder after it shows; under load that takes a while.
        bool shown = selected.empty();
        for (int wait = 0; wait < 200 && !shown; ++wait) {
          shown = SelectedItem(dialog) == selected;
          if (!shown) Sleep(50);
        }
        Sleep(300);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(shown ? button : IDCANCEL, BN_CLICKED), 0);
        return;
      }
      Sleep(50);
    }
  }
  std::thread thread_;

 public:
  static inline DWORD mainThread = 0;
};

class FolderBrowseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    OleInitialize(nullptr);
    // Wine's first folder dialog in a new prefix may open on the desktop
    // whatever it is asked to select: have that one before the tests.
    DialogButtonPress::mainThread = GetCurrentThreadId();
    DialogButtonPress cancel(IDCANCEL);
    BrowseForFolder("C:\\", nullptr, "", kBrowseNewDialogStyle);
  }
  static void TearDownTestSuite() { OleUninitialize(); }
  void SetUp() override { DialogButtonPress::mainThread = GetCurrentThreadId(); }
  TempFolder folder{"browse here"};
};

TEST_F(FolderBrowseTest, OpensOnTheGivenFolderAndReturnsItOnOk) {
  // Outside the hidden profile folders, which the dialog's tree does not show.
  const std::string game = "C:\\ZEM7 Browse " + std::to_string(GetCurrentProcessId()) + "\\FlatOut";
  MakeFolders(game);
  std::string chosen;
  for (int attempt = 0; attempt < 3 && chosen.empty(); ++attempt) {
    DialogButtonPress ok(IDOK, L"FlatOut");
    chosen = BrowseForFolder(game, nullptr, "Please select the location of the FlatOut Game folder:",
                             kBrowseNewDialogStyle | kBrowseNoNewFolderButton);
  }
  EXPECT_TRUE(EqualsIgnoreCase(chosen, game)) << chosen;
  RemoveDirectoryW(Widen(game).c_str());
  RemoveDirectoryW(Widen(game.substr(0, game.rfind('\\'))).c_str());
}

TEST_F(FolderBrowseTest, CancelGivesAnEmptyResult) {
  std::string chosen = "unchanged";
  {
    DialogButtonPress cancel(IDCANCEL);
    chosen = BrowseForFolder(folder.Path(), nullptr, "", kBrowseNewDialogStyle);
  }
  EXPECT_EQ(chosen, "");
}

}  // namespace
