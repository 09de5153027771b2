// Windows, painting, cursors, icons, message boxes, device contexts and palettes.
#include "model.h"
#include <string.h>

namespace winsim {
namespace model {

// Shared handles of the system: cursors, icons, stock objects. Never closed, not counted.
static const uintptr_t cursorBase = 0x00010000;
static const uintptr_t programIcon = 0x00020001;
static const uintptr_t programSmallIcon = 0x00020002;
static const uintptr_t applicationIcon = 0x00020010;
static const uintptr_t warningIcon = 0x00020011;
static const uintptr_t stockBase = 0x00030000;
static const uintptr_t programModule = 0x00400000;

enum { BORDER = 8, CAPTION = 31 };

static const struct {
    WORD id;
    const char *name;
} cursorNames[] = {
    {32512, "IDC_ARROW"}, {32513, "IDC_IBEAM"}, {32514, "IDC_WAIT"}, {32515, "IDC_CROSS"}, {32650, "IDC_APPSTARTING"},
};

std::string CursorName(HCURSOR cursor)
{
    if (cursor == nullptr)
        return "";
    for (auto &c : cursorNames)
        if ((uintptr_t)cursor == cursorBase + c.id)
            return c.name;
    return "unknown";
}

Window *FindWindowOf(HWND window)
{
    for (auto &w : S().windows)
        if (w->handle == window && !w->destroyed)
            return w.get();
    return nullptr;
}

static bool Framed(const Window &w)
{
    return (w.style & (WS_CAPTION | WS_THICKFRAME)) != 0;
}

static RECT ClientOf(const Window &w)
{
    RECT r = {0, 0, w.width, w.height};
    if (Framed(w)) {
        r.right = w.width - 2 * BORDER;
        r.bottom = w.height - CAPTION - BORDER;
    }
    if (r.right < 0)
        r.right = 0;
    if (r.bottom < 0)
        r.bottom = 0;
    return r;
}

static LRESULT Deliver(Window *w, UINT message, WPARAM wparam, LPARAM lparam)
{
    WNDPROC proc = w->cls.wc.lpfnWndProc;
    HWND handle = w->handle;
    return proc != nullptr ? proc(handle, message, wparam, lparam) : DefWindowProcA(handle, message, wparam, lparam);
}

static void Invalidate(Window &w, bool erase)
{
    w.invalid = true;
    if (erase)
        w.erasePending = true;
}

static HDC NewDc(HWND window, bool display)
{
    uintptr_t handle = NewHandleValue();
    DcState dc;
    dc.window = window;
    dc.display = display;
    dc.palette = (HPALETTE)(stockBase + DEFAULT_PALETTE);
    S().dcs[handle] = dc;
    return (HDC)handle;
}

static DcState *DcOf(HDC dc)
{
    auto it = S().dcs.find((uintptr_t)dc);
    return it == S().dcs.end() ? nullptr : &it->second;
}

void PaintIfNeeded(Window *w)
{
    // WM_PAINT goes only to a visible window with something to paint.
    if (w != nullptr && w->visible && w->invalid)
        Deliver(w, WM_PAINT, 0, 0);
}

} // namespace model
} // namespace winsim

using namespace winsim::model;

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName)
{
    DWORD error = 0;
    if (Injected("LoadCursorA", &error)) {
        SetError(error);
        return nullptr;
    }
    if (hInstance == nullptr && IS_INTRESOURCE(lpCursorName))
        for (auto &c : cursorNames)
            if ((uintptr_t)lpCursorName == c.id)
                return (HCURSOR)(cursorBase + c.id);
    SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName)
{
    DWORD error = 0;
    std::string name = lpIconName != nullptr && !IS_INTRESOURCE(lpIconName) ? lpIconName : "";
    if (Injected("LoadIconA", name, &error)) {
        SetError(error);
        return nullptr;
    }
    if (hInstance == nullptr) {
        if (lpIconName == IDI_APPLICATION)
            return (HICON)applicationIcon;
        if (lpIconName == IDI_WARNING)
            return (HICON)warningIcon;
    } else if ((uintptr_t)hInstance == programModule) {
        // The program's resources: only the icon "aaProgramIcon" (when the test leaves it in).
        if (SameNoCase(name, "aaProgramIcon") && S().hasProgramIcon)
            return (HICON)programIcon;
    }
    SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA *lpwcx)
{
    DWORD error = 0;
    if (Injected("RegisterClassExA", &error)) {
        SetError(error);
        return 0;
    }
    if (lpwcx == nullptr || lpwcx->cbSize != sizeof(WNDCLASSEXA) || lpwcx->lpszClassName == nullptr) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string name = IS_INTRESOURCE(lpwcx->lpszClassName) ? "#" + std::to_string((uintptr_t)lpwcx->lpszClassName)
                                                            : std::string(lpwcx->lpszClassName);
    std::string key = Fold(name);
    if (S().classes.count(key) != 0) {
        SetError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    ClassInfo info;
    info.wc = *lpwcx;
    info.name = name;
    // Windows makes a small icon from the large one when none is given.
    if (info.wc.hIconSm == nullptr)
        info.wc.hIconSm = info.wc.hIcon;
    S().classes[key] = info;
    return (ATOM)(0xC000 + S().classes.size());
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam)
{
    DWORD error = 0;
    if (Injected("CreateWindowExA", &error)) {
        SetError(error);
        return nullptr;
    }
    if (lpClassName == nullptr || IS_INTRESOURCE(lpClassName)) {
        SetError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    auto it = S().classes.find(Fold(lpClassName));
    if (it == S().classes.end()) {
        SetError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    std::unique_ptr<Window> w(new Window());
    w->handle = (HWND)NewHandleValue();
    w->className = it->second.name;
    w->title = lpWindowName != nullptr ? lpWindowName : "";
    w->style = dwStyle;
    w->exStyle = dwExStyle;
    w->x = X == CW_USEDEFAULT ? 26 : X;
    w->y = X == CW_USEDEFAULT ? 26 : Y;
    w->width = nWidth == CW_USEDEFAULT ? S().screenWidth * 3 / 4 : nWidth;
    w->height = nWidth == CW_USEDEFAULT ? S().screenHeight * 3 / 4 : nHeight;
    w->parent = hWndParent;
    w->menu = hMenu;
    w->cls = it->second;
    w->visible = (dwStyle & WS_VISIBLE) != 0;
    Invalidate(*w, true); // a new window has everything to paint
    Window *window = w.get();
    S().windows.push_back(std::move(w));

    CREATESTRUCTA create;
    create.lpCreateParams = lpParam;
    create.hInstance = hInstance;
    create.hMenu = hMenu;
    create.hwndParent = hWndParent;
    create.cy = window->height;
    create.cx = window->width;
    create.y = window->y;
    create.x = window->x;
    create.style = (LONG)dwStyle;
    create.lpszName = lpWindowName;
    create.lpszClass = lpClassName;
    create.dwExStyle = dwExStyle;
    HWND handle = window->handle;
    // The creation messages, in the order Windows sends them.
    bool created = Deliver(window, WM_NCCREATE, 0, (LPARAM)&create) != 0;
    if (created && FindWindowOf(handle) != nullptr)
        Deliver(window, WM_NCCALCSIZE, FALSE, 0);
    created = created && FindWindowOf(handle) != nullptr && Deliver(window, WM_CREATE, 0, (LPARAM)&create) != -1;
    if (!created) {
        // The window procedure refused the window: Windows destroys it and CreateWindowExA fails.
        if (FindWindowOf(handle) != nullptr)
            DestroyWindow(handle);
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    RECT client = ClientOf(*window);
    Deliver(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    Deliver(window, WM_MOVE, 0, MAKELPARAM(window->x + (Framed(*window) ? BORDER : 0),
                                           window->y + (Framed(*window) ? CAPTION : 0)));
    return handle;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    Window *w = FindWindowOf(hWnd);
    DWORD error = 0;
    if (!Injected("ShowWindow", &error) && w == nullptr)
        error = ERROR_INVALID_WINDOW_HANDLE;
    if (error != 0) {
        SetError(error);
        return FALSE;
    }
    bool wasVisible = w->visible;
    w->showCommand = nCmdShow;
    bool show = nCmdShow != SW_HIDE;
    if (show != wasVisible) {
        Deliver(w, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
        if (FindWindowOf(hWnd) == nullptr)
            return wasVisible ? TRUE : FALSE;
        w->visible = show;
        if (show)
            Invalidate(*w, true); // style keeps what CreateWindowExA was given

    }
    return wasVisible ? TRUE : FALSE;
}

BOOL WINAPI UpdateWindow(HWND hWnd)
{
    Window *w = FindWindowOf(hWnd);
    DWORD error = 0;
    if (!Injected("UpdateWindow", &error) && w == nullptr)
        error = ERROR_INVALID_WINDOW_HANDLE;
    if (error != 0) {
        SetError(error);
        return FALSE;
    }
    PaintIfNeeded(w); // synchronous, and only when part of the window is invalid
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hWnd, const RECT *, BOOL bErase)
{
    DWORD error = 0;
    if (Injected("InvalidateRect", &error)) {
        SetError(error);
        return FALSE;
    }
    if (hWnd == nullptr) { // every window
        for (auto &w : S().windows)
            if (!w->destroyed)
                Invalidate(*w, bErase != FALSE);
        return TRUE;
    }
    Window *w = FindWindowOf(hWnd);
    if (w == nullptr) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    Invalidate(*w, bErase != FALSE);
    return TRUE;
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor)
{
    HCURSOR previous = S().cursor;
    S().cursor = hCursor;
    return previous;
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    Window *w = FindWindowOf(hWnd);
    if (w == nullptr)
        return 0;
    switch (Msg) {
    case WM_NCCREATE:
        return TRUE;
    case WM_ERASEBKGND: {
        // Fills the client area with the class brush; without a brush nothing is erased.
        if (w->cls.wc.hbrBackground == nullptr)
            return 0;
        w->erases++;
        (void)wParam;
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(hWnd, &paint);
        EndPaint(hWnd, &paint);
        return 0;
    }
    case WM_SETCURSOR:
        // The class cursor, in the client area; a class without one leaves the cursor alone.
        if (LOWORD(lParam) == HTCLIENT && w->cls.wc.hCursor != nullptr)
            SetCursor(w->cls.wc.hCursor);
        return FALSE;
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    default:
        return 0;
    }
}

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint)
{
    Window *w = FindWindowOf(hWnd);
    DWORD error = 0;
    if (!Injected("BeginPaint", &error) && (w == nullptr || lpPaint == nullptr))
        error = ERROR_INVALID_WINDOW_HANDLE;
    if (error != 0) {
        SetError(error);
        return nullptr;
    }
    memset(lpPaint, 0, sizeof *lpPaint);
    HDC dc = NewDc(hWnd, false);
    bool erase = w->erasePending;
    w->erasePending = false;
    w->invalid = false;
    lpPaint->hdc = dc;
    lpPaint->rcPaint = ClientOf(*w);
    if (erase) {
        // WM_ERASEBKGND first; fErase tells the program when nobody erased.
        LRESULT erased = Deliver(w, WM_ERASEBKGND, (WPARAM)dc, 0);
        lpPaint->fErase = erased == 0 ? TRUE : FALSE;
    }
    return dc;
}

BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT *lpPaint)
{
    if (lpPaint == nullptr || FindWindowOf(hWnd) == nullptr)
        return FALSE;
    S().dcs.erase((uintptr_t)lpPaint->hdc);
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect)
{
    Window *w = FindWindowOf(hWnd);
    DWORD error = 0;
    if (!Injected("GetClientRect", &error) && (w == nullptr || lpRect == nullptr))
        error = ERROR_INVALID_WINDOW_HANDLE;
    if (error != 0) {
        SetError(error);
        return FALSE;
    }
    *lpRect = ClientOf(*w);
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect)
{
    Window *w = FindWindowOf(hWnd);
    DWORD error = 0;
    if (!Injected("GetWindowRect", &error) && (w == nullptr || lpRect == nullptr))
        error = ERROR_INVALID_WINDOW_HANDLE;
    if (error != 0) {
        SetError(error);
        return FALSE;
    }
    *lpRect = RECT{w->x, w->y, w->x + w->width, w->y + w->height};
    return TRUE;
}

int WINAPI DrawTextA(HDC hdc, LPCSTR lpchText, int cchText, LPRECT lprc, UINT format)
{
    DcState *dc = DcOf(hdc);
    DWORD error = 0;
    if (!Injected("DrawTextA", &error) && (dc == nullptr || lpchText == nullptr || lprc == nullptr))
        error = ERROR_INVALID_PARAMETER;
    if (error != 0) {
        SetError(error);
        return 0;
    }
    std::string text = cchText < 0 ? std::string(lpchText) : std::string(lpchText, (size_t)cchText);
    if ((format & DT_CALCRECT) != 0) {
        lprc->right = lprc->left + 8 * (LONG)text.size();
        lprc->bottom = lprc->top + 16;
        return 16;
    }
    State &s = S();
    s.paints.push_back(text);
    s.lastDrawFormat = format;
    s.lastBkMode = dc->bkMode;
    Event("paint " + text);
    if (Window *w = FindWindowOf(dc->window))
        w->shownText = text;
    return 16; // the height of one line of the system font
}

HDC WINAPI GetDC(HWND hWnd)
{
    DWORD error = 0;
    if (!Injected("GetDC", &error) && hWnd != nullptr && FindWindowOf(hWnd) == nullptr)
        error = ERROR_INVALID_WINDOW_HANDLE;
    if (error != 0) {
        SetError(error);
        return nullptr;
    }
    return NewDc(hWnd, false);
}

int WINAPI ReleaseDC(HWND, HDC hDC)
{
    auto it = S().dcs.find((uintptr_t)hDC);
    if (it == S().dcs.end() || it->second.display)
        return 0; // DeleteDC frees a DC made by CreateDCA
    S().dcs.erase(it);
    return 1;
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    State &s = S();
    std::string caption = lpCaption != nullptr ? lpCaption : "Fehler"; // German Windows' default caption
    std::string event = "MessageBoxA " + caption;
    DWORD error = 0;
    if (!Injected("MessageBoxA", &error) && hWnd != nullptr && FindWindowOf(hWnd) == nullptr)
        error = ERROR_INVALID_WINDOW_HANDLE;
    if (error != 0) {
        EventFailed(event, error);
        SetError(error);
        return 0;
    }
    Event(event);
    // The box runs a modal message loop: the owner gets its pending WM_PAINT meanwhile.
    Window *owner = FindWindowOf(hWnd);
    PaintIfNeeded(owner);
    owner = FindWindowOf(hWnd);
    winsim::Box box;
    box.owner = hWnd;
    box.caption = caption;
    box.text = lpText != nullptr ? lpText : "";
    box.style = uType;
    box.statusline = owner != nullptr ? owner->shownText : "";
    if (!s.answers.empty()) {
        box.result = s.answers.front();
        s.answers.erase(s.answers.begin());
    } else {
        // Unscripted: an OK box is simply confirmed; any other box stays unanswered (0).
        box.result = (uType & MB_TYPEMASK) == MB_OK ? IDOK : 0;
    }
    s.boxes.push_back(box);
    return box.result;
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    Window *w = FindWindowOf(hWnd);
    if (w == nullptr) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return Deliver(w, Msg, wParam, lParam);
}

BOOL WINAPI DestroyWindow(HWND hWnd)
{
    Window *w = FindWindowOf(hWnd);
    DWORD error = 0;
    if (!Injected("DestroyWindow", &error) && w == nullptr)
        error = ERROR_INVALID_WINDOW_HANDLE;
    if (error != 0) {
        SetError(error);
        return FALSE;
    }
    Deliver(w, WM_DESTROY, 0, 0);
    Deliver(w, WM_NCDESTROY, 0, 0);
    w->destroyed = true;
    w->visible = false;
    return TRUE;
}

// ---- gdi32 ----------------------------------------------------------------------------------

HDC WINAPI CreateDCA(LPCSTR pwszDriver, LPCSTR, LPCSTR, const DEVMODEA *)
{
    DWORD error = 0;
    if (!Injected("CreateDCA", &error) && (pwszDriver == nullptr || !SameNoCase(pwszDriver, "DISPLAY")))
        error = ERROR_INVALID_PARAMETER;
    if (error != 0) {
        SetError(error);
        return nullptr;
    }
    HDC dc = NewDc(nullptr, true);
    S().lastDisplayDc = dc;
    return dc;
}

BOOL WINAPI DeleteDC(HDC hdc)
{
    auto it = S().dcs.find((uintptr_t)hdc);
    if (it == S().dcs.end()) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    S().deadDcs[it->first] = it->second;
    S().dcs.erase(it);
    return TRUE;
}

int WINAPI SetMapMode(HDC hdc, int iMode)
{
    DcState *dc = DcOf(hdc);
    if (dc == nullptr || iMode < 1 || iMode > 8)
        return 0;
    int previous = dc->mapMode;
    dc->mapMode = iMode;
    return previous;
}

int WINAPI GetDeviceCaps(HDC hdc, int index)
{
    State &s = S();
    if (DcOf(hdc) == nullptr)
        return 0;
    bool palette = s.bitsPerPixel * s.planes <= 8;
    switch (index) {
    case HORZRES:
        return s.screenWidth;
    case VERTRES:
        return s.screenHeight;
    case BITSPIXEL:
        return s.bitsPerPixel;
    case PLANES:
        return s.planes;
    case NUMCOLORS:
        return palette ? 20 : -1;
    case SIZEPALETTE:
        return palette ? 1 << (s.bitsPerPixel * s.planes) : 0;
    case NUMRESERVED:
        return palette ? 20 : 0;
    case RASTERCAPS:
        return palette ? RC_PALETTE : 0;
    default:
        return 0;
    }
}

HPALETTE WINAPI CreatePalette(const LOGPALETTE *plpal)
{
    DWORD error = 0;
    if (!Injected("CreatePalette", &error) && (plpal == nullptr || plpal->palVersion != 0x300 ||
                                               plpal->palNumEntries == 0))
        error = ERROR_INVALID_PARAMETER;
    if (error != 0) {
        SetError(error);
        return nullptr;
    }
    std::vector<PALETTEENTRY> entries(plpal->palPalEntry, plpal->palPalEntry + plpal->palNumEntries);
    uintptr_t handle = NewHandleValue();
    State &s = S();
    s.palettes.insert(handle);
    s.paletteEntries[handle] = entries;
    s.lastPalette = entries;
    s.lastPaletteHandle = (HPALETTE)handle;
    return (HPALETTE)handle;
}

HPALETTE WINAPI SelectPalette(HDC hdc, HPALETTE hPal, BOOL)
{
    DcState *dc = DcOf(hdc);
    bool known = S().palettes.count((uintptr_t)hPal) != 0 || (uintptr_t)hPal == stockBase + DEFAULT_PALETTE;
    if (dc == nullptr || !known) {
        SetError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HPALETTE previous = dc->palette;
    dc->palette = hPal;
    return previous;
}

UINT WINAPI RealizePalette(HDC hdc)
{
    DcState *dc = DcOf(hdc);
    if (dc == nullptr)
        return GDI_ERROR;
    State &s = S();
    if (s.bitsPerPixel * s.planes > 8)
        return 0; // nothing to map on a true-colour display
    auto it = s.paletteEntries.find((uintptr_t)dc->palette);
    return it == s.paletteEntries.end() ? 0 : (UINT)it->second.size();
}

BOOL WINAPI UpdateColors(HDC hdc)
{
    return DcOf(hdc) != nullptr ? TRUE : FALSE;
}

int WINAPI SetBkMode(HDC hdc, int mode)
{
    DcState *dc = DcOf(hdc);
    if (dc == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int previous = dc->bkMode;
    dc->bkMode = mode;
    return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ ho)
{
    uintptr_t h = (uintptr_t)ho;
    if (S().palettes.erase(h) != 0)
        return TRUE;
    if (h >= stockBase && h < stockBase + 32)
        return TRUE; // deleting a stock object is allowed and does nothing
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

HGDIOBJ WINAPI GetStockObject(int i)
{
    if (i < 0 || i > 19)
        return nullptr;
    return (HGDIOBJ)(stockBase + (uintptr_t)i);
}
