// Every warning a popup shows is logged with its text; other popups are not.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "log/log.h"
#include "log/log_testing.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace {

TEST(WarningLog, AWarningsTextIsLoggedUnderWarning) {
    if (std::getenv("SURGE_LOG") != nullptr) {
        GTEST_SKIP() << "SURGE_LOG is set";
    }
    const struct {
        const char* title;
        const char* message;
        const char* logged;  // after the time and a blank; nullptr: nothing
    } cases[] = {
        {WARNING_TITLE, "통신 에러 !", "warning 통신 에러 !\n"},
        {WARNING_TITLE, "첫째 줄\n둘째 줄", "warning 첫째 줄 / 둘째 줄\n"},
        {"마스터 선택 경고", "Master 한 개를 선택하십시요 !", nullptr},
        {"알  림", "저장되었습니다.", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        ScopedWorkDir dir(false);
        surge_log_testing::Reset();
        MessagePopup(c.title, c.message);
        const std::string log = ReadWholeFile(surge_log::LOG_FILE);
        if (c.logged == nullptr) {
            EXPECT_EQ(log, "");
        } else {
            ASSERT_GT(log.size(), 30u);
            EXPECT_EQ(log.substr(30), c.logged);
        }
    }
    toolkit_testing::ClearShownPopups();
}

}  // namespace
