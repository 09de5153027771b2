// Shared fixtures of the host tests: a fresh simulated Windows per test, and the machine as
// the layout's installer leaves it.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <winsim/winsim.h>
#include <string>
#include <vector>

namespace fixture {

constexpr const char *productfolder = "C:\\Program Files (x86)\\Tavik-Tastaturbelegung";
constexpr const char *installedexe = "C:\\Program Files (x86)\\Tavik-Tastaturbelegung\\Uninstall_Lorvanis.exe";
constexpr const char *tempcopy = "C:\\users\\test\\Temp\\Uninstall_Lorvanis.exe";
constexpr const char *layoutskey = "System\\CurrentControlSet\\Control\\Keyboard Layouts";
constexpr const char *preloadkey = "Keyboard Layout\\Preload";
constexpr const char *substituteskey = "Keyboard Layout\\Substitutes";
constexpr const char *uninstallentry =
    "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tastaturbelegung DIN Tavik (Ostrelon 3.02)";

struct Value {
    std::string name, data;
};
inline bool operator==(const Value &a, const Value &b) { return a.name == b.name && a.data == b.data; }
inline std::ostream &operator<<(std::ostream &os, const Value &v) { return os << v.name << "=" << v.data; }

inline void SetList(const char *key, const std::vector<Value> &values)
{
    for (const Value &v : values)
        winsim::RegSetString(HKEY_CURRENT_USER, key, v.name.c_str(), v.data.c_str());
}

// Value names and data of a key, in the order the registry enumerates them.
inline std::vector<Value> List(HKEY root, const char *key)
{
    std::vector<Value> out;
    for (auto &nv : winsim::RegValues(root, key)) {
        std::string data = nv.second;
        size_t nul = data.find('\0');
        if (nul != std::string::npos)
            data.resize(nul);
        out.push_back({nv.first, data});
    }
    return out;
}

inline void AddLayout(const char *klid, const char *file = "Lorvanis.DLL")
{
    std::string key = std::string(layoutskey) + "\\" + klid;
    if (file != nullptr)
        winsim::RegSetString(HKEY_LOCAL_MACHINE, key.c_str(), "Layout File", file);
    winsim::RegSetString(HKEY_LOCAL_MACHINE, key.c_str(), "Layout Text", "Deutsch (Tavik)");
    winsim::RegSetString(HKEY_LOCAL_MACHINE, key.c_str(), "Layout Id", "00c0");
}

// What the installer leaves: the layout b0010407, reached from Preload 2 through d0010407,
// the driver in both system folders, the product folder, the shortcut and the Uninstall entry.
inline void InstallLayout()
{
    AddLayout("00000407", "KBDGR.DLL");
    AddLayout("b0010407");
    SetList(preloadkey, {{"1", "00000407"}, {"2", "d0010407"}});
    SetList(substituteskey, {{"d0010407", "b0010407"}});
    winsim::AddFile("C:\\windows\\system32\\Lorvanis.DLL", "driver64");
    winsim::AddFile("C:\\windows\\syswow64\\Lorvanis.DLL", "driver32");
    winsim::AddFile(installedexe, "exe");
    winsim::AddFile("C:\\Program Files (x86)\\Tavik-Tastaturbelegung\\Tastaturbelegung Tavik (V3.02) Schaubild.pdf", "pdf");
    winsim::AddFile("C:\\Program Files (x86)\\Tavik-Tastaturbelegung\\Tastaturbelegung Tavik (V3.02) Schaubild.ico", "ico");
    winsim::AddFile("C:\\users\\test\\Desktop\\Tastaturbelegung Tavik (V3.02) Schaubild.LNK", "lnk");
    winsim::RegSetString(HKEY_LOCAL_MACHINE, uninstallentry, "DisplayName", "Tastaturbelegung DIN Tavik (Ostrelon 3.02)");
    winsim::RegSetString(HKEY_LOCAL_MACHINE, uninstallentry, "UninstallString",
                         "\"C:\\Program Files (x86)\\Tavik-Tastaturbelegung\\Uninstall_Lorvanis.exe\" b0010407");
}

// The events of one kind ("DeleteFileA", "RegSetValueExA", ...) in order.
inline std::vector<std::string> EventsOf(const std::string &call)
{
    std::vector<std::string> out;
    for (const std::string &e : winsim::Events())
        if (e == call || e.compare(0, call.size() + 1, call + " ") == 0)
            out.push_back(e);
    return out;
}

inline std::vector<std::string> BoxTexts()
{
    std::vector<std::string> out;
    for (const winsim::Box &b : winsim::Boxes())
        out.push_back(b.text);
    return out;
}

class Machine : public ::testing::Test {
protected:
    void SetUp() override { winsim::Reset(); }
};

} // namespace fixture
