#include <string>

#include "output/service_log.h"
#include "service/frm_main.h"

void frmMain::NTService1_Start(bool& Success) {
  RunLoggingErrors("Started: ", [&] { Success = true; });
}

void frmMain::NTService1_Stop() {
  RunLoggingErrors("Stopped: ", [&] {
    WriteLog("Service stopped");
    Form_Unload();
  });
}

void frmMain::NTService1_Pause(bool& Success) {
  RunLoggingErrors("Pause: ", [&] {
    WriteLog("Service paused");
    Success = true;
  });
}

void frmMain::NTService1_Continue(bool& Success) {
  RunLoggingErrors("Continue: ", [&] {
    Success = true;
    WriteLog("Service Continued");
  });
}

void frmMain::NTService1_Control(int32_t ControlCode) {
  RunLoggingErrors("Control: ", [&] { WriteLog("Control: " + std::to_string(ControlCode)); });
}

void frmMain::Form_Unload() { ShutDown(); }
