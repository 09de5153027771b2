// Texts the user sees: the one formatter, the four message boxes and the Windows error text.
#pragma once
#include <windows.h>
#include <stdarg.h>
#include <stddef.h>

// Two DEL bytes at the start of a format text mark the rest as literal.
#define VERBATIM_MARKER "\x7f\x7f"

enum { FORMATBUFFER_SIZE = 5500, MESSAGEBUFFER_SIZE = 32000, ERRORTEXT_SIZE = 2048 };

extern char messagebuffer[MESSAGEBUFFER_SIZE];
extern char errortext[ERRORTEXT_SIZE];

// Formats fmt with the arguments into dest (capacity bytes). Placeholders follow wvsprintfA,
// whose output stops at 1024 bytes. Never writes past dest. Returns the count of characters
// produced (that of wvsprintfA when it expanded, else the length of the literal text).
int FormatText(char *dest, size_t capacity, const char *fmt, va_list arguments);
int FormatInto(char *dest, size_t capacity, const char *fmt, ...);

// Copies src into dest, turning control characters other than CR and LF into CR LF.
void NormalizeMessageText(char *dest, size_t capacity, const char *src);

int ShowMessageBox(const char *text, const char *caption, UINT style);
int ShowInfo(const char *fmt, ...);
int AskYesNo(const char *fmt, ...);
int ShowWarning(const char *fmt, ...);
int ShowWarningTitled(const char *caption, const char *fmt, ...);

void FormatErrorText(DWORD code);
void CaptureLastError();

// UTF-16 to the ANSI code page; all or nothing. Returns the count WideCharToMultiByte gives
// (terminator included), 0 when the text did not fit or could not be converted.
int WideToAnsi(char *dest, const WCHAR *src, int capacity);
