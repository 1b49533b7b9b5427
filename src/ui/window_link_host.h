#pragma once

#include <functional>
#include <string>
#include <utility>

#include "link/port.h"
#include "ui/main_form.h"

namespace tavo::ui {

// The link's side of the window: pending events run through it, and a port
// that fails to open says below the error which device it is and why.
class WindowLinkHost : public link::LinkHost {
 public:
  // `open_failure` describes the last failed opening of the port.
  WindowLinkHost(MainForm& form, std::function<std::string()> open_failure)
      : form_(form), open_failure_(std::move(open_failure)) {}
  void PumpEvents() override { form_.PumpEvents(); }
  void ShowLinkError(const std::string& text) override {
    form_.ShowMessage(text, open_failure_ ? open_failure_() : std::string());
  }

 private:
  MainForm& form_;
  std::function<std::string()> open_failure_;
};

}  // namespace tavo::ui
