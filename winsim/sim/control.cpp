// The test control interface over the model.
#include "model.h"

using namespace winsim::model;

namespace winsim {

namespace model {
std::string CursorName(HCURSOR cursor);
void PaintIfNeeded(Window *w);
} // namespace model

void Reset()
{
    ResetState();
}

// Text from the tests: UTF-8 when it is valid UTF-8 (u8"" literals), else Windows-1252 (the
// execution character set the tests are compiled with).
static std::u16string Widen(const char *text)
{
    std::u16string out;
    std::string s = text != nullptr ? text : "";
    bool utf8 = true;
    std::u32string points;
    for (size_t i = 0; i < s.size() && utf8;) {
        unsigned char c = (unsigned char)s[i];
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || i + (size_t)extra >= s.size() + (extra == 0 ? 1 : 0)) {
            utf8 = false;
            break;
        }
        char32_t point = extra == 0 ? c : (char32_t)(c & (0x3F >> extra));
        for (int k = 1; k <= extra; k++) {
            unsigned char d = (unsigned char)s[i + (size_t)k];
            if ((d & 0xC0) != 0x80) {
                utf8 = false;
                break;
            }
            point = (point << 6) | (d & 0x3F);
        }
        points.push_back(point);
        i += (size_t)extra + 1;
    }
    if (utf8) {
        for (char32_t p : points) {
            if (p >= 0x10000) {
                out += (char16_t)(0xD800 + ((p - 0x10000) >> 10));
                out += (char16_t)(0xDC00 + ((p - 0x10000) & 0x3FF));
            } else {
                out += (char16_t)p;
            }
        }
        return out;
    }
    static const char16_t high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    for (unsigned char c : s)
        out += c >= 0x80 && c < 0xA0 ? high[c - 0x80] : (char16_t)c;
    return out;
}

void SetCommandLine(const char *utf8)
{
    S().commandLine = Widen(utf8);
}

void SetCommandLineW(const std::u16string &line)
{
    S().commandLine = line;
}

void SetModulePath(const char *path)
{
    S().modulePath = path != nullptr ? path : "";
}

void SetTempPath(const char *path)
{
    S().tempPath = path != nullptr ? path : "";
}

void SetWow64(bool wow64, bool hasIsWow64Process)
{
    S().wow64 = wow64;
    S().hasIsWow64Process = hasIsWow64Process;
}

void SetScreen(int width, int height, int bitsPerPixel, int planes)
{
    State &s = S();
    s.screenWidth = width;
    s.screenHeight = height;
    s.bitsPerPixel = bitsPerPixel;
    s.planes = planes;
}

void SetIcons(bool hasProgramIcon)
{
    S().hasProgramIcon = hasProgramIcon;
}

HINSTANCE ProgramInstance()
{
    return GetModuleHandleA(nullptr);
}

void FailCall(const char *call, DWORD error, int skip, int times)
{
    S().faults.push_back(Fault{call, "", error, skip, times});
}

void FailCallOn(const char *call, const char *pathSuffix, DWORD error)
{
    S().faults.push_back(Fault{call, pathSuffix != nullptr ? pathSuffix : "", error, 0, -1});
}

void SetErrorText(DWORD code, const char *text)
{
    S().errorTexts[code] = text != nullptr ? text : "";
}

void AnswerBoxes(std::vector<int> answers)
{
    S().answers = std::move(answers);
}

const std::vector<Box> &Boxes()
{
    return S().boxes;
}

const std::vector<std::string> &Events()
{
    return S().events;
}

const std::vector<Launch> &Launches()
{
    return S().launches;
}

const std::vector<WindowInfo> &Windows()
{
    static std::vector<WindowInfo> cache;
    std::vector<WindowInfo> out;
    for (auto &w : S().windows) {
        if (w->destroyed)
            continue;
        WindowInfo info;
        info.handle = w->handle;
        info.className = w->className;
        info.title = w->title;
        info.style = w->style;
        info.exStyle = w->exStyle;
        info.x = w->x;
        info.y = w->y;
        info.width = w->width;
        info.height = w->height;
        info.showCommand = w->showCommand;
        info.classStyle = w->cls.wc.style;
        info.hasIcon = w->cls.wc.hIcon != nullptr;
        info.hasSmallIcon = w->cls.wc.hIconSm != nullptr;
        info.iconIsFallback = w->cls.wc.hIcon == LoadIconA(nullptr, IDI_APPLICATION);
        info.background = w->cls.wc.hbrBackground;
        info.cursorIsNull = w->cls.wc.hCursor == nullptr;
        out.push_back(info);
    }
    cache = out; // assigned in place: references into it stay usable
    return cache;
}

const std::vector<std::string> &Paints()
{
    return S().paints;
}

UINT LastDrawFormat()
{
    return S().lastDrawFormat;
}

int LastBkMode()
{
    return S().lastBkMode;
}

std::string CurrentCursor()
{
    return CursorName(S().cursor);
}

LRESULT Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return SendMessageA(window, message, wparam, lparam);
}

void Resize(HWND window, int width, int height)
{
    Window *w = FindWindowOf(window);
    if (w == nullptr)
        return;
    bool widthChanged = width != w->width, heightChanged = height != w->height;
    w->width = width;
    w->height = height;
    RECT client;
    GetClientRect(window, &client);
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    w = FindWindowOf(window);
    // CS_HREDRAW / CS_VREDRAW: a change of width / height makes the whole window invalid.
    UINT style = w != nullptr ? w->cls.wc.style : 0;
    if (w != nullptr && (((style & CS_HREDRAW) != 0 && widthChanged) || ((style & CS_VREDRAW) != 0 && heightChanged))) {
        w->invalid = true;
        w->erasePending = true;
    }
}

void DeliverPaints()
{
    for (size_t i = 0; i < S().windows.size(); i++)
        PaintIfNeeded(S().windows[i].get());
}

int OpenHandles()
{
    State &s = S();
    return (int)(s.keys.size() + s.finds.size() + s.processes.size() + s.threads.size() + s.dcs.size());
}

int LiveGdiObjects()
{
    return (int)S().palettes.size();
}

int LiveLocalAllocations()
{
    return (int)S().localBlocks.size();
}

std::vector<PALETTEENTRY> CreatedPalette()
{
    return S().lastPalette;
}

bool DisplayHasAppPalette()
{
    State &s = S();
    if (s.lastPaletteHandle == nullptr || s.lastDisplayDc == nullptr)
        return false;
    uintptr_t dc = (uintptr_t)s.lastDisplayDc;
    auto it = s.dcs.find(dc);
    if (it != s.dcs.end())
        return it->second.palette == s.lastPaletteHandle;
    auto dead = s.deadDcs.find(dc);
    return dead != s.deadDcs.end() && dead->second.palette == s.lastPaletteHandle;
}

bool RedirectionOff()
{
    return S().redirectionOff;
}

DWORD SleptMilliseconds()
{
    return S().slept;
}

} // namespace winsim
