#include "service/frm_main.h"

frmMain::frmMain(const Components& components)
    : loop_(components.loop),
      comPort(components.comPort),
      NTService1(components.NTService1),
      display_(components.display),
      clock_(components.clock),
      settings_folder_(components.settings_folder),
      state_folder_(components.state_folder),
      machine_name_(components.machine_name),
      tmrEOF(loop_.CreateTimer([this] { tmrEOF_Timer(); })),
      tmr1sec(loop_.CreateTimer([this] { tmr1sec_Timer(); })),
      filing_timer_(loop_.CreateTimer([this] { FileNextWaiting(); })) {
  // Design-time state of the window's timers: the end-of-report timer is
  // disabled with 1000 ms, the clock ticks every second from the start.
  tmrEOF->SetInterval(1000);
  tmr1sec->SetInterval(1000);
  tmr1sec->SetEnabled(true);
  filing_timer_->SetInterval(1);  // the shortest: between any other events
  comPort.SetOnComm([this] { comPort_OnComm(); });
  display_.SetOnClose([this] { Form_Unload(); });
  NTService1.SetEvents(this);
}

frmMain::~frmMain() {
  NTService1.SetEvents(nullptr);
  comPort.SetOnComm(nullptr);
  display_.SetOnClose(nullptr);
}

void frmMain::EndProgram(int exit_code) {
  ended_ = true;
  exit_code_ = exit_code;
  loop_.Quit();
}
