// quorret.exe: the KVR OPOS setup utility.
#include "KvrOposUtilityApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  CKvrOposUtilityApp app;
  int code = 0;
  if (app.InitInstance()) code = app.Run();
  app.ExitInstance();
  return code;
}
