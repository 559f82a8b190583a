// The test environment itself: a wrong Wine setup must fail loudly instead of
// testing with the wrong code page or without a display.
#include <gtest/gtest.h>
#include <windows.h>

TEST(Environment, AnsiCodePageIs932) {
    EXPECT_EQ(GetACP(), 932u);
    // A double-byte lead byte of Shift_JIS must be recognised as such.
    EXPECT_TRUE(IsDBCSLeadByte(0x95));
}

TEST(Environment, WindowsCanBeCreated) {
    HWND window = CreateWindowA("STATIC", "probe", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr) << "no X display";
    DestroyWindow(window);
}
