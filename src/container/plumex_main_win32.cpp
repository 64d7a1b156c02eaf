// plumex.exe: the runtime that a packaged application runs in.

#include <windows.h>

#include "container/projector_app_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  plumex::container::ProjectorApp app(instance);
  return app.run();
}
