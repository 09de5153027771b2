// Start-up: command-line splitting, the program's base name, display set-up, the status
// window and the process launch.
#include "support.h"
#include "frame/app.h"
#include "messages/messages.h"
#include <algorithm>
#include <string.h>

using fixture::Machine;

namespace {

std::vector<std::string> Split(const std::u16string &commandline)
{
    winsim::SetCommandLineW(commandline);
    appinstance = winsim::ProgramInstance();
    ProbeEnvironment();
    std::vector<std::string> out;
    for (int i = 0; i < argcount; i++)
        out.push_back(args[i]);
    for (int i = argcount; i < MAXARGS; i++)
        EXPECT_STREQ("", args[i]) << "slot " << i << " beyond argcount";
    return out;
}

using Args = std::vector<std::string>;

TEST_F(Machine, CommandLineIsSplitWithoutEscapes)
{
    struct Case {
        std::u16string line;
        Args expected;
    } cases[] = {
        {u"prog.exe", {}},
        {u"\"C:\\a b\\prog.exe\" b0010407", {"b0010407"}},
        {u"prog \"a b\"c d", {"a b", "c", "d"}},        // a quoted token ends at its closing quote
        {u"prog ab\"c d", {"ab\"c", "d"}},              // a quote inside a token is ordinary
        {u"prog \"\"", {""}},                           // an empty argument counts
        {u"prog \"never closed", {"never closed"}},
        {u"prog   x    y   ", {"x", "y"}},              // runs of spaces give no empty arguments
        {u"prog a\tb", {"a\tb"}},                       // a tab does not separate
        {u"prog a\\\"b c", {"a\\\"b", "c"}},            // no backslash escapes
        {u"prog K\u00f6ln", {"K\xf6ln"}},               // Windows-1252
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, Split(c.line)) << std::string(c.line.begin(), c.line.end());
}

TEST_F(Machine, AtMostThirtyArgumentsAreKept)
{
    std::u16string line = u"prog";
    for (int i = 0; i < 31; i++)
        line += u" a" + std::u16string(1, char16_t(u'A' + i));
    Args got = Split(line);
    ASSERT_EQ(30u, got.size());
    EXPECT_EQ("aA", got[0]);
    EXPECT_EQ("a^", got[29]); // 'A' + 29
}

TEST_F(Machine, OverlongTokensAreCutInsideTheirBuffers)
{
    // 300 units: the UTF-16 slot keeps 259 of them, whose ANSI form (259 bytes and the NUL)
    // no longer fits the 259 bytes allowed, so the argument arrives empty; the rest of the
    // token does not become another argument.
    std::u16string longtoken(300, u'k');
    EXPECT_EQ(Args({"", "next"}), Split(u"prog " + longtoken + u" next"));
    std::u16string longprogram(400, u'p');
    EXPECT_EQ(Args({"b0010407"}), Split(longprogram + u" b0010407"));
    EXPECT_EQ(Args({std::string(258, 'k')}), Split(u"prog " + std::u16string(258, u'k')));
}

TEST_F(Machine, BaseNameIsTheFileNameWithoutItsLastExtension)
{
    struct Case {
        const char *path, *base;
    } cases[] = {
        {"C:\\Program Files (x86)\\Tavik-Tastaturbelegung\\Uninstall_Lorvanis.exe", "Uninstall_Lorvanis"},
        {"C:\\x\\Setup.old.exe", "Setup.old"},
        {"C:\\x\\.exe", ".exe"},
        {"C:/x/y/prog", "prog"},
        {"D:prog.exe", "prog"},
    };
    for (const Case &c : cases) {
        winsim::SetModulePath(c.path);
        Split(u"prog");
        EXPECT_STREQ(c.base, modulebasename) << c.path;
        EXPECT_STREQ(c.base, windowtitle) << c.path;
    }
}

TEST_F(Machine, Wow64DetectionUsesTheRunTimeLookup)
{
    winsim::SetWow64(true);
    EXPECT_TRUE(DetectWow64());
    winsim::SetWow64(false);
    EXPECT_FALSE(DetectWow64());
    winsim::SetWow64(true, false); // Windows without IsWow64Process
    EXPECT_FALSE(DetectWow64());
}

TEST_F(Machine, ThePaletteHas256DifferentColoursAndTheReservedSlots)
{
    const LOGPALETTE *palette = AppPaletteDefinition();
    ASSERT_EQ(0x300, palette->palVersion);
    ASSERT_EQ(256, palette->palNumEntries);
    auto rgb = [&](int i) {
        const PALETTEENTRY &e = palette->palPalEntry[i];
        EXPECT_EQ(0, e.peFlags);
        return (unsigned)e.peRed << 16 | (unsigned)e.peGreen << 8 | e.peBlue;
    };
    const unsigned head[10] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080,
                               0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0, 0xD4D0C8};
    const unsigned tail[10] = {0xFFFBF0, 0x1D3652, 0x808080, 0xFF0000, 0x00FF00,
                               0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    for (int i = 0; i < 10; i++) {
        EXPECT_EQ(head[i], rgb(i)) << i;
        EXPECT_EQ(tail[i], rgb(246 + i)) << i;
    }
    std::vector<unsigned> all;
    int cube = 0;
    for (int i = 0; i < 256; i++) {
        unsigned c = rgb(i);
        all.push_back(c);
        auto level = [](unsigned v) { return v % 0x33 == 0; };
        if (level(c >> 16) && level((c >> 8) & 0xFF) && level(c & 0xFF))
            cube++;
    }
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all.end(), std::adjacent_find(all.begin(), all.end()));
    EXPECT_EQ(216, cube);
}

} // namespace
