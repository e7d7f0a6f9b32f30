// The export file's bytes, the same on every platform: "\n" line ends, the model in code page
// 949, '?' for what the code page lacks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/surge.h"
#include "export/excel_file.h"
#include "state/surge_state.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"

namespace {

TEST(ExcelFile, ModelTextInCodePage949) {
    const struct {
        const char* model;
        std::string legacy;
        bool substituted;
    } cases[] = {
        {"M-01", "M-01", false},
        {"모터", "\xB8\xF0\xC5\xCD", false},
        {"똠A", "\x8C\x63\x41", false},
        {"A😀B", "A?B", true},
        {"", "", false},
    };
    for (const auto& c : cases) {
        bool substituted = !c.substituted;
        EXPECT_EQ(Legacy_model_text(c.model, &substituted), c.legacy) << c.model;
        EXPECT_EQ(substituted, c.substituted) << c.model;
    }
}

TEST(ExcelFile, WritesThe302LinesWithLineFeedsOnly) {
    ScopedWorkDir dir(false);
    Reset_program_state();
    voltage = 1.5F;
    width = 3;
    pulse_no = 5;
    judge = 7;
    area = 10;
    phase = -2;
    std::strcpy(result, "O.K");
    wave[0] = -128;
    measured_wave[0] = 127;
    measured_wave[299] = -6;
    ASSERT_TRUE(Write_excel_file("\xB8\xF0\xC5\xCD", "2024-1-3"));

    std::string expected = "\xB8\xF0\xC5\xCD 1.500000 3 5 7 10 -2 O.K\n2024-1-3\n-128 127\n";
    for (int i = 1; i < WAVE_SAMPLES - 1; ++i) {
        expected += "0 0\n";
    }
    expected += "0 -6\n";
    EXPECT_EQ(ReadWholeFile(EXCEL_FILE), expected);
    Reset_program_state();
}

}  // namespace
