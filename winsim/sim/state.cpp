#include "model.h"
#include <stdio.h>

namespace winsim {
namespace model {

static unsigned char FoldChar(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return (unsigned char)(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) // Windows-1252 capitals À..Þ except ×
        return (unsigned char)(c + 32);
    if (c == 0x8A || c == 0x8C || c == 0x8E) // Š Œ Ž
        return (unsigned char)(c + 16);
    return c;
}

std::string Fold(const std::string &text)
{
    std::string out = text;
    for (char &c : out)
        c = (char)FoldChar((unsigned char)c);
    return out;
}

bool SameNoCase(const std::string &a, const std::string &b)
{
    return Fold(a) == Fold(b);
}

bool EndsWithNoCase(const std::string &text, const std::string &suffix)
{
    if (suffix.size() > text.size())
        return false;
    return Fold(text.substr(text.size() - suffix.size())) == Fold(suffix);
}

std::string Hex(DWORD value)
{
    char buffer[16];
    snprintf(buffer, sizeof buffer, "0x%x", (unsigned)value);
    return buffer;
}

static std::unique_ptr<State> state;

void ResetState();

State &S()
{
    if (!state)
        ResetState();
    return *state;
}

uintptr_t NewHandleValue()
{
    // Never reused, not even across Reset: a stale handle from an earlier machine stays invalid.
    static uintptr_t next = 0x1000;
    next += 4;
    return next;
}

static const char *const defaultFolders[] = {
    "C:\\windows",
    "C:\\windows\\system32",
    "C:\\windows\\syswow64",
    "C:\\Program Files",
    "C:\\Program Files (x86)",
    "C:\\Program Files (x86)\\Tavik-Tastaturbelegung",
    "C:\\users\\test\\Desktop",
    "C:\\users\\test\\Temp",
};

State::State()
{
    volume.name = "C:";
    volume.folder = true;
    volume.attributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    hkcu = std::make_shared<RegNode>();
    hkcu->name = "HKCU";
    hklm = std::make_shared<RegNode>();
    hklm->name = "HKLM";
}

static void Defaults()
{
    State &s = S();
    static const char *const exe = "C:\\Program Files (x86)\\Tavik-Tastaturbelegung\\Uninstall_Lorvanis.exe";
    for (const char *folder : defaultFolders)
        AddFolder(folder);
    AddFile(exe, "exe");
    s.modulePath = exe;
    s.tempPath = "C:\\users\\test\\Temp\\";
    SetCommandLine("\"C:\\Program Files (x86)\\Tavik-Tastaturbelegung\\Uninstall_Lorvanis.exe\" b0010407");
    RegAddKey(HKEY_CURRENT_USER, "Keyboard Layout\\Preload");
    RegAddKey(HKEY_CURRENT_USER, "Keyboard Layout\\Substitutes");
    RegAddKey(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Keyboard Layouts");
    RegAddKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    RegAddKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
}

void ResetState()
{
    state.reset(new State());
    Defaults();
}

namespace {
struct StaticInit {
    StaticInit() { ResetState(); }
} staticInit;
} // namespace

bool Injected(const char *call, const std::string &path, DWORD *error)
{
    bool fail = false;
    for (Fault &f : S().faults) {
        if (f.call != call)
            continue;
        if (!f.suffix.empty() && !EndsWithNoCase(path, f.suffix))
            continue;
        if (f.skip > 0) {
            f.skip--;
            continue;
        }
        if (f.times == 0)
            continue;
        if (f.times > 0)
            f.times--;
        if (!fail) {
            fail = true;
            *error = f.error;
        }
    }
    return fail;
}

bool Injected(const char *call, DWORD *error)
{
    return Injected(call, std::string(), error);
}

void Event(const std::string &text)
{
    S().events.push_back(text);
}

void EventFailed(const std::string &text, DWORD error)
{
    S().events.push_back(text + " -> error " + std::to_string(error));
}

void SetError(DWORD error)
{
    S().lastError = error;
}

} // namespace model
} // namespace winsim
