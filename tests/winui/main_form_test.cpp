// The native window, driven through its controls' messages. The organizer
// scenarios run against the simulated organizer on the COM port that
// TAVO_TEST_COM names (scripts/windows-test.sh maps one); without it they are
// skipped.
#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "memofs/directory_table.h"
#include "window_driver.h"
#include "winui/accessibility.h"
#include "winui/dialogs.h"
#include "winui/metrics.h"

namespace tavo::winui::testing {
namespace {

namespace fs = std::filesystem;

std::wstring Wide(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

std::string AllBytes(std::size_t n) {
  std::string bytes(n, '\0');
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * 41 + i / 256) & 0xff);
  return bytes;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

RECT ClientRectOf(HWND control) {
  RECT rect{};
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::wstring MenuText(HMENU menu, int position) {
  wchar_t text[128] = {};
  ::GetMenuStringW(menu, static_cast<UINT>(position), text, 128, MF_BYPOSITION);
  return text;
}

std::string OrganizerCom() { return Env("TAVO_TEST_COM"); }

// A directory name that no earlier run left on the organizer.
std::string FreshName(const char* stem) {
  return stem +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000);
}

TEST(WinMainForm, ShowsTheDesignInPixelsAtTheScreensDpi) {
  Rig rig("COM200");
  const unsigned dpi = WindowDpi(rig.form.Handle());
  EXPECT_EQ(WindowText(rig.form.Handle()), L"Tavo (Client)");
  // The outer size of a first start, and the layout of that size.
  RECT outer{};
  ::GetWindowRect(rig.form.Handle(), &outer);
  EXPECT_EQ(outer.right - outer.left, TwipsToPx(9375, dpi));
  EXPECT_EQ(outer.bottom - outer.top, TwipsToPx(7425, dpi));
  const ui::WindowLayout& l = rig.form.CurrentLayout();
  const RECT sync = ClientRectOf(rig.Control(kSynchronize));
  EXPECT_EQ(sync.left, TwipsToPx(120, dpi));
  EXPECT_EQ(sync.top, TwipsToPx(l.synchronize.top, dpi));
  EXPECT_EQ(sync.right - sync.left, TwipsToPx(l.frame2.width, dpi));
  const RECT copy2 = ClientRectOf(rig.Control(kCopy2));
  EXPECT_EQ(copy2.left, TwipsToPx(l.frame3.left, dpi));
  const RECT list2 = ClientRectOf(rig.Control(kListView2));
  EXPECT_EQ(list2.left, TwipsToPx(l.frame3.left + 120, dpi));
  EXPECT_EQ(list2.top, TwipsToPx(120 + 600, dpi));

  const std::pair<int, const wchar_t*> captions[] = {
      {kFrame2, L"Sharp Organizer:"}, {kFrame3, L"Computer:"}, {kCreateDir, L"Create Dir"},
      {kDelete, L"Delete"},           {kCopy1, L"Copy >>>"},   {kCopy2, L"<<< Copy"},
      {kSynchronize, L"Synchronize"}};
  for (const auto& [id, caption] : captions) EXPECT_EQ(WindowText(rig.Control(id)), caption);
  for (int list : {kListView1, kListView2}) {
    HWND header = reinterpret_cast<HWND>(::SendMessageW(rig.Control(list), LVM_GETHEADER, 0, 0));
    wchar_t text[64] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT | HDI_FORMAT;
    item.pszText = text;
    item.cchTextMax = 64;
    ::SendMessageW(header, HDM_GETITEMW, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(text, L"Size (bytes):");
    EXPECT_NE(item.fmt & HDF_RIGHT, 0);
    const auto style = ::GetWindowLongPtrW(rig.Control(list), GWL_STYLE);
    EXPECT_EQ(style & LVS_SINGLESEL, 0) << "several rows can be selected";
    EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
  }
  EXPECT_EQ(rig.Rows(kListView1), std::vector<std::wstring>{L"unsynchronized ..."});
  EXPECT_FALSE(::IsWindowEnabled(rig.Control(kListView1)));
  for (int id : {kCreateDir, kDelete, kCopy1, kCopy2})
    EXPECT_FALSE(::IsWindowEnabled(rig.Control(id)));

  // Drive1 offers the system's drives, the current one selected.
  const DWORD mask = ::GetLogicalDrives();
  EXPECT_EQ(::SendMessageW(rig.Control(kDrive1), CB_GETCOUNT, 0, 0),
            std::popcount(static_cast<unsigned>(mask)));
  EXPECT_EQ(rig.form.SelectedDriveText().size(), 2u);
  EXPECT_EQ(rig.form.SelectedDriveText()[1], ':');

  HMENU bar = ::GetMenu(rig.form.Handle());
  // The lists have no caption of their own. (Drive1's name is an annotation,
  // which Wine's accessibility does not read back.)
  EXPECT_EQ(ScreenReaderName(rig.Control(kListView1)), L"Sharp Organizer:");
  EXPECT_EQ(ScreenReaderName(rig.Control(kListView2)), L"Computer:");

  EXPECT_EQ(MenuText(bar, 0), L"&File");
  EXPECT_EQ(MenuText(bar, 1), L"&Options");
  EXPECT_EQ(MenuText(bar, 2), L"&Help");
  HMENU options = ::GetSubMenu(bar, 1);
  EXPECT_EQ(MenuText(options, 0), L"&Main Options");
  EXPECT_EQ(::GetMenuState(options, 2, MF_BYPOSITION) & MF_SEPARATOR, MF_SEPARATOR);
  EXPECT_EQ(MenuText(options, 3), L"&Check Update through Internet");
  HMENU help = ::GetSubMenu(bar, 2);
  const wchar_t* help_items[] = {
      L"&About Program", L"",         L"&License", L"&Read Me",
      L"L&imitations",   L"&History", L"",         L"&Online Documentation"};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(MenuText(help, i), help_items[i]) << i;
  EXPECT_EQ(::GetMenuState(help, 6, MF_BYPOSITION) & MF_SEPARATOR, MF_SEPARATOR);
}

TEST(WinMainForm, MovedToAScreenAt150PercentItLaysItselfOutAgainThere) {
  Rig rig("COM200");
  const unsigned dpi = WindowDpi(rig.form.Handle());
  const unsigned scaled = dpi * 3 / 2;
  RECT outer{};
  ::GetWindowRect(rig.form.Handle(), &outer);
  RECT suggested{outer.left, outer.top, outer.left + TwipsToPx(9375, scaled),
                 outer.top + TwipsToPx(7425, scaled)};
  ::SendMessageW(rig.form.Handle(), WM_DPICHANGED, MAKEWPARAM(scaled, scaled),
                 reinterpret_cast<LPARAM>(&suggested));
  rig.Pump();
  const RECT sync = ClientRectOf(rig.Control(kSynchronize));
  EXPECT_EQ(sync.left, TwipsToPx(120, scaled));
  EXPECT_EQ(sync.top, TwipsToPx(rig.form.CurrentLayout().synchronize.top, scaled));
  EXPECT_NEAR(rig.form.OuterWidth(), 9375, 15);
}

TEST(WinMainForm, TabGoesThroughTheEnabledControlsInOrder) {
  Rig rig("COM200");
  HWND main = rig.form.Handle();
  EXPECT_EQ(::GetFocus(), rig.Control(kSynchronize));
  // Unsynchronized: the organizer pane and its buttons are passed over.
  HWND at = rig.Control(kSynchronize);
  std::vector<HWND> order;
  for (int i = 0; i < 3; ++i) order.push_back(at = ::GetNextDlgTabItem(main, at, FALSE));
  EXPECT_EQ(order, (std::vector<HWND>{rig.Control(kDrive1), rig.Control(kListView2),
                                      rig.Control(kSynchronize)}));
  // And the keyboard's Tab goes there too.
  rig.Key(kSynchronize, VK_TAB);
  EXPECT_EQ(::GetFocus(), rig.Control(kDrive1));
}

TEST(WinMainForm, APortThatWillNotOpenSaysWhyAndLeavesTheWindowUsable) {
  Rig rig("COM200");
  EXPECT_TRUE(rig.Click(kSynchronize));
  ASSERT_EQ(rig.script.boxes.size(), 1u);
  const Box& box = rig.script.boxes[0];
  EXPECT_EQ(box.text.rfind(L"Error: Can't open serial port!", 0), 0u) << box.text.c_str();
  EXPECT_NE(box.text.find(L"COM200"), std::wstring::npos) << box.text.c_str();
  EXPECT_EQ(box.title, L"Tavo");
  EXPECT_EQ(box.type, static_cast<UINT>(MB_OK));
  EXPECT_EQ(rig.Rows(kListView1), std::vector<std::wstring>{L"unsynchronized ..."});
  EXPECT_TRUE(rig.Settled());
  EXPECT_EQ(::GetFocus(), rig.Control(kSynchronize)) << "the focus comes back";
}

TEST(WinMainForm, OptionDialogsStoreOnOkOrEnterAndForgetOnEscape) {
  Rig rig("COM200");
  HWND before = nullptr;
  rig.script.on_dialog["OptionsMain"] = [&](HWND dialog) {
    before = dialog;
    EXPECT_EQ(WindowText(dialog), L"Main Options");
    EXPECT_EQ(::SendDlgItemMessageW(dialog, kOptionsCombo1, CB_GETCURSEL, 0, 0), 1);  // COM2
    EXPECT_EQ(::SendDlgItemMessageW(dialog, kOptionsCombo2, CB_GETCURSEL, 0, 0), 3);  // 38400
    ::SendDlgItemMessageW(dialog, kOptionsCombo1, CB_SETCURSEL, 2, 0);
    ::SendDlgItemMessageW(dialog, kOptionsCombo2, CB_SETCURSEL, 0, 0);
    ::PostMessageW(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  };
  rig.Menu(kOptionsMain);
  ASSERT_NE(before, nullptr);
  EXPECT_EQ(rig.ConfigLine(10), " 3");
  EXPECT_EQ(rig.ConfigLine(11), " 1");

  // Escape: the dialog ends and nothing is stored.
  rig.script.on_dialog["OptionsMain"] = [&](HWND dialog) {
    ::SendDlgItemMessageW(dialog, kOptionsCombo1, CB_SETCURSEL, 0, 0);
    ::PostMessageW(::GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
  };
  rig.Menu(kOptionsMain);
  EXPECT_EQ(rig.ConfigLine(10), " 3");
  EXPECT_EQ(rig.state.ConfigValues.ConfigValues[settings::PortNumber], " 3");

  // Enter confirms: the first check box, toggled by its access key, is stored.
  rig.script.on_dialog["OptionsWindow"] = [&](HWND dialog) {
    EXPECT_EQ(WindowText(dialog), L"Window Options");
    EXPECT_EQ(::SendDlgItemMessageW(dialog, kOptionsCheck1, BM_GETCHECK, 0, 0), BST_CHECKED);
    ::PostMessageW(::GetFocus(), WM_CHAR, 's', 1);
    ::PostMessageW(::GetFocus(), WM_KEYDOWN, VK_RETURN, 1);
  };
  rig.Menu(kOptionsWindow);
  EXPECT_EQ(rig.ConfigLine(2), "0");
  EXPECT_EQ(rig.ConfigLine(3), "0");
  EXPECT_EQ(rig.script.opened, (Strings{"OptionsMain", "OptionsMain", "OptionsWindow"}));
  EXPECT_TRUE(::IsWindowEnabled(rig.form.Handle()));
}

TEST(WinMainForm, HelpOpensItsDocumentsAndExitSavesTheGeometry) {
  Rig rig("COM200");
  rig.Menu(kLicense);
  rig.Menu(kCheckUp);
  ASSERT_EQ(rig.script.documents.size(), 2u);
  EXPECT_NE(rig.script.documents[0].find(L"tavo_client.license.html"), std::wstring::npos);
  EXPECT_NE(rig.script.documents[1].find(L"tavo_client_version.html"), std::wstring::npos);

  rig.script.on_dialog["About"] = [](HWND about) {
    ::PostMessageW(about, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  };
  rig.Menu(kHelpAbout);
  EXPECT_EQ(rig.script.opened, Strings{"About"});

  const unsigned dpi = WindowDpi(rig.form.Handle());
  ::SetWindowPos(rig.form.Handle(), nullptr, TwipsToPx(1500, dpi), TwipsToPx(900, dpi),
                 TwipsToPx(10500, dpi), TwipsToPx(8100, dpi), SWP_NOZORDER);
  rig.Menu(kFileExit);
  EXPECT_TRUE(rig.script.ended);
  EXPECT_EQ(rig.ConfigLine(0), " 1500");
  EXPECT_EQ(rig.ConfigLine(1), " 900");
  EXPECT_EQ(rig.ConfigLine(4), " 10500");
  EXPECT_EQ(rig.ConfigLine(5), " 8100");
}

TEST(WinMainForm, StartsWhereItWasLeftButNeverBelowTheMinimum) {
  Strings config = Rig::DefaultConfig();
  config[0] = " 1500";
  config[1] = " 900";
  config[4] = " 10500";
  config[5] = " 8100";
  Rig rig("COM200", config);
  const unsigned dpi = WindowDpi(rig.form.Handle());
  RECT outer{};
  ::GetWindowRect(rig.form.Handle(), &outer);
  EXPECT_EQ(outer.left, TwipsToPx(1500, dpi));
  EXPECT_EQ(outer.top, TwipsToPx(900, dpi));
  EXPECT_EQ(outer.right - outer.left, TwipsToPx(10500, dpi));
  EXPECT_EQ(outer.bottom - outer.top, TwipsToPx(8100, dpi));

  config[4] = "100";
  config[5] = "100";
  Rig small("COM200", config);
  ::GetWindowRect(small.form.Handle(), &outer);
  EXPECT_EQ(outer.right - outer.left, TwipsToPx(6400, dpi));
  EXPECT_EQ(outer.bottom - outer.top, TwipsToPx(5400, dpi));
  // Made narrower by the program, it springs back.
  ::SetWindowPos(small.form.Handle(), nullptr, 0, 0, TwipsToPx(3000, dpi), TwipsToPx(3000, dpi),
                 SWP_NOMOVE | SWP_NOZORDER);
  small.Pump();
  ::GetWindowRect(small.form.Handle(), &outer);
  EXPECT_EQ(outer.right - outer.left, TwipsToPx(6400, dpi));
}

TEST(WinMainForm, PickingADriveShowsItsRoot) {
  Rig rig("COM200");
  HWND drive = rig.Control(kDrive1);
  const auto count = ::SendMessageW(drive, CB_GETCOUNT, 0, 0);
  ASSERT_GE(count, 2);
  const auto other = (::SendMessageW(drive, CB_GETCURSEL, 0, 0) + 1) % count;
  rig.state.ComputerPath = "\\somewhere\\";
  ::SendMessageW(drive, CB_SETCURSEL, other, 0);
  ::SendMessageW(rig.form.Handle(), WM_COMMAND, MAKEWPARAM(kDrive1, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(drive));
  rig.Pump();
  wchar_t text[64] = {};
  ::SendMessageW(drive, CB_GETLBTEXT, other, reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(rig.state.ComputerDrive, std::string(1, static_cast<char>(text[0])));
  EXPECT_EQ(rig.state.ComputerPath, "\\");
}

TEST(WinMainForm, TheAboutWindowShowsForTwoSecondsAtStart) {
  Strings config = Rig::DefaultConfig();
  config[3] = "1";
  Rig rig("COM200", config);
  EXPECT_EQ(rig.script.opened, Strings{"About"});
  EXPECT_GE(rig.script.now, 2.0);
  EXPECT_TRUE(::IsWindowVisible(rig.form.Handle()));
  EXPECT_TRUE(rig.form.MainWindowEnabled());
}

// The user's round: a directory made, files and a tree copied both ways (one
// replaced after the question), the memo view, deleted again.
TEST(WinMainForm, CopiesBothWaysDeletesAndMakesDirectoriesOnTheOrganizer) {
  if (OrganizerCom().empty()) GTEST_SKIP() << "no simulated organizer on a COM port";
  ::tavo::testing::TempDir computer;
  const std::string a = AllBytes(3000);
  Write(computer.path() / "a.txt", a);
  Write(computer.path() / "tree" / "b.txt", "bee");
  Write(computer.path() / "tree" / "sub" / "c.txt", AllBytes(2100));
  fs::create_directories(computer.path() / "back");
  Rig rig(OrganizerCom());

  ASSERT_TRUE(rig.Click(kSynchronize));
  ASSERT_TRUE(rig.Settled());
  ASSERT_TRUE(rig.Shows(kListView1, L"<Sharp Memos>"));
  EXPECT_TRUE(::IsWindowEnabled(rig.Control(kCopy1)));

  const std::string name = FreshName("win");
  rig.script.on_dialog["InputNewDir"] = [&](HWND dialog) {
    EXPECT_EQ(WindowText(dialog), L"Choosing directory name ...");
    ::SetDlgItemTextW(dialog, kNewDirText1, Wide(name).c_str());
    ::PostMessageW(::GetDlgItem(dialog, kNewDirCommand1), BM_CLICK, 0, 0);
  };
  ASSERT_TRUE(rig.Click(kCreateDir));
  ASSERT_TRUE(rig.Settled());
  ASSERT_TRUE(rig.Shows(kListView1, Wide("<" + name + ">")));

  // Enter opens the directory.
  ASSERT_EQ(rig.Select(kListView1, {Wide("<" + name + ">")}), 1u);
  rig.Key(kListView1, VK_RETURN);
  ASSERT_EQ(rig.Rows(kListView1), std::vector<std::wstring>{L"<..>"});

  rig.ShowComputerDirectory(computer.path());
  ASSERT_EQ(rig.Select(kListView2, {L"a.txt", L"<tree>"}), 2u);
  ASSERT_TRUE(rig.Click(kCopy2));
  EXPECT_TRUE(rig.Settled());
  EXPECT_EQ(rig.Rows(kListView1), (std::vector<std::wstring>{L"<..>", L"<tree>", L"a.txt"}));
  EXPECT_TRUE(rig.script.boxes.empty());

  // Again: the question comes, with its icon and title; Yes replaces.
  ASSERT_EQ(rig.Select(kListView2, {L"a.txt"}), 1u);
  ASSERT_TRUE(rig.Click(kCopy2));
  ASSERT_EQ(rig.script.boxes.size(), 1u);
  EXPECT_EQ(rig.script.boxes[0].text, L"File a.txt exists! Overwrite?");
  EXPECT_EQ(rig.script.boxes[0].title, L"Question");
  EXPECT_EQ(rig.script.boxes[0].type & (MB_YESNO | MB_ICONQUESTION),
            static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
  EXPECT_TRUE(rig.Settled());

  // Into "back" by Enter on the computer pane, and both copied there.
  ASSERT_EQ(rig.Select(kListView2, {L"<back>"}), 1u);
  rig.Key(kListView2, VK_RETURN);
  ASSERT_EQ(rig.Rows(kListView2), std::vector<std::wstring>{L"<..>"});
  ASSERT_EQ(rig.Select(kListView1, {L"a.txt", L"<tree>"}), 2u);
  ASSERT_TRUE(rig.Click(kCopy1));
  EXPECT_TRUE(rig.Settled());
  EXPECT_EQ(Read(computer.path() / "back" / "a.txt"), a);
  EXPECT_EQ(Read(computer.path() / "back" / "tree" / "b.txt"), "bee");
  EXPECT_EQ(Read(computer.path() / "back" / "tree" / "sub" / "c.txt"), AllBytes(2100));
  EXPECT_TRUE(rig.Shows(kListView2, L"a.txt"));
  // Backspace goes up.
  rig.Key(kListView2, VK_BACK);
  EXPECT_TRUE(rig.Shows(kListView2, L"<back>"));

  // Delete asks; No keeps, Yes deletes.
  ASSERT_EQ(rig.Select(kListView1, {L"a.txt", L"<tree>"}), 2u);
  rig.script.answers = {IDNO};
  rig.Key(kListView1, VK_DELETE);
  EXPECT_EQ(rig.script.boxes.back().text, L"Are you sure?");
  EXPECT_EQ(rig.Rows(kListView1).size(), 3u);
  ASSERT_EQ(rig.Select(kListView1, {L"a.txt", L"<tree>"}), 2u);
  rig.Key(kListView1, VK_DELETE);
  EXPECT_TRUE(rig.Settled());
  EXPECT_EQ(rig.Rows(kListView1), std::vector<std::wstring>{L"<..>"});

  rig.Key(kListView1, VK_BACK);
  ASSERT_TRUE(rig.Select(kListView1, {Wide("<" + name + ">")}));
  ASSERT_TRUE(rig.Click(kDelete));
  EXPECT_TRUE(rig.Settled());
  EXPECT_FALSE(rig.Shows(kListView1, Wide("<" + name + ">")));

  // The memo view and back.
  ASSERT_EQ(rig.Select(kListView1, {L"<Sharp Memos>"}), 1u);
  rig.Key(kListView1, VK_RETURN);
  EXPECT_EQ(rig.state.MemoViewActive, 1);
  EXPECT_EQ(rig.Rows(kListView1).front(), L"<..>");
  EXPECT_FALSE(::IsWindowEnabled(rig.Control(kCreateDir)));
  // A computer file becomes a memo, and the memo a computer file again.
  const std::string memo = FreshName("note") + ".txt";
  Write(computer.path() / memo, "a plain memo");
  rig.ShowComputerDirectory(computer.path());
  ASSERT_EQ(rig.Select(kListView2, {Wide(memo)}), 1u);
  ASSERT_TRUE(rig.Click(kCopy2));
  EXPECT_TRUE(rig.Settled());
  ASSERT_TRUE(rig.Shows(kListView1, Wide(memo)));
  fs::remove(computer.path() / memo);
  rig.ShowComputerDirectory(computer.path());
  ASSERT_EQ(rig.Select(kListView1, {Wide(memo)}), 1u);
  ASSERT_TRUE(rig.Click(kCopy1));
  EXPECT_EQ(Read(computer.path() / memo), "a plain memo");
  ASSERT_EQ(rig.Select(kListView1, {Wide(memo)}), 1u);
  ASSERT_TRUE(rig.Click(kDelete));
  EXPECT_FALSE(rig.Shows(kListView1, Wide(memo)));
  rig.Key(kListView1, VK_BACK);
  EXPECT_EQ(rig.state.MemoViewActive, 0);
  EXPECT_TRUE(rig.Shows(kListView1, L"<Sharp Memos>"));
}

TEST(WinMainForm, CancelInTheStatusWindowStopsACopy) {
  if (OrganizerCom().empty()) GTEST_SKIP() << "no simulated organizer on a COM port";
  ::tavo::testing::TempDir computer;
  const std::string name = FreshName("stop");
  for (int i = 0; i < 6; ++i) {
    Write(computer.path() / name / ("f" + std::to_string(i) + ".txt"), AllBytes(2500));
  }
  Rig rig(OrganizerCom());
  ASSERT_TRUE(rig.Click(kSynchronize));
  rig.ShowComputerDirectory(computer.path());

  std::wstring status;
  rig.script.on_dialog["Msg"] = [&](HWND msg) {
    status = WindowText(msg);
    // Pressed as soon as the command lets window events run.
    ::PostMessageW(::GetDlgItem(msg, IDCANCEL), BM_CLICK, 0, 0);
  };
  ASSERT_EQ(rig.Select(kListView2, {Wide("<" + name + ">")}), 1u);
  ASSERT_TRUE(rig.Click(kCopy2));
  EXPECT_EQ(status, L" ");
  EXPECT_TRUE(rig.Settled());
  EXPECT_EQ(rig.state.StopRequested, 1);
  rig.script.on_dialog.clear();

  // Fewer than all of the files arrived.
  if (rig.Select(kListView1, {Wide("<" + name + ">")}) == 1) {
    rig.Key(kListView1, VK_RETURN);
    EXPECT_LT(rig.Rows(kListView1).size(), 7u);
    rig.Key(kListView1, VK_BACK);
    ASSERT_EQ(rig.Select(kListView1, {Wide("<" + name + ">")}), 1u);
    ASSERT_TRUE(rig.Click(kDelete));
  }
  EXPECT_FALSE(rig.Shows(kListView1, Wide("<" + name + ">")));
  EXPECT_TRUE(rig.Settled());
}

}  // namespace
}  // namespace tavo::winui::testing
