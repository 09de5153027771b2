#include "frame/app.h"
#include "messages/messages.h"

char statustext[STATUSTEXT_SIZE];

bool CreateStatusWindow()
{
    WNDCLASSEXA windowclass = {};
    windowclass.cbSize = sizeof windowclass;
    windowclass.style = CS_HREDRAW | CS_VREDRAW;
    windowclass.lpfnWndProc = StatusWindowProc;
    windowclass.cbClsExtra = 0;
    windowclass.cbWndExtra = 0;
    windowclass.hInstance = appinstance;
    windowclass.hIcon = LoadIconA(appinstance, "aaProgramIcon");
    if (windowclass.hIcon == nullptr)
        windowclass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowclass.hCursor = nullptr; // the window sets its cursor on every mouse move
    windowclass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    windowclass.lpszMenuName = nullptr;
    windowclass.lpszClassName = modulebasename;
    windowclass.hIconSm = LoadIconA(appinstance, "aaProgramSmallIcon");
    if (windowclass.hIconSm == nullptr)
        windowclass.hIconSm = windowclass.hIcon;
    RegisterClassExA(&windowclass);

    int width = screenwidth / 4;
    int height = screenheight / 6;
    int x = (screenwidth - width) / 2;
    int y = (screenheight - height) / 2;
    mainwindow = CreateWindowExA(0, modulebasename, windowtitle, WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                 x, y, width, height, nullptr, nullptr, appinstance, nullptr);
    if (mainwindow != nullptr) {
        ShowWindow(mainwindow, showcommand);
        UpdateWindow(mainwindow);
    }
    return true;
}

void SetStatus(const char *fmt, ...)
{
    va_list arguments;
    va_start(arguments, fmt);
    FormatText(statustext, sizeof statustext, fmt, arguments);
    va_end(arguments);
    if (mainwindow != nullptr) {
        // No message loop runs: repaint now so the line shows before the work goes on.
        InvalidateRect(mainwindow, nullptr, TRUE);
        UpdateWindow(mainwindow);
    }
    currentcursor = waitcursor;
    SetCursor(waitcursor);
}

static void RealizeAppPalette(HWND window, bool updatecolours)
{
    HDC dc = GetDC(window);
    SelectPalette(dc, apppalette, FALSE);
    RealizePalette(dc);
    if (updatecolours)
        UpdateColors(dc);
    InvalidateRect(window, nullptr, TRUE);
    ReleaseDC(window, dc);
}

LRESULT CALLBACK StatusWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        SetBkMode(dc, TRANSPARENT);
        RECT client;
        GetClientRect(window, &client);
        DrawTextA(dc, statustext, -1, &client, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_MOUSEMOVE:
        SetCursor(currentcursor);
        return 0;
    case WM_COMMAND:
        return FrameCommand(LOWORD(wparam));
    case WM_DESTROY:
        ShutdownApp();
        return 0;
    case WM_QUERYNEWPALETTE:
        if (palettemode && apppalette != nullptr) {
            RealizeAppPalette(window, false);
            return 1;
        }
        return 0;
    case WM_PALETTECHANGED:
        if (palettemode && apppalette != nullptr && (HWND)wparam != window)
            RealizeAppPalette(window, true);
        return DefWindowProcA(window, message, wparam, lparam);
    default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
}
