#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "commands/client_view.h"
#include "settings/config.h"
#include "winui/services.h"

namespace tavo::winui {

// Control numbers of the dialogs, for the keyboard and for tests.
enum DialogControl : int {
  kDialogFrame1 = 100,
  kDialogLabel1,
  kDialogLabel2,
  kOptionsDefault,  // "&Default"
  kOptionsCheck1,
  kOptionsCheck2,
  kOptionsCombo1,
  kOptionsCombo2,
  kNewDirText1,
  kNewDirCommand1,  // "Ok"
  kNewDirCommand2,  // "Cancel"
};
// "&OK" is IDOK and "&Cancel" IDCANCEL, so that Enter and Escape press them;
// the status window's "Cancel" is IDCANCEL too.

// A dialog whose controls are made in pixels from twips at the window's DPI.
// The dialog manager gives it the keyboard: Tab, access keys, Enter, Escape.
class Dialog {
 public:
  Dialog(const WinServices& services, std::string name, std::wstring caption, DWORD style);
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Runs it modally over `owner` and returns how it ended.
  INT_PTR RunModal(HWND owner);
  // Shows it without waiting; the caller's message loop must let it see its keys.
  HWND CreateModeless(HWND owner);
  void Destroy();
  HWND Handle() const { return hwnd_; }

 protected:
  // Adds a control; left and top are relative to the dialog's client area.
  HWND Add(const wchar_t* window_class, const std::wstring& text, DWORD style, int id, double left,
           double top, double width, double height);
  HWND Item(int id) const { return ::GetDlgItem(hwnd_, id); }
  void SetClientTwips(double width, double height);
  // Where the font is wider than the design's, these keep captions whole.
  // FitText widens a control to show its text (plus `extra` pixels): a
  // right-aligned label grows to the left, down to `min_left` twips, and then
  // to the right. It returns how far what stands to its right must move over.
  int FitText(int id, double min_left, int extra = 0);
  void MoveRight(int id, int pixels);
  // Grows the frame to hold these controls, and the dialog to hold
  // everything, with 120 twips to spare on the right; never shrinks.
  void GrowToHold(int frame_id, std::initializer_list<int> inside);
  // Ends a modal dialog with `result`, or destroys a modeless one.
  void End(INT_PTR result);

  virtual void OnInit() = 0;
  virtual void OnCommand(int id, int code) = 0;
  // The close box, and Escape where no control is IDCANCEL's.
  virtual void OnClose() { End(0); }
  // Any other message; true when handled.
  virtual bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  // Where the dialog goes once it has its size: the owner's centre.
  virtual void Place(HWND owner);

  const WinServices& services_;
  unsigned dpi_ = USER_DEFAULT_SCREEN_DPI;

 private:
  static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  std::vector<WORD> Template() const;

  std::string name_;
  std::wstring caption_;
  DWORD style_;
  HWND hwnd_ = nullptr;
  HWND owner_ = nullptr;
  HFONT font_ = nullptr;
  bool modal_ = false;
};

// The status window: one line of progress and "Cancel".
class Msg final : public Dialog {
 public:
  Msg(const WinServices& services, std::function<void()> on_cancel);
  void Load(HWND owner);
  void Unload() { Destroy(); }
  bool Loaded() const { return Handle() != nullptr; }
  void SetText(const std::wstring& text);
  std::wstring Text() const;
  // "Cancel": asks once per action for a stop.
  void Command1_Click();

 private:
  void OnInit() override;
  void OnCommand(int id, int code) override;
  void OnClose() override { Command1_Click(); }
  std::function<void()> on_cancel_;
};

// "Choosing directory name ...".
class InputNewDir final : public Dialog {
 public:
  explicit InputNewDir(const WinServices& services);
  const commands::NewDirectoryAnswer& Answer() const { return answer_; }

 private:
  void OnInit() override;
  void OnCommand(int id, int code) override;
  commands::NewDirectoryAnswer answer_;
};

struct OptionsContext {
  settings::Config& config;
  std::string start_directory;
  settings::ScreenSize screen;
};

// "Window Options".
class OptionsWindow final : public Dialog {
 public:
  OptionsWindow(const WinServices& services, OptionsContext context);

 private:
  void OnInit() override;
  void OnCommand(int id, int code) override;
  void ShowSettings(const settings::Config& shown);
  void Command1_Click();
  void Command2_Click();
  OptionsContext context_;
};

// "Main Options".
class OptionsMain final : public Dialog {
 public:
  OptionsMain(const WinServices& services, OptionsContext context);

 private:
  void OnInit() override;
  void OnCommand(int id, int code) override;
  void ShowSettings(const settings::Config& shown);
  // Widens a drop-down list to show its longest entry.
  void FitCombo(int id);
  void Command1_Click();
  void Command2_Click();
  OptionsContext context_;
};

// The About window: a picture, centred on the screen; a click closes it.
class About final : public Dialog {
 public:
  explicit About(const WinServices& services);
  // Shows it, painted at once, for `seconds` without letting events run.
  void ShowForAWhile(HWND owner, double seconds);

 private:
  void OnInit() override;
  void OnCommand(int id, int code) override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void Place(HWND owner) override;
};

}  // namespace tavo::winui
