#include "registry/registry.h"
#include "messages/text.h"
#include <string.h>

char regsubkeyname[REGBUFFER_SIZE];
char regvaluename[REGBUFFER_SIZE];
char regvaluedata[REGBUFFER_SIZE];

static HKEY OpenKey(HKEY parent, const char *path, REGSAM access)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, path, 0, access, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

HKEY RegOpenRead(HKEY parent, const char *path)
{
    return OpenKey(parent, path, KEY_READ);
}

HKEY RegOpenFull(HKEY parent, const char *path)
{
    return OpenKey(parent, path, KEY_ALL_ACCESS);
}

HKEY RegCreate(HKEY parent, const char *path)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    char emptyclass[1] = "";
    if (RegCreateKeyExA(parent, path, 0, emptyclass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        &disposition) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

bool RegSetString(HKEY key, const char *name, const char *text)
{
    // The size leaves the terminator out; Windows stores it all the same, because the byte
    // after the text is the NUL and RegSetValueExA adds it for REG_SZ in that case.
    return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)text, (DWORD)strlen(text)) == ERROR_SUCCESS;
}

DWORD RegCountSubkeys(HKEY key)
{
    DWORD count = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS)
        return 0;
    return count;
}

DWORD RegCountValues(HKEY key)
{
    DWORD count = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS)
        return 0;
    return count;
}

bool RegSubkeyAt(HKEY key, DWORD index)
{
    DWORD length = REGBUFFER_SIZE;
    return RegEnumKeyExA(key, index, regsubkeyname, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool RegValueAt(HKEY key, DWORD index)
{
    // Cleared first: text stored without its NUL then still reads as terminated text.
    memset(regvaluename, 0, sizeof regvaluename);
    memset(regvaluedata, 0, sizeof regvaluedata);
    DWORD namelength = REGBUFFER_SIZE;
    DWORD datalength = REGBUFFER_SIZE;
    DWORD type = 0;
    return RegEnumValueA(key, index, regvaluename, &namelength, nullptr, &type, (BYTE *)regvaluedata, &datalength) ==
           ERROR_SUCCESS;
}

bool RegDeleteSubtree(HKEY parent, const char *name)
{
    if (name == nullptr || name[0] == '\0')
        return false; // an empty name would address the parent itself
    HKEY key = RegOpenFull(parent, name);
    if (key == nullptr)
        return false;
    bool result = true;
    // Last subkey first, so that a deletion does not shift the indices still to come.
    for (DWORD index = RegCountSubkeys(key); index-- > 0;) {
        if (!RegSubkeyAt(key, index)) {
            result = false;
            continue;
        }
        char child[REGBUFFER_SIZE];
        CopyText(child, sizeof child, regsubkeyname); // the recursion overwrites the shared buffer
        if (!RegDeleteSubtree(key, child))
            result = false;
    }
    RegCloseKey(key);
    RegDeleteKeyA(parent, name); // fails while a child is left; the result already says so
    return result;
}
