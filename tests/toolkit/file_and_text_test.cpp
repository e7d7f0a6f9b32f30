// File utilities and the legacy code page.
#include <gtest/gtest.h>

#include <cstdint>

#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"

namespace {

TEST(FileUtilityTest, OpenModesReadWriteAppendAndTruncate) {
    ScopedWorkDir dir(false);
    int h = OpenFile("f.txt", VAL_WRITE_ONLY, VAL_TRUNCATE, VAL_ASCII);
    ASSERT_GE(h, 0);
    EXPECT_EQ(WriteFile(h, "abcdef", 6), 6);
    CloseFile(h);
    h = OpenFile("f.txt", VAL_WRITE_ONLY, VAL_APPEND, VAL_ASCII);
    WriteFile(h, "gh", 2);
    CloseFile(h);
    EXPECT_EQ(ReadWholeFile("f.txt"), "abcdefgh");
    h = OpenFile("f.txt", VAL_WRITE_ONLY, VAL_TRUNCATE, VAL_ASCII);
    WriteFile(h, "xy", 2);
    CloseFile(h);
    EXPECT_EQ(ReadWholeFile("f.txt"), "xy");

    char buffer[10] = {};
    h = OpenFile("f.txt", VAL_READ_ONLY, VAL_OPEN_AS_IS, VAL_ASCII);
    EXPECT_EQ(ReadFile(h, buffer, 10), 2);
    EXPECT_EQ(CloseFile(h), 0);
    EXPECT_EQ(CloseFile(h), -1);
    EXPECT_EQ(ReadFile(h, buffer, 10), -1);
    EXPECT_EQ(OpenFile("absent.txt", VAL_READ_ONLY, VAL_OPEN_AS_IS, VAL_ASCII), -1);
}

TEST(FileUtilityTest, CopyRenameDeleteReplaceAndReportFailure) {
    ScopedWorkDir dir(false);
    WriteWholeFile("a", "first");
    WriteWholeFile("b", "second");
    EXPECT_EQ(CopyFile("a", "c"), 0);
    EXPECT_EQ(ReadWholeFile("c"), "first");
    EXPECT_EQ(RenameFile("b", "a"), 0);
    EXPECT_EQ(ReadWholeFile("a"), "second");
    EXPECT_EQ(FileExists("b"), 0);
    EXPECT_EQ(DeleteFile("c"), 0);
    EXPECT_EQ(FileExists("c"), 0);
    EXPECT_LT(DeleteFile("c"), 0);
    EXPECT_LT(RenameFile("c", "d"), 0);
    EXPECT_LT(CopyFile("c", "d"), 0);
    EXPECT_LT(FlushFileToDisk(nullptr), 0);
    EXPECT_EQ(SyncWorkingDirectory(), 0);
}

TEST(FileUtilityTest, KoreanFileNamesAreTheSameFilesThroughEveryUtility) {
    ScopedWorkDir dir(false);
    int h = OpenFile("모델.txt", VAL_WRITE_ONLY, VAL_TRUNCATE, VAL_ASCII);
    ASSERT_GE(h, 0);
    EXPECT_EQ(WriteFile(h, "a\nb\n", 4), 4);
    CloseFile(h);
    EXPECT_EQ(FileExists("모델.txt"), 1);
    EXPECT_EQ(CopyFile("모델.txt", "복사.txt"), 0);
    EXPECT_EQ(RenameFile("복사.txt", "모델.txt"), 0);
    EXPECT_EQ(FileExists("복사.txt"), 0);
    char buffer[8] = {};
    h = OpenFile("모델.txt", VAL_READ_ONLY, VAL_OPEN_AS_IS, VAL_ASCII);
    EXPECT_EQ(ReadFile(h, buffer, 8), 4);
    CloseFile(h);
    EXPECT_STREQ(buffer, "a\nb\n");
    EXPECT_EQ(DeleteFile("모델.txt"), 0);
    EXPECT_EQ(FileExists("모델.txt"), 0);
}

TEST(LegacyTextTest, KoreanNamesRoundTripThroughCodePage949) {
    const struct {
        const char* utf8;
        std::string legacy;
    } cases[] = {
        {"MODEL-01", "MODEL-01"},
        {"가", "\xB0\xA1"},
        {"똠", "\x8C\x63"},  // only in the Windows code page
        {"모터A",
         "\xB8\xF0\xC5\xCD"
         "A"},
        {"", ""},
    };
    for (const auto& c : cases) {
        std::string legacy;
        std::string back;
        ASSERT_TRUE(ToLegacyText(c.utf8, &legacy)) << c.utf8;
        EXPECT_EQ(legacy, c.legacy) << c.utf8;
        ASSERT_TRUE(FromLegacyText(legacy.c_str(), &back)) << c.utf8;
        EXPECT_EQ(back, c.utf8);
    }
}

// Every double-byte code, decoded and encoded back: the same characters on every platform's
// converter (the count and a hash of what they decode to, taken from Qt's converter on Linux).
TEST(LegacyTextTest, EveryDoubleByteCodeReadsTheSameOnEveryPlatform) {
    int readable = 0;
    std::uint64_t hash = 14695981039346656037ULL;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x41; trail <= 0xFE; ++trail) {
            const char code[] = {static_cast<char>(lead), static_cast<char>(trail), '\0'};
            std::string utf8;
            std::string back;
            if (!FromLegacyText(code, &utf8)) {
                continue;
            }
            ++readable;
            ASSERT_TRUE(ToLegacyText(utf8.c_str(), &back)) << lead << " " << trail;
            EXPECT_EQ(back, code);
            for (char c : utf8 + "|") {
                hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
            }
        }
    }
    EXPECT_EQ(readable, 17236);
    EXPECT_EQ(hash, 428457361259048715ULL);
}

TEST(LegacyTextTest, WhatTheCodePageCannotHoldIsRefused) {
    std::string out = "stale";
    EXPECT_FALSE(ToLegacyText("smile 😀", &out));
    EXPECT_FALSE(ToLegacyText("À", &out));  // no look-alike ("A") in its place
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(ToLegacyText("\xC3(", &out));     // not UTF-8
    EXPECT_FALSE(FromLegacyText("AB\xB0", &out));  // a name cut inside its last character
    EXPECT_FALSE(FromLegacyText("\xA1\xFF", &out));
}

#ifdef _WIN32
constexpr const char* A_PROGRAM = "cmd.exe";
constexpr const char* ITS_ARGUMENT = "/c";
#else
constexpr const char* A_PROGRAM = "true";
constexpr const char* ITS_ARGUMENT = "chart.xls";
#endif

TEST(LaunchTest, AProgramStartsDetachedOrItsFailureIsReported) {
    EXPECT_EQ(LaunchProgram(A_PROGRAM, ITS_ARGUMENT), 0);
    EXPECT_LT(LaunchProgram("surge-no-such-program", "chart.xls"), 0);
    EXPECT_LT(LaunchProgram("", "chart.xls"), 0);
}

}  // namespace
