// The Windows entry point. The link threads are not stopped: ending the process ends them.
#include "app/gauge_app.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    ExitProcess(static_cast<UINT>(RunGauge()));
}
