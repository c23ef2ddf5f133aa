#include "POSPrinterSOApp.h"

std::atomic<HMODULE> CPOSPrinterSOApp::s_module{nullptr};
std::atomic<long> CPOSPrinterSOApp::s_objects{0};
std::atomic<long> CPOSPrinterSOApp::s_locks{0};

BOOL CPOSPrinterSOApp::InitInstance(HINSTANCE module) {
  s_module.store(module);
  return TRUE;
}

int CPOSPrinterSOApp::ExitInstance() { return 0; }

HMODULE CPOSPrinterSOApp::Module() {
  if (HMODULE module = s_module.load()) return module;
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&CPOSPrinterSOApp::Module), &self);
  return self;
}
