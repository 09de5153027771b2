// The keyboard layout model: the user's Preload and Substitutes lists and the installed
// German-family layouts, read into fixed tables, computed without the target, written back.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum { LAYOUTTABLE_SIZE = 100, LAYOUTERROR_SIZE = 1000 };

struct PreloadEntry {
    char *name;       // value name as read, e.g. "2"
    char *klid;       // value data: the KLID listed in Preload
    char *substitute; // data of the Substitutes value named klid, or none
    int32_t number;   // ParseDecimal(name); the sort key
    bool canonical;   // name is exactly the decimal text of number
    bool standard;    // klid or substitute is a standard KLID
    int32_t newnumber;
    char *newklid;
};

struct SubstituteEntry {
    char *name;
    char *klid;
};

struct LayoutEntry {
    char *klid;
    char *file; // "Layout File", or none
};

extern PreloadEntry preload[LAYOUTTABLE_SIZE];
extern int preloadcount;
extern LayoutEntry layouts[LAYOUTTABLE_SIZE];
extern int layoutcount;
extern int targetindex;
extern PreloadEntry newpreload[LAYOUTTABLE_SIZE];
extern int newpreloadcount;
extern SubstituteEntry newsubstitutes[LAYOUTTABLE_SIZE];
extern int newsubstitutecount;
extern bool listsunchanged;
extern char layouterror[LAYOUTERROR_SIZE];


bool ReadLayoutRegistry();
bool RemoveLayout();
bool WriteLayoutLists();

// The tables' own copy of a text, of at most limit bytes; kept until the process ends.
// None when memory runs out.
char *KeepText(const char *text, size_t limit);

bool IsStandardKlid(const char *text);
bool IsGermanFamilyKlid(const char *text);
int32_t ParseDecimal(const char *text);
bool SameText(const char *a, const char *b);
