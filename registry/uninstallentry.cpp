#include "registry/registry.h"

bool WriteUninstallEntry(const char *entryname)
{
    // No WOW64 view flag: a 32-bit build reaches the entry where its 32-bit installer wrote it.
    HKEY uninstall = RegCreate(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    if (uninstall == nullptr)
        return false;
    RegDeleteSubtree(uninstall, entryname);
    RegCloseKey(uninstall);
    return true;
}
