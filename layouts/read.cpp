#include "layouts/layouts.h"
#include "messages/messages.h"
#include "messages/text.h"
#include "registry/registry.h"
#include "uninstall/uninstall.h"
#include <stdlib.h>
#include <string.h>

PreloadEntry preload[LAYOUTTABLE_SIZE];
int preloadcount;
LayoutEntry layouts[LAYOUTTABLE_SIZE];
int layoutcount;
int targetindex = -1;
PreloadEntry newpreload[LAYOUTTABLE_SIZE];
int newpreloadcount;
SubstituteEntry newsubstitutes[LAYOUTTABLE_SIZE];
int newsubstitutecount;
bool listsunchanged;
char layouterror[LAYOUTERROR_SIZE];

static const char preloadpath[] = "Keyboard Layout\\Preload";
static const char substitutespath[] = "Keyboard Layout\\Substitutes";
static const char layoutspath[] = "System\\CurrentControlSet\\Control\\Keyboard Layouts";

// At most limit bytes are read, so value data that fills its buffer without a NUL is never
// read beyond it.
char *KeepText(const char *text, size_t limit)
{
    size_t length = BoundedLength(text, limit);
    char *copy = (char *)malloc(length + 1);
    if (copy != nullptr) {
        memcpy(copy, text, length);
        copy[length] = '\0';
    }
    return copy;
}

static bool OutOfMemory()
{
    CopyText(layouterror, sizeof layouterror, "Nicht genügend Arbeitsspeicher zum Lesen der Tastaturbelegungen");
    return false;
}

bool IsStandardKlid(const char *text)
{
    return text != nullptr && strlen(text) == 8 && strncmp(text, "00000", 5) == 0;
}

bool IsGermanFamilyKlid(const char *text)
{
    if (text == nullptr || strlen(text) < 8)
        return false;
    const char *language = text + 4;
    return strncmp(language, "0407", 4) == 0 || strncmp(language, "0807", 4) == 0 ||
           strncmp(language, "0C07", 4) == 0 || strncmp(language, "1407", 4) == 0;
}

int32_t ParseDecimal(const char *text)
{
    while (*text == ' ')
        text++;
    bool negative = false;
    if (*text == '-') {
        negative = true;
        text++;
    }
    uint32_t value = 0; // unsigned: the arithmetic wraps like 32-bit Windows code
    for (; *text != '\0'; text++)
        if (*text >= '0' && *text <= '9')
            value = value * 10u + (uint32_t)(*text - '0');
    return (int32_t)(negative ? 0u - value : value);
}

bool SameText(const char *a, const char *b)
{
    if (a == nullptr || b == nullptr)
        return a == b;
    return SameTextNoCase(a, b);
}

static void ClearTables()
{
    memset(preload, 0, sizeof preload);
    memset(layouts, 0, sizeof layouts);
    memset(newpreload, 0, sizeof newpreload);
    memset(newsubstitutes, 0, sizeof newsubstitutes);
    preloadcount = layoutcount = newpreloadcount = newsubstitutecount = 0;
    targetindex = -1;
    listsunchanged = false;
}

static bool ReadPreload(HKEY key)
{
    DWORD count = RegCountValues(key);
    for (DWORD index = 0; index < count; index++) {
        if (!RegValueAt(key, index))
            continue;
        // Rewriting a list we could not hold whole would drop the user's surplus layouts.
        if (preloadcount == LAYOUTTABLE_SIZE) {
            FormatInto(layouterror, sizeof layouterror,
                       "Der Registry-Key HKEY_CURRENT_USER\\%s enthält mehr als %d Einträge.\n"
                       "Die Liste kann nicht ohne Verlust neu geschrieben werden.",
                       preloadpath, LAYOUTTABLE_SIZE);
            return false;
        }
        PreloadEntry &entry = preload[preloadcount];
        entry.name = KeepText(regvaluename, sizeof regvaluename);
        entry.klid = KeepText(regvaluedata, sizeof regvaluedata);
        if (entry.name == nullptr || entry.klid == nullptr)
            return OutOfMemory();
        entry.number = ParseDecimal(entry.name);
        char decimal[16];
        FormatInto(decimal, sizeof decimal, "%d", (int)entry.number);
        entry.canonical = strcmp(decimal, entry.name) == 0;
        preloadcount++;
    }
    return true;
}

static bool ReadSubstitutes(HKEY key)
{
    DWORD count = RegCountValues(key);
    for (DWORD index = 0; index < count; index++) {
        if (!RegValueAt(key, index))
            continue;
        // Only the first entry listing this KLID (letter case counts) gets the substitute.
        for (int i = 0; i < preloadcount; i++)
            if (strcmp(preload[i].klid, regvaluename) == 0) {
                preload[i].substitute = KeepText(regvaluedata, sizeof regvaluedata);
                if (preload[i].substitute == nullptr)
                    return OutOfMemory();
                break;
            }
    }
    return true;
}

static bool ReadLayouts(HKEY key)
{
    DWORD count = RegCountSubkeys(key);
    for (DWORD index = 0; index < count; index++) {
        if (!RegSubkeyAt(key, index) || !IsGermanFamilyKlid(regsubkeyname))
            continue;
        if (layoutcount == LAYOUTTABLE_SIZE) {
            FormatInto(layouterror, sizeof layouterror,
                       "Der Registry-Key HKEY_LOCAL_MACHINE\\%s enthält mehr als %d deutsche Tastaturbelegungen.",
                       layoutspath, LAYOUTTABLE_SIZE);
            return false;
        }
        LayoutEntry &entry = layouts[layoutcount];
        if (SameText(regsubkeyname, targetklid))
            targetindex = layoutcount;
        entry.klid = KeepText(regsubkeyname, sizeof regsubkeyname);
        if (entry.klid == nullptr)
            return OutOfMemory();
        HKEY subkey = RegOpenRead(key, entry.klid);
        if (subkey == nullptr) {
            FormatInto(layouterror, sizeof layouterror, "Fehler beim Öffnen des Registry-Subkeys %s - %s", layoutspath,
                       entry.klid);
            return false;
        }
        DWORD values = RegCountValues(subkey);
        for (DWORD v = 0; v < values; v++) {
            if (RegValueAt(subkey, v) && strcmp(regvaluename, "Layout File") == 0) {
                free(entry.file);
                entry.file = KeepText(regvaluedata, sizeof regvaluedata);
                if (entry.file == nullptr) {
                    RegCloseKey(subkey);
                    return OutOfMemory();
                }
            }
        }
        RegCloseKey(subkey);
        layoutcount++;
    }
    return true;
}

bool ReadLayoutRegistry()
{
    ClearTables();

    HKEY key = RegOpenRead(HKEY_CURRENT_USER, preloadpath);
    if (key == nullptr) {
        FormatInto(layouterror, sizeof layouterror, "Fehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\%s",
                   preloadpath);
        return false;
    }
    bool ok = ReadPreload(key);
    RegCloseKey(key);
    if (!ok)
        return false;

    key = RegOpenRead(HKEY_CURRENT_USER, substitutespath);
    if (key == nullptr) {
        FormatInto(layouterror, sizeof layouterror, "Fehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\%s",
                   substitutespath);
        return false;
    }
    ok = ReadSubstitutes(key);
    RegCloseKey(key);
    if (!ok)
        return false;

    key = RegOpenRead(HKEY_LOCAL_MACHINE, layoutspath);
    if (key == nullptr) {
        FormatInto(layouterror, sizeof layouterror, "Fehler beim Öffnen des Registry-Keys HKEY_LOCAL_MACHINE\\%s",
                   layoutspath);
        return false;
    }
    ok = ReadLayouts(key);
    RegCloseKey(key);
    return ok;
}
