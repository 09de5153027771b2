// The state Windows keeps for the program: one machine (files, registry) and one process
// (command line, module, windows, handles, last error). Internal to winsim.
#pragma once
#include <windows.h>
#include <winsim/winsim.h>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace winsim {
namespace model {

// Windows compares names without regard to case; the German system code page (1252) folds
// the accented letters too.
std::string Fold(const std::string &text);
bool SameNoCase(const std::string &a, const std::string &b);
bool EndsWithNoCase(const std::string &text, const std::string &suffix);
std::string Hex(DWORD value);

struct FileEntry {
    std::string name; // last component as written
    bool folder = false;
    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
    std::string contents;
    std::map<std::string, std::unique_ptr<FileEntry>> children; // by folded name: the order NTFS lists them
};

struct RegValue {
    std::string name;
    DWORD type;
    std::string bytes;
};

struct RegNode {
    std::string name;
    bool deleted = false;
    std::map<std::string, std::shared_ptr<RegNode>> children; // by folded name: enumeration order
    std::vector<RegValue> values;                             // creation order
};

struct KeyHandle {
    std::shared_ptr<RegNode> node;
    std::string path; // real path, "HKLM\SOFTWARE\Wow6432Node\..."
    REGSAM access;
};

struct FindHandle {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

struct DcState {
    HWND window = nullptr; // nullptr: display or screen DC
    bool display = false;  // made by CreateDCA("DISPLAY")
    int bkMode = OPAQUE;
    int mapMode = MM_TEXT;
    HPALETTE palette;
};

struct ClassInfo {
    WNDCLASSEXA wc;
    std::string name;
};

struct Window {
    HWND handle;
    std::string className, title;
    DWORD style, exStyle;
    int x, y, width, height;
    HWND parent;
    HMENU menu;
    int showCommand = -1;
    bool visible = false;
    bool invalid = false;
    bool erasePending = false;
    bool destroyed = false;
    ClassInfo cls;
    std::string shownText; // what the last DrawTextA put into the window
    int erases = 0;
};

struct Fault {
    std::string call;
    std::string suffix;
    DWORD error;
    int skip;
    int times;
};

struct State {
    State();

    // process
    std::u16string commandLine;
    std::string modulePath, tempPath;
    bool wow64 = true, hasIsWow64Process = true;
    int screenWidth = 1920, screenHeight = 1080, bitsPerPixel = 32, planes = 1;
    bool hasProgramIcon = true;
    DWORD lastError = 0;
    bool redirectionOff = false;
    DWORD slept = 0;

    // machine
    FileEntry volume; // the folder C:\ ("C:" as its name)
    std::vector<std::string> pendingDeletes;
    std::shared_ptr<RegNode> hkcu, hklm;

    // observations
    std::vector<std::string> events;
    std::vector<Box> boxes;
    std::vector<int> answers;
    std::vector<Launch> launches;
    std::vector<std::string> paints;
    UINT lastDrawFormat = 0;
    int lastBkMode = 0;
    HCURSOR cursor = nullptr;
    std::vector<PALETTEENTRY> lastPalette;
    HPALETTE lastPaletteHandle = nullptr;
    HDC lastDisplayDc = nullptr;

    // handles
    std::map<uintptr_t, KeyHandle> keys;
    std::map<uintptr_t, FindHandle> finds;
    std::set<uintptr_t> processes, threads;
    std::map<uintptr_t, DcState> dcs;
    std::map<uintptr_t, DcState> deadDcs; // kept so a test can look at the display DC after DeleteDC
    std::set<uintptr_t> palettes;
    std::map<uintptr_t, std::vector<PALETTEENTRY>> paletteEntries;
    std::set<void *> localBlocks;
    std::map<std::string, ClassInfo> classes;
    std::vector<std::unique_ptr<Window>> windows;

    std::vector<Fault> faults;
    std::map<DWORD, std::string> errorTexts;
};

State &S();
void ResetState();
uintptr_t NewHandleValue();

// Fault injection: true (and *error set) when the call must fail now.
bool Injected(const char *call, const std::string &path, DWORD *error);
bool Injected(const char *call, DWORD *error);
void Event(const std::string &text);
void EventFailed(const std::string &text, DWORD error);
void SetError(DWORD error);

// Files
std::string ModulePathResolved();
Window *FindWindowOf(HWND window);
std::string Status(DWORD code);

} // namespace model
} // namespace winsim

namespace winsim {
namespace model {

// A path taken apart the way Windows reads it: drive C: only, "\" and "/" alike, "." and ".."
// resolved, trailing dots and spaces of a name dropped. False with the error Windows gives.
bool SplitPath(const char *path, std::vector<std::string> &parts, DWORD *error);
std::string JoinPath(const std::vector<std::string> &parts);
// WOW64: a 32-bit process addressing C:\windows\system32 reaches C:\windows\syswow64 while
// redirection is on.
void Redirect(std::vector<std::string> &parts);
FileEntry *Lookup(const std::vector<std::string> &parts);
FileEntry *MakeFolders(const std::vector<std::string> &parts);
bool ParsePathForTest(const char *path, std::vector<std::string> &parts);

std::shared_ptr<RegNode> &RootNode(HKEY root);
std::shared_ptr<RegNode> EnsureKey(std::shared_ptr<RegNode> node, const std::string &path);
std::shared_ptr<RegNode> FindKey(std::shared_ptr<RegNode> node, const std::string &path);
std::vector<std::string> SplitKeyPath(const std::string &path);

} // namespace model
} // namespace winsim
