#include "messages/messages.h"
#include "messages/text.h"
#include "frame/app.h"
#include <string.h>

char messagebuffer[MESSAGEBUFFER_SIZE];

// wvsprintfA never writes more than 1024 bytes, terminator included.
enum { WSPRINTF_LIMIT = 1024 };

int FormatText(char *dest, size_t capacity, const char *fmt, va_list arguments)
{
    if (capacity == 0)
        return 0;
    if (fmt == nullptr) {
        CopyText(dest, capacity, "<INTERNER FEHLER: Formatstring fehlt>");
        return 0;
    }
    if (fmt[0] == '\x7f' && fmt[1] == '\x7f') {
        CopyText(dest, capacity, fmt + 2);
        return (int)strlen(fmt + 2);
    }
    if (strchr(fmt, '%') == nullptr) {
        CopyText(dest, capacity, fmt);
        return (int)strlen(fmt);
    }
    // Expand into a buffer of the expander's own limit first: the destination may be
    // smaller than the 1024 bytes wvsprintfA is allowed to write.
    char expanded[WSPRINTF_LIMIT + 1];
    int count = wvsprintfA(expanded, fmt, arguments);
    expanded[WSPRINTF_LIMIT] = '\0';
    if (expanded[0] == '\0')
        CopyText(dest, capacity, fmt); // show the raw format rather than nothing
    else
        CopyText(dest, capacity, expanded);
    return count;
}

int FormatInto(char *dest, size_t capacity, const char *fmt, ...)
{
    va_list arguments;
    va_start(arguments, fmt);
    int count = FormatText(dest, capacity, fmt, arguments);
    va_end(arguments);
    return count;
}

void NormalizeMessageText(char *dest, size_t capacity, const char *src)
{
    if (capacity == 0)
        return;
    size_t n = 0;
    for (; *src != '\0'; src++) {
        unsigned char c = (unsigned char)*src;
        bool breakline = c >= 0x01 && c <= 0x1F && c != '\r' && c != '\n';
        size_t need = breakline ? 2 : 1;
        if (n + need >= capacity)
            break;
        if (breakline) {
            dest[n++] = '\r';
            dest[n++] = '\n';
        } else {
            dest[n++] = (char)c;
        }
    }
    dest[n] = '\0';
}

int ShowMessageBox(const char *text, const char *caption, UINT style)
{
    return MessageBoxA(mainwindow, text, caption, style);
}

static int ShowFormatted(const char *caption, UINT style, const char *fmt, va_list arguments)
{
    char formatted[FORMATBUFFER_SIZE];
    FormatText(formatted, sizeof formatted, fmt, arguments);
    NormalizeMessageText(messagebuffer, sizeof messagebuffer, formatted);
    return ShowMessageBox(messagebuffer, caption, style);
}

int ShowInfo(const char *fmt, ...)
{
    va_list arguments;
    va_start(arguments, fmt);
    int result = ShowFormatted(modulebasename, MB_ICONINFORMATION | MB_OK, fmt, arguments);
    va_end(arguments);
    return result;
}

int AskYesNo(const char *fmt, ...)
{
    va_list arguments;
    va_start(arguments, fmt);
    int result = ShowFormatted(modulebasename, MB_ICONQUESTION | MB_YESNO, fmt, arguments);
    va_end(arguments);
    return result;
}

int ShowWarning(const char *fmt, ...)
{
    va_list arguments;
    va_start(arguments, fmt);
    int result = ShowFormatted(modulebasename, MB_ICONEXCLAMATION | MB_OK, fmt, arguments);
    va_end(arguments);
    return result;
}

int ShowWarningTitled(const char *caption, const char *fmt, ...)
{
    va_list arguments;
    va_start(arguments, fmt);
    int result = ShowFormatted(caption, MB_ICONEXCLAMATION | MB_OK, fmt, arguments);
    va_end(arguments);
    return result;
}
