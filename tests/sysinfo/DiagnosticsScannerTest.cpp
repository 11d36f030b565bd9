#include "sysinfo/DiagnosticsScanner.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct Expected {
    std::optional<QString> card, memory, driver, sound;
};

void expectValues(const DiagnosticsValues& v, const Expected& e, const char* what) {
    EXPECT_EQ(v.CardName, e.card) << what;
    EXPECT_EQ(v.DisplayMemory, e.memory) << what;
    EXPECT_EQ(v.DriverVersion, e.driver) << what;
    EXPECT_EQ(v.Description, e.sound) << what;
}

const QStringList Report = {
    "------------------",
    "System Information",
    "------------------",
    "Time of this report: 4/2/2007, 21:03:12",
    "   Operating System: Windows XP Professional (5.1, Build 2600)",
    "",
    "---------------",
    "Display Devices",
    "---------------",
    "        Card name: RADEON X800 XT",
    "     Manufacturer: ATI Technologies Inc.",
    "       Device Key: Enum\\PCI\\VEN_1002&DEV_4A4A",
    "   Display Memory: 256.0 MB",
    "      Driver Name: ati2dvag.dll",
    "   Driver Version: 6.14.0010.6614 (English)",
    "",
    "-------------",
    "Sound Devices",
    "-------------",
    "            Description: Realtek AC97 Audio",
    " Default Sound Playback: Yes",
};

TEST(DiagnosticsScanner, ReadsTheFourFactsOfAReport) {
    expectValues(
        DiagnosticsScanner(Report),
        {" RADEON X800 XT", " 256.0 MB", " 6.14.0010.6614 (English)", "Realtek AC97 Audio"},
        "report");
}

struct ScanCase {
    const char* what;
    QStringList lines;
    Expected expected;
};

TEST(DiagnosticsScanner, ValueFormsAndSearchOrder) {
    const std::vector<ScanCase> cases = {
        {"a label in the first column loses its first letter and is passed over",
         {"top", "Card name: Wrong", "  Card name: Right", " Display Memory: 1 MB",
          " Driver Version: 2", " Description: S"},
         {" Right", " 1 MB", " 2", "S"}},
        {"only what follows the first \"=\" is examined",
         {"top", "  Card name: A=B", "x=  Card name: C=D", " Display Memory: 1",
          "a= Driver Version: 2", " Description: S"},
         {" C=D", " 1", " 2", "S"}},
        {"two adapter blocks: the first wins, sound follows its driver line",
         {"top", "  Card name: First", "  Display Memory: 64 MB", "  Driver Version: 1.0",
          "  Card name: Second", "  Display Memory: 128 MB", "  Driver Version: 2.0",
          "  Description: Sound One", "  Description: Sound Two"},
         {" First", " 64 MB", " 1.0", "Sound One"}},
        {"labels in capitals match",
         {"top", "  CARD NAME: X", "  display memory: 1", "  DRIVER version: 2",
          "  DESCRIPTION: S"},
         {" X", " 1", " 2", "S"}},
        {"the very first line is searched untrimmed",
         {"  Card name: X", "  Display Memory: 1", "  Driver Version: 2", "  Description: S"},
         {": X", " 1", " 2", "S"}},
        {"only blanks are dropped, tabs stay",
         {"top", "\t\tCard name: X", "  Card name: Y", " Display Memory: 1", " Driver Version: 2",
          " Description: S"},
         {": X", " 1", " 2", "S"}},
        {"sound loses its colon and one blank only",
         {"top", " Card name: X", " Display Memory: 1", " Driver Version: 2",
          " Description:  Two blanks"},
         {" X", " 1", " 2", " Two blanks"}},
        {"the report ends early: that fact and the later ones are missing",
         {"top", "  Card name: X", "  Display Memory: 1", "  Description: S"},
         {" X", " 1", std::nullopt, std::nullopt}},
        {"an empty report", {}, {}},
    };
    for (const ScanCase& c : cases)
        expectValues(DiagnosticsScanner(c.lines), c.expected, c.what);
}

TEST(DiagnosticsLines, SplitsEightBitTextAtEveryLineEnd) {
    EXPECT_EQ(DiagnosticsLines("a\r\nb\rc\nd\r\n"), QStringList({"a", "b", "c", "d"}));
    EXPECT_EQ(DiagnosticsLines("a\n\nb"), QStringList({"a", "", "b"}));
    EXPECT_EQ(DiagnosticsLines("a\n\r\nb"), QStringList({"a", "", "b"}));
    EXPECT_EQ(DiagnosticsLines(""), QStringList());
    // The code page's trademark and registered signs.
    EXPECT_EQ(DiagnosticsLines("Athlon\x99 K6\xAE\r\n"),
              QStringList({QStringLiteral("Athlon\u2122 K6\u00AE")}));
    EXPECT_EQ(DiagnosticsLines(QByteArray("ab\ncd\0ef\ngh", 11)), QStringList({"ab", "cd"}));
}

TEST(DiagnosticsLines, ASixteenBitReportEndsAtItsFirstZeroByte) {
    const QString text = Report.join(QStringLiteral("\r\n"));
    QByteArray utf16("\xFF\xFE", 2);
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    const QStringList lines = DiagnosticsLines(utf16);
    EXPECT_EQ(lines.size(), 1);
    expectValues(DiagnosticsScanner(lines), {}, "16-bit");
}

} // namespace
