#include "messages/messages.h"
#include "messages/text.h"

char errortext[ERRORTEXT_SIZE];

void FormatErrorText(DWORD code)
{
    char *description = nullptr;
    // Some system texts have inserts such as %1; without arguments to fill them, Windows
    // must be told to leave them as they stand, or it reads arguments that were never passed.
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&description, 0, nullptr);
    // Ordinary Windows codes read best in decimal; HRESULT-like codes with high bits set in hex.
    LONG asSigned = (LONG)code;
    if (asSigned >= -65534 && asSigned <= 65535)
        FormatInto(errortext, sizeof errortext, "Fehlercode %d", (int)asSigned);
    else
        FormatInto(errortext, sizeof errortext, "Fehlercode %08lX", (unsigned long)code);
    if (length != 0 && description != nullptr) {
        // A description too long for the buffer is cut at its end; the code stays readable.
        AppendText(errortext, sizeof errortext, ":\n");
        AppendText(errortext, sizeof errortext, description);
    }
    if (description != nullptr)
        LocalFree((HLOCAL)description);
}

void CaptureLastError()
{
    FormatErrorText(GetLastError());
}

int WideToAnsi(char *dest, const WCHAR *src, int capacity)
{
    if (capacity <= 0)
        return 0;
    int count = WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, src, -1, dest, capacity - 1, nullptr, nullptr);
    dest[count] = '\0';
    return count;
}
