#include "frame/app.h"
#include "messages/messages.h"
#include "messages/text.h"
#include <string.h>

HINSTANCE appinstance;
int showcommand;
HWND mainwindow;
HCURSOR currentcursor;
HCURSOR waitcursor;
HDC displaydc;
int screenwidth;
int screenheight;
bool palettemode;
HPALETTE apppalette;
HPALETTE previouspalette;
bool iswow64;
int argcount = -1;
char args[MAXARGS][MAX_PATH];
char modulebasename[MAX_PATH];
char windowtitle[MAX_PATH];
bool shutdowndone;

namespace {

enum { PALETTE_SIZE = 256, SLOT_UNITS = MAX_PATH };

struct FixedPalette {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[PALETTE_SIZE];
};

FixedPalette palette;

void PutColour(int slot, unsigned rgb)
{
    palette.palPalEntry[slot].peRed = (BYTE)(rgb >> 16);
    palette.palPalEntry[slot].peGreen = (BYTE)(rgb >> 8);
    palette.palPalEntry[slot].peBlue = (BYTE)rgb;
    palette.palPalEntry[slot].peFlags = 0;
}

bool IsListedColour(unsigned rgb, const unsigned *listed, int count)
{
    for (int i = 0; i < count; i++)
        if (listed[i] == rgb)
            return true;
    return false;
}

// The system colours keep the slots Windows reserves for them (the first and last ten);
// the 6x6x6 colour cube, greys and a few dark shades fill the rest.
void BuildPalette()
{
    static const unsigned head[10] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080,
                                      0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0, 0xD4D0C8};
    static const unsigned tail[10] = {0xFFFBF0, 0x1D3652, 0x808080, 0xFF0000, 0x00FF00,
                                      0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    static const unsigned greys[18] = {0x08, 0x10, 0x18, 0x20, 0x28, 0x40, 0x48, 0x50, 0x58,
                                       0x60, 0x70, 0x78, 0x88, 0x90, 0xA0, 0xA8, 0xB0, 0xB8};
    static const unsigned shades[10] = {0x400000, 0x004000, 0x404000, 0x000040, 0x400040,
                                        0x004040, 0xC00000, 0x00C000, 0x0000C0, 0xC0C000};
    palette.palVersion = 0x300;
    palette.palNumEntries = PALETTE_SIZE;
    int slot = 0;
    for (int i = 0; i < 10; i++)
        PutColour(slot++, head[i]);
    for (int r = 0; r < 6; r++)
        for (int g = 0; g < 6; g++)
            for (int b = 0; b < 6; b++) {
                unsigned rgb = (unsigned)(r * 0x33) << 16 | (unsigned)(g * 0x33) << 8 | (unsigned)(b * 0x33);
                if (!IsListedColour(rgb, head, 10) && !IsListedColour(rgb, tail, 10))
                    PutColour(slot++, rgb);
            }
    for (int i = 0; i < 18; i++)
        PutColour(slot++, greys[i] << 16 | greys[i] << 8 | greys[i]);
    for (int i = 0; i < 10; i++)
        PutColour(slot++, shades[i]);
    for (int i = 0; i < 10; i++)
        PutColour(slot++, tail[i]);
}

// Copies one token of the command line into dest (capacity units). A token that does not
// fit is cut at capacity - 1 units; the rest of it is passed over so that it cannot turn into
// further arguments. Returns the position after the token.
const WCHAR *TakeToken(const WCHAR *p, WCHAR *dest, int capacity)
{
    int n = 0;
    if (*p == 0x22) {
        p++;
        while (*p != 0 && *p != 0x22) {
            if (n < capacity - 1)
                dest[n++] = *p;
            p++;
        }
        if (*p == 0x22)
            p++;
    } else {
        while (*p != 0 && *p != 0x20) {
            if (n < capacity - 1)
                dest[n++] = *p;
            p++;
        }
    }
    dest[n] = 0;
    return p;
}

} // namespace

const LOGPALETTE *AppPaletteDefinition()
{
    BuildPalette();
    return reinterpret_cast<const LOGPALETTE *>(&palette);
}

bool DetectWow64()
{
    typedef BOOL(WINAPI * IsWow64ProcessFunction)(HANDLE, PBOOL);
    // Looked up at run time: Windows versions without WOW64 do not have the function.
    IsWow64ProcessFunction isWow64Process =
        (IsWow64ProcessFunction)(void *)GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process");
    if (isWow64Process == nullptr)
        return false;
    BOOL flag = FALSE;
    isWow64Process(GetCurrentProcess(), &flag);
    return flag != FALSE;
}

void ProbeEnvironment()
{
    static WCHAR slots[MAXARGS][SLOT_UNITS];
    static WCHAR programname[SLOT_UNITS];
    memset(slots, 0, sizeof slots);
    memset(args, 0, sizeof args);
    argcount = -1;

    const WCHAR *p = GetCommandLineW();
    while (p != nullptr && *p != 0 && argcount < MAXARGS) {
        WCHAR *dest = argcount == -1 ? programname : slots[argcount];
        p = TakeToken(p, dest, SLOT_UNITS);
        while (*p == 0x20)
            p++;
        argcount++;
    }
    if (argcount < 0)
        argcount = 0;

    // An argument whose ANSI form does not fit its slot stays empty (WideToAnsi is all or nothing).
    for (int i = 0; i < argcount; i++)
        WideToAnsi(args[i], slots[i], MAX_PATH);

    char path[MAX_PATH] = {0};
    GetModuleFileNameA(appinstance, path, MAX_PATH);
    path[MAX_PATH - 1] = '\0';
    char name[MAX_PATH];
    CopyText(name, sizeof name, FileNamePart(path));
    for (size_t i = strlen(name); i > 1; i--)
        if (name[i - 1] == '.') {
            name[i - 1] = '\0';
            break;
        }
    CopyText(modulebasename, sizeof modulebasename, name);
    CopyText(windowtitle, sizeof windowtitle, name);
}

void ShutdownApp()
{
    if (shutdowndone)
        return;
    shutdowndone = true;
    if (palettemode) {
        if (previouspalette != nullptr) {
            SelectPalette(displaydc, previouspalette, TRUE);
            RealizePalette(displaydc);
            previouspalette = nullptr;
        }
        if (apppalette != nullptr) {
            DeleteObject(apppalette);
            apppalette = nullptr;
        }
    }
    DeleteDC(displaydc);
    displaydc = nullptr;
}

int FrameCommand(int command)
{
    if (command == 2) {
        ShutdownApp();
        return 1;
    }
    return 0;
}

// The working copy runs elevated from the user's writable temp folder: DLLs that Windows
// loads on demand must come from the system folder, never from there or the current folder.
static void RestrictDllSearch()
{
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFunction)(DWORD);
    SetDefaultDllDirectoriesFunction setDefaultDllDirectories = (SetDefaultDllDirectoriesFunction)(void *)GetProcAddress(
        GetModuleHandleA("kernel32"), "SetDefaultDllDirectories");
    if (setDefaultDllDirectories != nullptr)
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryA("");
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    RestrictDllSearch();
    mainwindow = nullptr;
    SetLastError(ERROR_SUCCESS);

    currentcursor = LoadCursorA(nullptr, IDC_APPSTARTING);
    waitcursor = LoadCursorA(nullptr, IDC_WAIT);

    displaydc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    SetMapMode(displaydc, MM_TEXT);
    screenwidth = GetDeviceCaps(displaydc, HORZRES);
    screenheight = GetDeviceCaps(displaydc, VERTRES);
    int depth = GetDeviceCaps(displaydc, PLANES) * GetDeviceCaps(displaydc, BITSPIXEL);
    palettemode = depth <= 8;
    if (palettemode) {
        apppalette = CreatePalette(AppPaletteDefinition());
        previouspalette = SelectPalette(displaydc, apppalette, TRUE);
        RealizePalette(displaydc);
    }

    iswow64 = DetectWow64();
    appinstance = instance;
    showcommand = show;
    ProbeEnvironment();

    if (CheckInvocation() && CreateStatusWindow())
        RunUninstall();

    ShutdownApp();
    return 0;
}
