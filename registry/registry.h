// Thin helpers over the registry. They show nothing: failures come back as NULL or false and
// the caller words its own message.
#pragma once
#include <windows.h>

enum { REGBUFFER_SIZE = MAX_PATH };

// Shared enumeration buffers, overwritten by every call that fills them.
extern char regsubkeyname[REGBUFFER_SIZE];
extern char regvaluename[REGBUFFER_SIZE];
extern char regvaluedata[REGBUFFER_SIZE]; // raw bytes; may be full with no NUL inside

HKEY RegOpenRead(HKEY parent, const char *path);
HKEY RegOpenFull(HKEY parent, const char *path);
HKEY RegCreate(HKEY parent, const char *path);
bool RegSetString(HKEY key, const char *name, const char *text);
DWORD RegCountSubkeys(HKEY key);
bool RegSubkeyAt(HKEY key, DWORD index);
DWORD RegCountValues(HKEY key);
bool RegValueAt(HKEY key, DWORD index);
bool RegDeleteSubtree(HKEY parent, const char *name);

bool WriteUninstallEntry(const char *entryname);
