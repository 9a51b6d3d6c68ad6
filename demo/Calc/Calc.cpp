#include <windows.h>
#include "resource.h"

int Evaluate(const char* expression);

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    return Evaluate(commandLine);
}
