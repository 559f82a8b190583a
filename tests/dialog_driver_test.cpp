// The dialog driver and the host bridge are what every dialog test stands on:
// check that they read real message boxes and answer them as a user would.
#include <gtest/gtest.h>
#include <windows.h>
#include "support/dialog_driver.h"
#include "support/host.h"
#include "support/text.h"

TEST(DialogDriver, ReadsAndAnswersAMessageBox) {
    DialogDriver driver([](DialogDriver& d) {
        SeenWindow box = d.waitFor("Veltrox.dll");
        d.click(box, IDNO);
    });
    int answer = MessageBoxW(nullptr, toWide("表示できません。\n\n続けますか?").c_str(), L"Veltrox.dll",
                             MB_YESNO | MB_ICONWARNING);
    ASSERT_TRUE(driver.finish());
    EXPECT_EQ(answer, IDNO);
    ASSERT_EQ(driver.seenCount(), 1u);
    EXPECT_EQ(driver.seen(0).text(), "表示できません。\n\n続けますか?");
    EXPECT_TRUE(driver.seen(0).hasIcon());
    ASSERT_EQ(driver.seen(0).buttons().size(), 2u);
}

TEST(DialogDriver, DismissesAndReportsUnexpectedWindows) {
    DialogDriver driver([](DialogDriver&) {}, 3000);
    int answer = MessageBoxW(nullptr, L"surprise", L"other", MB_OKCANCEL);
    EXPECT_EQ(answer, IDCANCEL);
    ASSERT_EQ(driver.unexpectedWindows().size(), 1u);
    EXPECT_EQ(driver.unexpectedWindows()[0].caption, "other");
    EXPECT_FALSE(driver.finish(false));
}

TEST(HostBridge, RunsHostCommandsAndMapsPaths) {
    std::string output;
    EXPECT_EQ(runHostShell("echo 表; exit 3", 30000, &output), 3);
    EXPECT_EQ(output, "表\n");
    EXPECT_EQ(unixPath("Z:\\tmp\\x"), "/tmp/x");
}
