// The Win32 stand-ins: what a user would have been shown, and the control initialisation.
#include <gtest/gtest.h>

#include "host/standin/standin.h"

namespace {

TEST(Cp1251, ConvertsToUtf8) {
    struct Case {
        const char* cp1251;
        const char* utf8;
    } cases[] = {
        {"plain ASCII", "plain ASCII"},
        {"\xC0\xC1\xFE\xFF", "\xD0\x90\xD0\x91\xD1\x8E\xD1\x8F"},           // А Б ю я
        {"\xA8\xB8\xB9", "\xD0\x81\xD1\x91\xE2\x84\x96"},                   // Ё ё №
        {"\x88\x96\x98", "\xE2\x82\xAC\xE2\x80\x93\xEF\xBF\xBD"},           // € – and the unassigned byte
        {"WUX \xFD\xEA\xF1\xEF\xEE\xF0\xF2", "WUX \xD1\x8D\xD0\xBA\xD1\x81\xD0\xBF\xD0\xBE\xD1\x80\xD1\x82"},  // экспорт
    };
    for (const Case& c : cases) EXPECT_EQ(StandinCp1251ToUtf8(c.cp1251), c.utf8);
}

#ifndef _WIN32
TEST(Win32Standin, MessageBoxRecordsAndEchoesConverted) {
    StandinClearMessageBoxCalls();
    testing::internal::CaptureStderr();
    const int button = MessageBoxA(GetActiveWindow(), "\xD4\xE0\xE9\xEB a.wux", "WUX \xFD\xEA\xF1\xEF\xEE\xF0\xF2", MB_OK);
    const std::string echoed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(button, IDOK);
    ASSERT_EQ(StandinMessageBoxCalls().size(), 1u);
    const StandinMessageBoxCall& call = StandinMessageBoxCalls()[0];
    EXPECT_EQ(call.owner, nullptr);
    EXPECT_EQ(call.text, "\xD4\xE0\xE9\xEB a.wux");  // bytes as passed
    EXPECT_EQ(call.caption, "WUX \xFD\xEA\xF1\xEF\xEE\xF0\xF2");
    EXPECT_EQ(call.type, UINT(MB_OK));
    EXPECT_EQ(echoed, "[WUX \xD1\x8D\xD0\xBA\xD1\x81\xD0\xBF\xD0\xBE\xD1\x80\xD1\x82] \xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB a.wux\n");

    StandinSetMessageBoxEcho(false);
    testing::internal::CaptureStderr();
    MessageBoxA(nullptr, "quiet", "About", MB_OK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    StandinSetMessageBoxEcho(true);
    EXPECT_EQ(StandinMessageBoxCalls().size(), 2u);
    StandinClearMessageBoxCalls();
    EXPECT_TRUE(StandinMessageBoxCalls().empty());
}

TEST(Win32Standin, ControlInitialisationIsCounted) {
    const int common = StandinInitCommonControlsCalls();
    const int custom = StandinInitCustomControlsCalls();
    InitCommonControls();
    InitCustomControls(nullptr);
    InitCustomControls(nullptr);
    EXPECT_EQ(StandinInitCommonControlsCalls(), common + 1);
    EXPECT_EQ(StandinInitCustomControlsCalls(), custom + 2);
}
#endif

}  // namespace
