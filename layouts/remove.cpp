#include "layouts/layouts.h"
#include "messages/messages.h"
#include "messages/text.h"
#include "uninstall/uninstall.h"
#include <string.h>

// Value names are renumbered for positions 0 to 201; anything outside is dropped.
enum { LOWEST_NUMBER = 0, HIGHEST_NUMBER = 201, UNNUMBERED = 200 };

static char *NewText(const char *text)
{
    return KeepText(text, strlen(text));
}

static bool OutOfMemory()
{
    CopyText(layouterror, sizeof layouterror, "Nicht genügend Arbeitsspeicher zum Neuberechnen der Tastaturbelegungen");
    newpreloadcount = 0;
    newsubstitutecount = 0;
    return false;
}

bool RemoveLayout()
{
    if (targetindex == -1) {
        CopyText(layouterror, sizeof layouterror, "Schlüssel nicht vorhanden");
        return false;
    }
    if (IsStandardKlid(targetklid)) {
        CopyText(layouterror, sizeof layouterror, "Standard-Layout kann nicht entfernt werden");
        return false;
    }

    int target = -1;
    int laststandard = -1;
    bool allsubstituted = true;
    for (int i = 0; i < preloadcount; i++) {
        if (SameText(preload[i].substitute, targetklid))
            target = i;
        if (IsStandardKlid(preload[i].klid))
            laststandard = i;
        if (preload[i].substitute == nullptr)
            allsubstituted = false;
    }
    if (target == -1) {
        // Only a substitute leads to the layout; a KLID listed directly is some other layout's.
        listsunchanged = true;
        return true;
    }

    // When every entry is substituted, one of them inherits the standard KLID so that the
    // list keeps a plain layout name Windows can fall back on.
    int heir = -1;
    if (allsubstituted && laststandard != -1) {
        if (laststandard != target)
            heir = laststandard;
        else if (target > 0)
            heir = target - 1;
        else if (preloadcount > 1)
            heir = 1;
    }

    for (int i = 0; i < preloadcount; i++) {
        PreloadEntry &entry = preload[i];
        if (IsStandardKlid(entry.klid) || IsStandardKlid(entry.substitute))
            entry.standard = true;
        else if (!entry.canonical)
            entry.number = UNNUMBERED;
    }
    if (preload[target].number == 1) {
        int number = 1;
        for (int i = 0; i < preloadcount; i++)
            if (preload[i].standard)
                preload[i].number = number++;
    }

    int position = 0;
    unsigned long substitutecounter = 1;
    newsubstitutecount = 0;
    for (int32_t j = LOWEST_NUMBER; j <= HIGHEST_NUMBER; j++)
        for (int i = 0; i < preloadcount; i++) {
            PreloadEntry &entry = preload[i];
            if (i == target || entry.number != j)
                continue;
            entry.newnumber = ++position;
            if (entry.substitute == nullptr) {
                entry.newklid = entry.klid;
                continue;
            }
            if (i == heir) {
                entry.newklid = NewText(preload[laststandard].klid);
            } else {
                char name[16];
                FormatInto(name, sizeof name, "d%03lx0407", substitutecounter++);
                entry.newklid = NewText(name);
            }
            if (entry.newklid == nullptr)
                return OutOfMemory();
            newsubstitutes[newsubstitutecount].name = entry.newklid;
            newsubstitutes[newsubstitutecount].klid = entry.substitute;
            newsubstitutecount++;
        }
    newpreloadcount = position;

    // Layouts without a substitute are written first, then the substituted ones.
    int n = 0;
    for (int pass = 0; pass < 2; pass++)
        for (int p = 1; p <= newpreloadcount; p++)
            for (int i = 0; i < preloadcount; i++) {
                const PreloadEntry &entry = preload[i];
                if (entry.newnumber != p || (entry.substitute != nullptr) != (pass == 1))
                    continue;
                char name[16];
                FormatInto(name, sizeof name, "%d", (int)entry.newnumber);
                PreloadEntry &out = newpreload[n++];
                out.name = NewText(name);
                if (out.name == nullptr)
                    return OutOfMemory();
                out.klid = entry.newklid;
                out.substitute = entry.substitute;
                out.number = entry.newnumber;
            }
    return true;
}
