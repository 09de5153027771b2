#include "layouts/layouts.h"
#include "messages/messages.h"
#include "messages/text.h"
#include "registry/registry.h"

static const char layoutkey[] = "Keyboard Layout";

// Deletes one list below the Keyboard Layout key, creates it again and hands back the new
// key, or none with the warning left in layouterror.
static HKEY RecreateList(HKEY parent, const char *name)
{
    if (!RegDeleteSubtree(parent, name)) {
        FormatInto(layouterror, sizeof layouterror, "Warnung:\nFehler beim Löschen des Registry-Keys %s - %s", layoutkey,
                   name);
        return nullptr;
    }
    HKEY key = RegCreate(parent, name);
    if (key == nullptr)
        FormatInto(layouterror, sizeof layouterror, "Warnung:\nFehler beim Wiedererstellen des Registry-Keys %s - %s",
                   layoutkey, name);
    return key;
}

bool WriteLayoutLists()
{
    if (listsunchanged)
        return true;
    if (newpreloadcount == 0) {
        // Nothing would be left in the user's list: never write an empty Preload.
        CopyText(layouterror, sizeof layouterror, "INTERNER FEHLER: newpreloadcount ist 0!");
        return false;
    }
    layouterror[0] = '\0';

    HKEY parent = RegOpenRead(HKEY_CURRENT_USER, layoutkey);
    if (parent == nullptr) {
        FormatInto(layouterror, sizeof layouterror, "Warnung:\nFehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\%s",
                   layoutkey);
        return false;
    }

    HKEY key = RecreateList(parent, "Preload");
    if (key != nullptr) {
        for (int i = 0; i < newpreloadcount; i++)
            RegSetString(key, newpreload[i].name, newpreload[i].klid);
        RegCloseKey(key);
    }

    key = RecreateList(parent, "Substitutes");
    if (key != nullptr) {
        for (int pass = 0; pass < 2; pass++)
            for (int i = 0; i < newsubstitutecount; i++)
                if (IsStandardKlid(newsubstitutes[i].name) == (pass == 0))
                    RegSetString(key, newsubstitutes[i].name, newsubstitutes[i].klid);
        RegCloseKey(key);
    }

    RegCloseKey(parent);
    return layouterror[0] == '\0';
}
