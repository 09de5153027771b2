// Test control of winsim, the simulated Windows the program runs against on the Linux host.
// Only tests include this; the program sees nothing but <windows.h> and <shlobj.h>.
#pragma once
#include <windows.h>
#include <string>
#include <utility>
#include <vector>

namespace winsim {

// A fresh default machine and process (also set up at static initialisation):
//   command line  "C:\Program Files (x86)\Tavik-Tastaturbelegung\Uninstall_Lorvanis.exe" b0010407
//   module        C:\Program Files (x86)\Tavik-Tastaturbelegung\Uninstall_Lorvanis.exe (the file exists)
//   temp folder   C:\users\test\Temp\     desktop C:\users\test\Desktop
//   a 32-bit process on 64-bit Windows (WOW64), screen 1920x1080, 32 bits per pixel, 1 plane
//   folders       C:\windows, C:\windows\system32, C:\windows\syswow64, C:\Program Files,
//                 C:\Program Files (x86), C:\users\test\Desktop, C:\users\test\Temp
//   registry      HKCU\Keyboard Layout\Preload, HKCU\Keyboard Layout\Substitutes (empty),
//                 HKLM\System\CurrentControlSet\Control\Keyboard Layouts (empty),
//                 HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall and its Wow6432Node twin
void Reset();

// ---- the process --------------------------------------------------------------------------
void SetCommandLine(const char *utf8); // the program's UTF-16 command line, from UTF-8
void SetCommandLineW(const std::u16string &line);
void SetModulePath(const char *path);
void SetTempPath(const char *path); // as GetTempPathA hands it out (keep the trailing backslash)
void SetWow64(bool wow64, bool hasIsWow64Process = true);
void SetScreen(int width, int height, int bitsPerPixel, int planes = 1);
void SetIcons(bool hasProgramIcon); // whether the resource "aaProgramIcon" exists (default true)
HINSTANCE ProgramInstance();

// ---- fault injection ----------------------------------------------------------------------
// The named call fails with that error after `skip` calls, `times` times (-1: always). Calls that
// set the last error set it to `error`; registry calls return it as their status;
// SHGetFolderPathA returns HRESULT_FROM_WIN32(error) (or error itself when it is an HRESULT).
void FailCall(const char *call, DWORD error, int skip = 0, int times = -1);
// Only when the path the call addresses (file path after redirection, or the full key path
// "HKLM\SOFTWARE\...") ends with pathSuffix, compared without regard to case.
void FailCallOn(const char *call, const char *pathSuffix, DWORD error);
void SetErrorText(DWORD code, const char *text); // nullptr: no description for that code

// ---- message boxes ------------------------------------------------------------------------
struct Box {
    HWND owner;
    std::string caption, text;
    UINT style;
    int result;             // 0 for a box nobody answered (no scripted answer and not MB_OK)
    std::string statusline; // the text the owner window showed while the box was up
};
void AnswerBoxes(std::vector<int> answers); // IDYES/IDNO/IDOK..., consumed in order
const std::vector<Box> &Boxes();
const std::vector<std::string> &Events();

// ---- files (real paths, no WOW64 redirection) ---------------------------------------------
void AddFile(const char *path, const char *contents = "", DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);
void AddFolder(const char *path); // creates parents too
bool Exists(const char *path);
void RemoveFile(const char *path); // a file, or a folder with all it holds; no redirection, no event
DWORD Attributes(const char *path); // INVALID_FILE_ATTRIBUTES when missing
std::string Contents(const char *path);
std::vector<std::string> PendingDeletes(); // MoveFileExA delay-until-reboot registrations
std::string FileTreeDump();                // every folder and file with attributes, sorted, one per line

// ---- registry (real paths: write "SOFTWARE\\Wow6432Node\\..." explicitly) -----------------
void RegSetString(HKEY root, const char *path, const char *name, const char *data); // REG_SZ with NUL, creates keys
void RegSetRaw(HKEY root, const char *path, const char *name, DWORD type, const std::string &bytes);
void RegAddKey(HKEY root, const char *path);
bool RegKeyExists(HKEY root, const char *path);
std::vector<std::pair<std::string, std::string>> RegValues(HKEY root, const char *path); // name, bytes; creation order
std::vector<std::string> RegSubkeys(HKEY root, const char *path);                        // enumeration order
std::string RegDump(); // both trees, canonical text

// ---- processes ----------------------------------------------------------------------------
struct Launch {
    std::string application, commandLine;
    BOOL inheritHandles;
    DWORD flags;
    bool environmentNull, directoryNull;
    DWORD startupSize;
};
const std::vector<Launch> &Launches();

// ---- windows and drawing ------------------------------------------------------------------
// Window frame of an overlapped window: 8 px borders left, right and bottom, 31 px caption
// (border included) at the top; the client area is the rest.
struct WindowInfo {
    HWND handle;
    std::string className, title;
    DWORD style, exStyle;
    int x, y, width, height;
    int showCommand; // of the last ShowWindow, -1 before the first
    UINT classStyle;
    bool hasIcon, hasSmallIcon, iconIsFallback; // iconIsFallback: the class icon is IDI_APPLICATION
    HBRUSH background;
    bool cursorIsNull;
};
// Windows not destroyed, in creation order. A reference into the list stays valid (it is
// refreshed in place by the next call).
const std::vector<WindowInfo> &Windows();
const std::vector<std::string> &Paints(); // the text of every DrawTextA, in order
UINT LastDrawFormat();
int LastBkMode();
std::string CurrentCursor(); // "IDC_WAIT", "IDC_APPSTARTING", "IDC_ARROW", "" (none)
LRESULT Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam); // to the window procedure
void Resize(HWND window, int width, int height);
void DeliverPaints(); // what a message loop would do: WM_PAINT to every visible invalid window
int OpenHandles();    // keys, finds, processes, threads, DCs not yet closed/released
int LiveGdiObjects(); // palettes created and not deleted
int LiveLocalAllocations(); // LocalAlloc'ed blocks (FormatMessageA buffers) not yet freed
std::vector<PALETTEENTRY> CreatedPalette(); // entries of the last CreatePalette
bool DisplayHasAppPalette();                // the last created palette is selected into the display DC
bool RedirectionOff();                      // WOW64 file-system redirection currently off
DWORD SleptMilliseconds();

} // namespace winsim
