// The application frame: start-up and teardown, command line, status window, process launch.
#pragma once
#include <windows.h>

enum { MAXARGS = 30, STATUSTEXT_SIZE = 501 };

extern HINSTANCE appinstance;
extern int showcommand;
extern HWND mainwindow;
extern HCURSOR currentcursor;
extern HCURSOR waitcursor;
extern HDC displaydc;
extern int screenwidth;
extern int screenheight;
extern bool palettemode;
extern HPALETTE apppalette;
extern HPALETTE previouspalette;
extern bool iswow64;
extern int argcount;
extern char args[MAXARGS][MAX_PATH];
extern char modulebasename[MAX_PATH];
extern char windowtitle[MAX_PATH];
extern bool shutdowndone;
extern char statustext[STATUSTEXT_SIZE];

bool DetectWow64();
void ProbeEnvironment();
void ShutdownApp();
int FrameCommand(int command);

// The fixed 256-colour palette used on displays of 8 bits per pixel or less.
const LOGPALETTE *AppPaletteDefinition();

bool CreateStatusWindow();
void SetStatus(const char *fmt, ...);
LRESULT CALLBACK StatusWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

bool LaunchProcess(const char *program, const char *parameters);

// The three steps WinMain runs in turn.
bool CheckInvocation();
bool RunUninstall();
