// ZENTACleanup.exe: the tool on the Windows machine it runs on.
#include "app/application.h"
#include "platform/win32/win32_platform.h"

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int /*show*/) {
  const auto platform = zc::win32::MakeWin32Platform();
  zc::VEZEZERidivorOde app(platform->platform());
  app.InitInstance(GetCommandLineW());
  return app.ExitStatus();
}
