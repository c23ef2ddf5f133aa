// The module object of vasselin: the module handle and the two counts that decide whether
// COM may unload the DLL (live service objects, and locks taken through the class factory).
//
// Every module global of this DLL is constant-initialised and has no destructor of its own
// (the counts, the class factory, the identifiers, the check-health dialog), so none of them
// is built after or torn down before the trace log library's objects: nothing of ours runs at
// load or unload but DllMain storing the handle. The registered window messages are looked up on first use.
#pragma once
#include <atomic>

#include "Win.h"

class CPOSPrinterSOApp {
 public:
  // DllMain, process attach: remembers the module. Registers nothing with COM: an
  // in-process server is reached through DllGetClassObject, and COM calls under the
  // loader lock can deadlock.
  static BOOL InitInstance(HINSTANCE module);
  static int ExitInstance();

  // The module holding this code (the DLL, or a test program linking the core).
  static HMODULE Module();

  // One per live service object, and per hidden window still closing on its own thread.
  static void LockApp() { s_objects.fetch_add(1); }
  static void UnlockApp() { s_objects.fetch_sub(1); }
  static void LockServer() { s_locks.fetch_add(1); }   // IClassFactory::LockServer, factory refs
  static void UnlockServer() { s_locks.fetch_sub(1); }
  static long ObjectCount() { return s_objects.load(); }
  static long LockCount() { return s_locks.load(); }
  static bool CanUnloadNow() { return s_objects.load() == 0 && s_locks.load() == 0; }

 private:
  static std::atomic<HMODULE> s_module;
  static std::atomic<long> s_objects;
  static std::atomic<long> s_locks;
};
