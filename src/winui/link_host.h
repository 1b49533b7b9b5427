#pragma once

#include "link/serial_link.h"
#include "platform/win_serial_port.h"
#include "winui/main_form.h"

namespace tavo::winui {

// The link's side of the window: pending events run through it, and a port
// that fails to open says below the error which port it is and why.
class FormLinkHost : public link::LinkHost {
 public:
  FormLinkHost(MainForm& form, const platform::WinSerialPort& port) : form_(form), port_(port) {}
  void PumpEvents() override { form_.PumpEvents(); }
  void ShowLinkError(const std::string& text) override {
    form_.ShowMessage(text, port_.OpenError() != 0 ? port_.OpenFailureText() : std::string());
  }

 private:
  MainForm& form_;
  const platform::WinSerialPort& port_;
};

}  // namespace tavo::winui
