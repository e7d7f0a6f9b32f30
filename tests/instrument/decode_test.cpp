// Decoding of the tester's replies and the range check of the setup reply.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "instrument/serial.h"

namespace {

// A reply as it lies in a zeroed work buffer.
struct WorkBuffer {
    explicit WorkBuffer(const std::string& reply) {
        std::memcpy(bytes, reply.data(), reply.size());
    }
    char bytes[WORK_BUFFER_SIZE] = {};
};

TEST(CheckRange, AcceptsOrRejectsTheSetupReply) {
    const struct {
        const char* reply;
        int expected;
        const char* why;
    } cases[] = {
        {"0560071005", 0, "typical setup"},
        {"6045051007", 0, "model 60 is the top"},
        {"6145051007", 1, "model 61"},
        {"0345071007", 0, "width 07 is the top"},
        {"0345081007", 1, "width 08"},
        {"0345052007", 0, "20 pulses is the top"},
        {"0345052107", 1, "21 pulses"},
        {"0399051007", 0, "voltage 99"},
        {"0000000000", 0, "all zero"},
        {"-145051007", 1, "model -1"},
        {"03-1051007", 1, "voltage -1"},
        {"0345-11007", 1, "width -1"},
        {"034505-107", 1, "pulses -1"},
        {"  45051007", 0, "blank model reads 0"},
        {"03  051007", 0, "blank voltage reads 0"},
        {"0345AB1007", 0, "letters in width read 0"},
        {"034505xy07", 0, "letters in pulses read 0"},
        {"+945+7+907", 0, "signs are accepted"},
        {"6x45051007", 0, "conversion stops at the letter"},
        {"03450510-1", 0, "any judge: -1"},
        {"0345051099", 0, "any judge: 99"},
        {"03450510zz", 0, "any judge: letters"},
        {"03450510  ", 0, "any judge: blanks"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.reply) + ": " + c.why);
        EXPECT_EQ(Check_range(WorkBuffer(c.reply).bytes), c.expected);
    }
}

TEST(CheckRange, RejectsANulAnywhereInTheTenCharacters) {
    for (int position = 0; position < SETUP_REPLY_LENGTH; ++position) {
        SCOPED_TRACE(position);
        WorkBuffer work("0345051007");
        work.bytes[position] = '\0';
        EXPECT_EQ(Check_range(work.bytes), 1);
    }
    EXPECT_EQ(Check_range(WorkBuffer("034505100").bytes), 1) << "nine bytes";
}

TEST(DecodeSetup, EachFieldKeepsItsTextAndItsValue) {
    const InstrumentSetup setup = Decode_setup("0560071005");
    const InstrumentSetup::Field* fields[] = {&setup.model_no, &setup.voltage, &setup.width,
                                              &setup.pulse_no, &setup.judge};
    const char* texts[] = {"05", "60", "07", "10", "05"};
    const int values[] = {5, 60, 7, 10, 5};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(fields[i]->text, texts[i]);
        EXPECT_EQ(fields[i]->value, values[i]);
        EXPECT_DOUBLE_EQ(fields[i]->real, values[i]);
    }
}

TEST(DecodeSetup, FieldsFollowTheCLibraryConversions) {
    const struct {
        const char* field;
        int value;
        double real;
    } cases[] = {
        {"45", 45, 45.0}, {" 7", 7, 7.0}, {"\t7", 7, 7.0}, {"-1", -1, -1.0}, {"+3", 3, 3.0},
        {"ab", 0, 0.0},   {"  ", 0, 0.0}, {"4x", 4, 4.0},  {"x4", 0, 0.0},   {".5", 0, 0.5},
        {"4.", 4, 4.0},   {"1e", 1, 1.0}, {"- ", 0, 0.0},  {"09", 9, 9.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("[") + c.field + "]");
        const InstrumentSetup setup =
            Decode_setup((std::string("03") + c.field + "051007").c_str());
        EXPECT_STREQ(setup.voltage.text, c.field);
        EXPECT_EQ(setup.voltage.value, c.value);
        EXPECT_DOUBLE_EQ(setup.voltage.real, c.real);
        EXPECT_EQ(setup.model_no.value, 3) << "a field never reads into its neighbour";
        EXPECT_EQ(setup.width.value, 5);
    }
}

TEST(DecodeResult, PassOnlyForUpperCaseOK) {
    const struct {
        const char* reply;
        bool pass;
    } cases[] = {
        {"0310OK", true},  {"0310ok", false}, {"0310O ", false}, {"0310NG", false},
        {"0310KO", false}, {"0310Ok", false}, {"0310oK", false}, {"0310 K", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        EXPECT_EQ(Decode_result(c.reply).pass, c.pass);
    }
}

TEST(DecodeResult, AreaAndPhaseKeepTheirTextAndValue) {
    const struct {
        const char* reply;
        const char* area_text;
        int area;
        const char* phase_text;
        int phase;
    } cases[] = {
        {"0310OK", "03", 3, "10", 10},
        {"99 0NG", "99", 99, " 0", 0},
        {"-1x9NG", "-1", -1, "x9", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        const TestResult result = Decode_result(c.reply);
        EXPECT_STREQ(result.area_text, c.area_text);
        EXPECT_EQ(result.area, c.area);
        EXPECT_STREQ(result.phase_text, c.phase_text);
        EXPECT_EQ(result.phase, c.phase);
    }
}

TEST(DecodeWave, BytesOffsetBy128BecomeSignedSamples) {
    const unsigned char bytes[] = {0x00, 0x7F, 0x80, 0xFF, 0x01, 0x81};
    const signed char expected[] = {-128, -1, 0, 127, -127, 1};
    signed char samples[7];
    std::memcpy(samples, bytes, 6);
    samples[6] = 0x55;
    Decode_wave(samples, 6);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(samples[i], expected[i]);
    }
    EXPECT_EQ(samples[6], 0x55) << "only `count` samples are decoded";
}

}  // namespace
