// The formatter, the message boxes and the Windows error text.
#include "support.h"
#include "frame/app.h"
#include "messages/messages.h"
#include <string.h>

using fixture::Machine;

namespace {

std::string Format(size_t capacity, const char *fmt, ...)
{
    std::vector<char> buffer(capacity + 16, '#'); // sentinel bytes after the capacity
    va_list arguments;
    va_start(arguments, fmt);
    FormatText(buffer.data(), capacity, fmt, arguments);
    va_end(arguments);
    for (size_t i = capacity; i < buffer.size(); i++)
        EXPECT_EQ('#', buffer[i]) << "written past the destination at " << i;
    return std::string(buffer.data());
}

TEST_F(Machine, FormatTextFollowsItsFourRules)
{
    EXPECT_EQ("Lösche %s ...", Format(100, "\x7f\x7fLösche %s ...", "ignored"));
    EXPECT_EQ("Deinstallation abgebrochen.", Format(100, "Deinstallation abgebrochen."));
    EXPECT_EQ("100% sicher", Format(100, "100%% sicher"));
    EXPECT_EQ("%s", Format(100, "%s", "")); // empty expansion shows the raw format
    EXPECT_EQ("", Format(100, ""));
    EXPECT_EQ("<INTERNER FEHLER: Formatstring fehlt>", Format(100, nullptr));
    EXPECT_EQ("Aufruf von b0010407 ...", Format(100, "Aufruf von %s ...", "b0010407"));
}

TEST_F(Machine, LongTextsAreShownWholeOrCutAtTheExpanderLimit)
{
    std::string literal(800, 'x');
    EXPECT_EQ(literal, Format(5500, literal.c_str()));
    std::string argument(3000, 'y');
    std::string expanded = Format(5500, "a%sb", argument.c_str());
    EXPECT_EQ(1023u, expanded.size());
    EXPECT_EQ('a', expanded[0]);
}

TEST_F(Machine, FormatTextNeverOverrunsASmallDestination)
{
    // The status line holds 501 bytes, less than the expander may produce.
    std::string argument(900, 'p');
    EXPECT_EQ(500u, Format(501, "Lösche %s ...", argument.c_str()).size());
    std::string literal(700, 'q');
    EXPECT_EQ(500u, Format(501, literal.c_str()).size());
}

TEST_F(Machine, NormalizeTurnsControlCharactersIntoLineBreaks)
{
    char out[64];
    NormalizeMessageText(out, sizeof out, "eins\tzwei\ndrei\r\n\x01");
    EXPECT_STREQ("eins\r\nzwei\ndrei\r\n\r\n", out);
}

TEST_F(Machine, TheFourBoxesHaveTheirStyleCaptionAndOwner)
{
    strcpy(modulebasename, "Uninstall_Lorvanis");
    mainwindow = nullptr;
    winsim::AnswerBoxes({IDOK, IDNO, IDOK, IDOK});
    EXPECT_EQ(IDOK, ShowInfo("Info %s", "a"));
    EXPECT_EQ(IDNO, AskYesNo("Frage\tzwei"));
    EXPECT_EQ(IDOK, ShowWarning("Warnung"));
    EXPECT_EQ(IDOK, ShowWarningTitled("Tastaturtreiber-Deinstallation", "Titel %s", "x"));
    const auto &boxes = winsim::Boxes();
    ASSERT_EQ(4u, boxes.size());
    struct Expected {
        UINT style;
        const char *caption, *text;
    } expected[] = {
        {64, "Uninstall_Lorvanis", "Info a"},
        {36, "Uninstall_Lorvanis", "Frage\r\nzwei"},
        {48, "Uninstall_Lorvanis", "Warnung"},
        {48, "Tastaturtreiber-Deinstallation", "Titel x"},
    };
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(expected[i].style, boxes[i].style) << i;
        EXPECT_EQ(expected[i].caption, boxes[i].caption) << i;
        EXPECT_EQ(expected[i].text, boxes[i].text) << i;
        EXPECT_EQ(nullptr, boxes[i].owner) << i;
    }
}

TEST_F(Machine, ABoxThatCannotBeShownCountsAsNo)
{
    winsim::FailCall("MessageBoxA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(0, AskYesNo("Soll folgender Tastatur-Treiber deinstalliert werden?\n\n%s", "x"));
}

TEST_F(Machine, ErrorTextNamesTheCodeAndTheSystemDescription)
{
    struct Case {
        DWORD code;
        const char *number;
    } cases[] = {
        {5, "Fehlercode 5"},
        {65535, "Fehlercode 65535"},
        {65536, "Fehlercode 00010000"},
        {0x80070005, "Fehlercode 80070005"},
        {0xFFFF0002, "Fehlercode -65534"},
        {0xFFFF0001, "Fehlercode FFFF0001"},
        {0, "Fehlercode 0"},
    };
    for (const Case &c : cases) {
        winsim::SetErrorText(c.code, "Beschreibung\r\n");
        FormatErrorText(c.code);
        EXPECT_EQ(std::string(c.number) + ":\nBeschreibung\r\n", errortext) << c.code;
    }
    winsim::SetErrorText(4711, nullptr);
    FormatErrorText(4711);
    EXPECT_STREQ("Fehlercode 4711", errortext); // replaces the previous text completely
}

TEST_F(Machine, ADescriptionWithInsertsIsShownAsItStands)
{
    winsim::SetErrorText(193, "%1 ist keine zulässige Win32-Anwendung.\r\n");
    FormatErrorText(193);
    EXPECT_STREQ("Fehlercode 193:\n%1 ist keine zulässige Win32-Anwendung.\r\n", errortext);
}

TEST_F(Machine, CaptureReadsTheLastErrorOfTheFailedCall)
{
    winsim::AddFile("C:\\data\\locked.txt", "x", FILE_ATTRIBUTE_READONLY);
    ASSERT_FALSE(DeleteFileA("C:\\data\\locked.txt"));
    CaptureLastError();
    EXPECT_EQ(0, strncmp(errortext, "Fehlercode 5:\n", 14)) << errortext;
}

TEST_F(Machine, AnOverlongDescriptionIsCutInsideTheBuffer)
{
    std::string description(5000, 'z');
    winsim::SetErrorText(31, description.c_str());
    FormatErrorText(31);
    EXPECT_EQ(ERRORTEXT_SIZE - 1, strlen(errortext));
}

TEST_F(Machine, WideToAnsiConvertsWholeOrNotAtAll)
{
    char out[260];
    std::u16string fits(258, u'a');
    EXPECT_EQ(259, WideToAnsi(out, fits.c_str(), 260));
    EXPECT_EQ(258u, strlen(out));
    std::u16string toolong(259, u'a');
    memset(out, 'x', sizeof out);
    EXPECT_EQ(0, WideToAnsi(out, toolong.c_str(), 260));
    EXPECT_STREQ("", out);
    std::u16string composed = u"Go\u0308tz";
    WideToAnsi(out, composed.c_str(), 260);
    EXPECT_STREQ("Götz", out);
}

} // namespace
