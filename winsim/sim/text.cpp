// Text services: wvsprintfA, WideCharToMultiByte for code page 1252, FormatMessageA with the
// German system messages, LocalAlloc/LocalFree.
#include "model.h"
#include <stdlib.h>
#include <string.h>

namespace winsim {
namespace model {

// German Windows' texts for the common system error codes.
static const struct {
    DWORD code;
    const char *text;
} germanTexts[] = {
    {0, "Der Vorgang wurde erfolgreich beendet.\r\n"},
    {1, "Unzulässige Funktion.\r\n"},
    {2, "Das System kann die angegebene Datei nicht finden.\r\n"},
    {3, "Das System kann den angegebenen Pfad nicht finden.\r\n"},
    {4, "Das System kann die Datei nicht öffnen.\r\n"},
    {5, "Zugriff verweigert\r\n"},
    {6, "Das Handle ist ungültig.\r\n"},
    {8, "Nicht genügend Speicher verfügbar, um diesen Befehl zu verarbeiten.\r\n"},
    {14, "Nicht genügend Speicher verfügbar, um diesen Vorgang abzuschließen.\r\n"},
    {15, "Das System kann das angegebene Laufwerk nicht finden.\r\n"},
    {18, "Es sind keine weiteren Dateien vorhanden.\r\n"},
    {19, "Das Medium ist schreibgeschützt.\r\n"},
    {21, "Das Gerät ist nicht bereit.\r\n"},
    {32, "Der Prozess kann nicht auf die Datei zugreifen, da sie von einem anderen Prozess verwendet wird.\r\n"},
    {33, "Der Prozess kann nicht auf die Datei zugreifen, da ein anderer Prozess einen Teil der Datei gesperrt hat.\r\n"},
    {39, "Der Datenträger ist voll.\r\n"},
    {50, "Die Anforderung wird nicht unterstützt.\r\n"},
    {80, "Die Datei ist vorhanden.\r\n"},
    {87, "Falscher Parameter.\r\n"},
    {112, "Auf dem Datenträger ist nicht genügend Speicherplatz vorhanden.\r\n"},
    {120, "Diese Funktion wird auf diesem System nicht unterstützt.\r\n"},
    {122, "Der an einen Systemaufruf übergebene Datenbereich ist zu klein.\r\n"},
    {123, "Die Syntax für den Dateinamen, Verzeichnisnamen oder die Datenträgerbezeichnung ist falsch.\r\n"},
    {126, "Das angegebene Modul wurde nicht gefunden.\r\n"},
    {127, "Die angegebene Prozedur wurde nicht gefunden.\r\n"},
    {145, "Das Verzeichnis ist nicht leer.\r\n"},
    {183, "Eine Datei kann nicht erstellt werden, wenn sie bereits vorhanden ist.\r\n"},
    {193, "%1 ist keine zulässige Win32-Anwendung.\r\n"},
    {206, "Der Dateiname oder die Erweiterung ist zu lang.\r\n"},
    {234, "Weitere Daten sind verfügbar.\r\n"},
    {259, "Es sind keine weiteren Daten vorhanden.\r\n"},
    {267, "Der Verzeichnisname ist ungültig.\r\n"},
    {740, "Der angeforderte Vorgang erfordert erhöhte Rechte.\r\n"},
    {998, "Unzulässiger Zugriff auf einen Speicherbereich.\r\n"},
    {1010, "Der Konfigurationsregistrierungsschlüssel ist ungültig.\r\n"},
    {1011, "Der Konfigurationsregistrierungsschlüssel konnte nicht geöffnet werden.\r\n"},
    {1012, "Der Konfigurationsregistrierungsschlüssel konnte nicht gelesen werden.\r\n"},
    {1013, "Der Konfigurationsregistrierungsschlüssel konnte nicht geschrieben werden.\r\n"},
    {1018, "Unzulässiger Vorgang für einen Registrierungsschlüssel, der zum Löschen markiert wurde.\r\n"},
    {1223, "Der Vorgang wurde vom Benutzer abgebrochen.\r\n"},
    {1314, "Dem Client fehlt ein erforderliches Recht.\r\n"},
    {1400, "Ungültiges Fensterhandle.\r\n"},
};

static bool LookupText(DWORD code, std::string &text)
{
    auto it = S().errorTexts.find(code);
    if (it != S().errorTexts.end()) {
        if (it->second.empty())
            return false; // removed by the test
        text = it->second;
        return true;
    }
    for (auto &entry : germanTexts)
        if (entry.code == code) {
            text = entry.text;
            return true;
        }
    return false;
}

// Unicode code points of the bytes 0x80..0x9F in Windows-1252 (the rest is Latin-1). The five
// unassigned bytes map to the C1 controls of the same value, as Windows' table has it.
static const char16_t high1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

static int To1252(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return (int)c;
    for (int i = 0; i < 32; i++)
        if (high1252[i] == c)
            return 0x80 + i;
    return -1;
}

// The precomposed letter for base + combining mark, when Unicode has one.
static char32_t Compose(char32_t base, char32_t mark)
{
    static const struct {
        char32_t mark;
        const char *bases;
        const char16_t *composed;
    } table[] = {
        {0x0300, "AEIOUaeiou", u"ÀÈÌÒÙàèìòù"},
        {0x0301, "AEIOUYaeiouy", u"ÁÉÍÓÚÝáéíóúý"},
        {0x0302, "AEIOUaeiou", u"ÂÊÎÔÛâêîôû"},
        {0x0303, "ANOano", u"ÃÑÕãñõ"},
        {0x0308, "AEIOUYaeiouy", u"ÄËÏÖÜŸäëïöüÿ"},
        {0x030A, "Aa", u"Åå"},
        {0x0327, "Cc", u"Çç"},
        {0x030C, "SZsz", u"ŠŽšž"},
    };
    for (auto &row : table)
        if (row.mark == mark)
            for (int i = 0; row.bases[i] != '\0'; i++)
                if ((char32_t)row.bases[i] == base)
                    return row.composed[i];
    return 0;
}

} // namespace model
} // namespace winsim

using namespace winsim::model;

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes)
{
    DWORD error = 0;
    if (Injected("LocalAlloc", &error)) {
        SetError(error);
        return nullptr;
    }
    void *block = (uFlags & LMEM_ZEROINIT) != 0 ? calloc(1, uBytes + 1) : malloc(uBytes + 1);
    S().localBlocks.insert(block);
    return block;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem)
{
    if (hMem == nullptr)
        return nullptr;
    if (S().localBlocks.erase(hMem) == 0) {
        SetError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    free(hMem);
    return nullptr;
}

DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPSTR lpBuffer,
                            DWORD nSize, va_list *Arguments)
{
    DWORD error = 0;
    if (Injected("FormatMessageA", &error)) {
        SetError(error);
        return 0;
    }
    std::string text;
    if ((dwFlags & FORMAT_MESSAGE_FROM_STRING) != 0 && lpSource != nullptr) {
        text = (const char *)lpSource;
    } else if ((dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) != 0) {
        WORD primary = dwLanguageId & 0x3FF;
        if (primary != LANG_NEUTRAL && primary != LANG_GERMAN) {
            SetError(ERROR_RESOURCE_LANG_NOT_FOUND); // only the German messages are installed
            return 0;
        }
        if (!LookupText(dwMessageId, text)) {
            SetError(ERROR_MR_MID_NOT_FOUND);
            return 0;
        }
    } else {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // Inserts (%1 ...) need arguments unless FORMAT_MESSAGE_IGNORE_INSERTS is given; without
    // either Windows would read arguments that are not there. winsim refuses the call instead.
    if ((dwFlags & FORMAT_MESSAGE_IGNORE_INSERTS) == 0) {
        for (size_t i = 0; i + 1 < text.size(); i++)
            if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9' && Arguments == nullptr) {
                SetError(ERROR_INVALID_PARAMETER);
                return 0;
            }
    }
    if ((dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
        if (lpBuffer == nullptr) {
            SetError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        size_t size = text.size() + 1 > nSize ? text.size() + 1 : nSize;
        char *block = (char *)LocalAlloc(LMEM_FIXED, size);
        memcpy(block, text.c_str(), text.size() + 1);
        *(char **)lpBuffer = block;
        return (DWORD)text.size();
    }
    if (lpBuffer == nullptr || nSize < text.size() + 1) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(lpBuffer, text.c_str(), text.size() + 1);
    return (DWORD)text.size();
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar, LPBOOL lpUsedDefaultChar)
{
    DWORD error = 0;
    if (Injected("WideCharToMultiByte", &error)) {
        SetError(error);
        return 0;
    }
    if (lpWideCharStr == nullptr || cchWideChar == 0 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && lpMultiByteStr == nullptr)) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    bool utf8 = CodePage == CP_UTF8;
    if (!utf8 && CodePage != CP_ACP && CodePage != 1252) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (utf8 && (dwFlags != 0 || lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr)) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t count = 0;
    if (cchWideChar < 0) {
        while (lpWideCharStr[count] != 0)
            count++;
        count++; // the terminator is converted and counted too
    } else {
        count = (size_t)cchWideChar;
    }
    char fallback = lpDefaultChar != nullptr ? *lpDefaultChar : '?';
    std::string out;
    bool usedDefault = false;
    for (size_t i = 0; i < count; i++) {
        char32_t c = lpWideCharStr[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && lpWideCharStr[i + 1] >= 0xDC00 &&
            lpWideCharStr[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (lpWideCharStr[i + 1] - 0xDC00);
            i++;
        }
        if (utf8) {
            if (c < 0x80) {
                out += (char)c;
            } else if (c < 0x800) {
                out += (char)(0xC0 | (c >> 6));
                out += (char)(0x80 | (c & 0x3F));
            } else if (c < 0x10000) {
                out += (char)(0xE0 | (c >> 12));
                out += (char)(0x80 | ((c >> 6) & 0x3F));
                out += (char)(0x80 | (c & 0x3F));
            } else {
                out += (char)(0xF0 | (c >> 18));
                out += (char)(0x80 | ((c >> 12) & 0x3F));
                out += (char)(0x80 | ((c >> 6) & 0x3F));
                out += (char)(0x80 | (c & 0x3F));
            }
            continue;
        }
        // WC_COMPOSITECHECK: a letter followed by a combining mark becomes the precomposed
        // letter when the code page has it.
        if ((dwFlags & WC_COMPOSITECHECK) != 0 && i + 1 < count) {
            char32_t composed = Compose(c, lpWideCharStr[i + 1]);
            if (composed != 0 && To1252(composed) >= 0) {
                out += (char)To1252(composed);
                i++;
                continue;
            }
        }
        int b = To1252(c);
        if (b < 0) {
            out += fallback;
            usedDefault = true;
        } else {
            out += (char)b;
        }
    }
    if (lpUsedDefaultChar != nullptr)
        *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
    if (cbMultiByte == 0)
        return (int)out.size();
    if (out.size() > (size_t)cbMultiByte) {
        // What fits is written, never more than cbMultiByte bytes; the call fails.
        memcpy(lpMultiByteStr, out.data(), (size_t)cbMultiByte);
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(lpMultiByteStr, out.data(), out.size());
    return (int)out.size();
}

// ---- wvsprintfA ------------------------------------------------------------------------------

namespace {

enum { WSPRINTF_LIMIT = 1024 };

struct Output {
    char *dest;
    int count = 0;
    bool full = false;
    void Put(char c)
    {
        if (count >= WSPRINTF_LIMIT - 1) {
            full = true;
            return;
        }
        dest[count++] = c;
    }
};

void Pad(Output &out, int n, char c)
{
    for (int i = 0; i < n; i++)
        out.Put(c);
}

} // namespace

// The wsprintf rules: %[-][#][0][width][.precision][l|h]type with the types c C d i s S u x X;
// no floating point, no '*'. Output stops at 1023 characters plus the terminator. An unknown
// type letter is copied as it is.
int WINAPI wvsprintfA(LPSTR buffer, LPCSTR format, va_list arglist)
{
    Output out;
    out.dest = buffer;
    va_list args;
    va_copy(args, arglist);
    const char *p = format;
    while (*p != '\0' && !out.full) {
        if (*p != '%') {
            out.Put(*p++);
            continue;
        }
        p++;
        if (*p == '%') {
            out.Put('%');
            p++;
            continue;
        }
        bool left = false, zero = false, prefix = false;
        for (;; p++) {
            if (*p == '-')
                left = true;
            else if (*p == '#')
                prefix = true;
            else if (*p == '0')
                zero = true;
            else
                break;
        }
        int width = 0;
        while (*p >= '0' && *p <= '9')
            width = width * 10 + (*p++ - '0');
        int precision = -1;
        if (*p == '.') {
            p++;
            precision = 0;
            while (*p >= '0' && *p <= '9')
                precision = precision * 10 + (*p++ - '0');
        }
        bool longArg = false, shortArg = false;
        if (*p == 'l') {
            longArg = true;
            p++;
        } else if (*p == 'h') {
            shortArg = true;
            p++;
        }
        char type = *p;
        if (type == '\0')
            break;
        p++;
        std::string text;
        bool number = false;
        switch (type) {
        case 'c':
        case 'C': {
            bool wide = type == 'C' ? !shortArg : longArg;
            int c = va_arg(args, int);
            if (wide) {
                char16_t w = (char16_t)c;
                char b;
                if (WideCharToMultiByte(CP_ACP, 0, &w, 1, &b, 1, nullptr, nullptr) == 1)
                    text = std::string(1, b);
            } else {
                text = std::string(1, (char)c);
            }
            break;
        }
        case 's':
        case 'S': {
            bool wide = type == 'S' ? !shortArg : longArg;
            const void *arg = va_arg(args, const void *);
            if (arg == nullptr) {
                text = "(null)";
            } else if (wide) {
                const char16_t *w = (const char16_t *)arg;
                for (; *w != 0; w++) {
                    char b = '?';
                    WideCharToMultiByte(CP_ACP, 0, w, 1, &b, 1, nullptr, nullptr);
                    text += b;
                }
            } else {
                text = (const char *)arg;
            }
            if (precision >= 0 && (int)text.size() > precision)
                text.resize((size_t)precision);
            break;
        }
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X': {
            number = true;
            // 32-bit Windows: int and long are both 32 bits; read what the caller passed.
            uint32_t raw = longArg ? (uint32_t)va_arg(args, long) : (uint32_t)va_arg(args, int);
            if (shortArg)
                raw = (type == 'd' || type == 'i') ? (uint32_t)(int32_t)(int16_t)raw : (uint16_t)raw;
            bool negative = false;
            uint32_t magnitude = raw;
            if ((type == 'd' || type == 'i') && (int32_t)raw < 0) {
                negative = true;
                magnitude = 0u - raw;
            }
            const char *digits = type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
            unsigned base = (type == 'x' || type == 'X') ? 16 : 10;
            std::string body;
            do {
                body.insert(body.begin(), digits[magnitude % base]);
                magnitude /= base;
            } while (magnitude != 0);
            if (precision >= 0) {
                if (precision == 0 && raw == 0)
                    body.clear();
                while ((int)body.size() < precision)
                    body.insert(body.begin(), '0');
            }
            std::string sign = negative ? "-" : "";
            if (prefix && base == 16 && raw != 0)
                sign = type == 'X' ? "0X" : "0x";
            int fill = width - (int)(sign.size() + body.size());
            if (left) {
                text = sign + body;
                Pad(out, 0, ' ');
            } else if (zero && precision < 0) {
                text = sign + std::string(fill > 0 ? (size_t)fill : 0, '0') + body;
            } else {
                text = sign + body;
            }
            break;
        }
        default:
            text = std::string(1, type);
            width = 0;
            break;
        }
        (void)number;
        int fill = width - (int)text.size();
        if (!left && fill > 0)
            Pad(out, fill, ' ');
        for (char c : text)
            out.Put(c);
        if (left && fill > 0)
            Pad(out, fill, ' ');
    }
    va_end(args);
    buffer[out.count] = '\0';
    return out.count;
}

int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...)
{
    va_list args;
    va_start(args, format);
    int count = wvsprintfA(buffer, format, args);
    va_end(args);
    return count;
}
