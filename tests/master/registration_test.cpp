// The registration panel: saving with its confirmations, leaving for the main panel, and
// reading a master from the instrument (the simulator on a pseudo-terminal).
#include <optional>

#include "instrument/serial.h"
#include "tests/master/master_fixture.h"
#include "tests/support/sim_process.h"

using namespace toolkit_testing;

namespace {

constexpr const char* NAME_WARNING =
    "등록될 Master 모델명을 먼저 입력하십시요.\n          (모델명 글자 수 : 최대 12 자)";
const std::string NAME_FAULT = "저장할 수 없는 Master 모델명입니다.";
constexpr const char* SAVE_QUESTION = "저장하시겠습니까 ?";
constexpr const char* SAME_NAME_QUESTION =
    "같은 Master 이름이 존재합니다.\n같은 파일에 저장하시겠습니까 ?";
constexpr const char* SERIAL_WARNING = "시리얼 통신이 되지 않습니다.\nRS232 콘텍터를 연결하십시요.";

class RegistrationTest : public PanelTest {
  protected:
    void TearDown() override {
        if (sim_) {
            Close_com_port();
            sim_.reset();
        }
        PanelTest::TearDown();
    }
    void StartInstrument(const std::vector<std::string>& options) {
        sim_.emplace(options);
        Init_com_port();
        ASSERT_EQ(RS232Error, 0);
    }
    static std::vector<std::string> PopupTexts() {
        std::vector<std::string> texts;
        for (const auto& popup : ShownPopups()) {
            texts.push_back(popup.text);
        }
        return texts;
    }

    std::optional<SimProcess> sim_;
};

}  // namespace

TEST_F(RegistrationTest, SaveAsksThenWritesTheTypedName) {
    SetCurrent("", 8.0F, 3, 5, 10, 10, 0, 9);
    TypeText(setupHandle, SETUP_MODEL_NAME, "NEW");
    QueueConfirmAnswer(1);
    Commit(setupHandle, SETUP_SAVE);
    EXPECT_EQ(PopupTexts(), std::vector<std::string>{SAVE_QUESTION});
    EXPECT_EQ(NameFile(), "NEW 8.0 3 5 10 10 0\n");
    EXPECT_EQ(WaveFile(), Block(9));
    EXPECT_EQ(file_opened, 0);
}

TEST_F(RegistrationTest, TheNameTypedIsTheNameSavedEvenBeforeTheFieldCommits) {
    WriteStore(THREE);
    SetCurrent("ALPHA", 1.5F, 1, 2, 3, 4, 5, 1);
    SetCtrlVal(setupHandle, SETUP_MODEL_NAME, "ALPHA");
    TypeText(setupHandle, SETUP_MODEL_NAME, "ZULU");
    QueueConfirmAnswer(1);
    // The save command's callback alone, without the toolkit committing the field first.
    Master_save(setupHandle, SETUP_SAVE, EVENT_COMMIT, nullptr, 0, 0);
    std::vector<TestMaster> expected = THREE;
    expected.push_back({"ZULU", 1.5F, 1, 2, 3, 4, 5, 1});
    EXPECT_EQ(NameFile(), Lines(expected));
    EXPECT_STREQ(master_name, "ZULU");
}

TEST_F(RegistrationTest, NamesThatCannotBeStoredAreRefusedBeforeAnythingAndSayWhy) {
    // (The field itself takes no more than 12 characters; longer names are in the table below.)
    const std::pair<const char*, std::string> cases[] = {
        {"", NAME_WARNING},
        {"A B", NAME_FAULT + "\n모델명에 빈 칸이 있습니다."},
        {" ", NAME_FAULT + "\n모델명에 빈 칸이 있습니다."},
        {"A😀", NAME_FAULT + "\n'😀' 글자는 Master 파일에 저장할 수 없습니다."},
    };
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        ClearShownPopups();
        TypeText(setupHandle, SETUP_MODEL_NAME, name);
        Commit(setupHandle, SETUP_SAVE);
        ASSERT_EQ(ShownPopups().size(), 1U);
        EXPECT_EQ(ShownPopups()[0].title, "경  고");
        EXPECT_EQ(ShownPopups()[0].text, text);
        EXPECT_FALSE(FileExists(MODEL_NAME_FILE));
    }
}

// Every reason gets its line, in this order; a name the store's own check takes gets none.
TEST(MasterNameTest, EachReasonANameCannotBeStoredIsNamed) {
    const std::string blank = "\n모델명에 빈 칸이 있습니다.";
    const std::string control = "\n모델명에 제어 문자가 있습니다.";
    const std::string thirteen = "\n모델명이 13 자입니다. (모델명 글자 수 : 최대 12 자)";
    const std::pair<const char*, std::string> cases[] = {
        {"ABCDEFGHIJKL", ""},
        {"가나다라마바사아자차카타", ""},
        {"A\tB", blank},
        {"A\u3000B", blank},
        {"A\001B\177", control},
        {"ABCDEFGHIJKLM", thirteen},
        {"가나다라마바사아자차카타파", thirteen},
        {"😀A🚀😀", "\n'😀', '🚀' 글자는 Master 파일에 저장할 수 없습니다."},
        {"A B\002CDEFGHIJ😀",
         blank + control + thirteen + "\n'😀' 글자는 Master 파일에 저장할 수 없습니다."},
    };
    for (const auto& [name, why] : cases) {
        EXPECT_EQ(Master_name_fault(name), why.empty() ? why : NAME_FAULT + why) << name;
        EXPECT_EQ(Is_valid_master_name(name), why.empty()) << name;
    }
}

TEST_F(RegistrationTest, ANoToEitherQuestionLeavesTheStoreAsItWas) {
    struct Case {
        const char* label;
        std::vector<int> answers;
        std::vector<std::string> asked;
    };
    const std::vector<Case> cases = {
        {"no to saving", {0}, {SAVE_QUESTION}},
        {"no to the same name", {1, 0}, {SAVE_QUESTION, SAME_NAME_QUESTION}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        WriteStore(THREE);
        ClearShownPopups();
        SetCurrent("BRAVO", 9.0F, 9, 9, 9, 9, 9, 9);
        for (int answer : c.answers) {
            QueueConfirmAnswer(answer);
        }
        TypeText(setupHandle, SETUP_MODEL_NAME, "BRAVO");
        Commit(setupHandle, SETUP_SAVE);
        EXPECT_EQ(PopupTexts(), c.asked);
        EXPECT_EQ(NameFile(), Lines(THREE));
        EXPECT_EQ(WaveFile(), Blocks(THREE));
        EXPECT_FALSE(FileExists(SAVE_TEMP_NAME_FILE));
        EXPECT_FALSE(FileExists(SAVE_TEMP_WAVE_FILE));
        EXPECT_EQ(file_opened, 0);
    }
}

TEST_F(RegistrationTest, QuitClearsThePanelAndCarriesTheMasterToTheMainPanel) {
    SetCurrent("BRAVO", 2.5F, 2, 3, 4, 5, 6, 2);
    SetCtrlVal(setupHandle, SETUP_MODEL_NAME, "BRAVO");
    SetCtrlVal(setupHandle, SETUP_VOLTAGE, 2.5);
    for (int field : {SETUP_WIDTH, SETUP_PULSE, SETUP_AREA, SETUP_PHASE, SETUP_CORONA}) {
        SetCtrlVal(setupHandle, field, 7);
    }
    SetCtrlVal(setupHandle, SETUP_DELAY_TIME, 0.5);
    setup_plotHandle = PlotY(setupHandle, SETUP_GRAPH, wave.data(), WAVE_SAMPLES, VAL_CHAR,
                             VAL_THIN_LINE, 0, VAL_SOLID, 1, VAL_BLUE);
    plotHandle = PlotY(mainHandle, MAIN_GRAPH, wave.data(), WAVE_SAMPLES, VAL_CHAR, VAL_THIN_LINE,
                       0, VAL_SOLID, 1, VAL_BLUE);
    SetCtrlAttribute(mainHandle, MAIN_CMD_29, ATTR_DIMMED, 1);
    SetCtrlAttribute(mainHandle, MAIN_CMD_30, ATTR_DIMMED, 1);

    Commit(setupHandle, SETUP_QUIT);

    EXPECT_EQ(Text(setupHandle, SETUP_MODEL_NAME), "");
    EXPECT_EQ(Real(setupHandle, SETUP_VOLTAGE), 0.0);
    for (int field : {SETUP_WIDTH, SETUP_PULSE, SETUP_AREA, SETUP_PHASE, SETUP_CORONA}) {
        EXPECT_EQ(Int(setupHandle, field), 0);
    }
    float delay = 0;
    GetCtrlVal(setupHandle, SETUP_DELAY_TIME, &delay);
    EXPECT_FLOAT_EQ(delay, 0.5F);
    EXPECT_TRUE(WavePlots(setupHandle, SETUP_GRAPH).empty());
    EXPECT_EQ(setup_plotHandle, 0);
    EXPECT_EQ(plotHandle, 0);
    EXPECT_FALSE(PanelIsVisible(setupHandle));
    EXPECT_TRUE(PanelIsVisible(mainHandle));
    EXPECT_EQ(Text(mainHandle, MAIN_MODEL), "BRAVO");
    const auto plots = WavePlots(mainHandle, MAIN_GRAPH);
    ASSERT_EQ(plots.size(), 1U);
    EXPECT_EQ(plots[0].colour, 0xFF0000);
    EXPECT_TRUE(PlotShowsWave(plots[0]));
    for (int command : {MAIN_CMD_29, MAIN_CMD_30}) {
        int dimmed = -1;
        GetCtrlAttribute(mainHandle, command, ATTR_DIMMED, &dimmed);
        EXPECT_EQ(dimmed, 0);
    }
    // The master lives on in the variables.
    EXPECT_STREQ(master_name, "BRAVO");
    EXPECT_EQ(width, 2);
}

TEST_F(RegistrationTest, QuitBeforeAnyMasterShowsAnEmptyModelAndAFlatWave) {
    Commit(setupHandle, SETUP_QUIT);
    EXPECT_EQ(Text(mainHandle, MAIN_MODEL), "");
    const auto plots = WavePlots(mainHandle, MAIN_GRAPH);
    ASSERT_EQ(plots.size(), 1U);
    for (double y : plots[0].y) {
        EXPECT_EQ(y, 0.0);
    }
}

TEST_F(RegistrationTest, FieldCallbacksTakeTheirValues) {
    TypeText(setupHandle, SETUP_MODEL_NAME, "한글모델");
    Commit(setupHandle, SETUP_MODEL_NAME);
    EXPECT_STREQ(master_name, "한글모델");
    TypeText(setupHandle, SETUP_CORONA, "4");
    Commit(setupHandle, SETUP_CORONA);
    EXPECT_EQ(corona, 4);
    TypeText(setupHandle, SETUP_DELAY_TIME, "0.75");
    Commit(setupHandle, SETUP_DELAY_TIME);
    EXPECT_FLOAT_EQ(delay_time, 0.75F);
    for (int event : {EVENT_COMMIT, EVENT_LEFT_CLICK, 0}) {
        EXPECT_EQ(Master_download(setupHandle, SETUP_DOWNLOAD, event, nullptr, 0, 0), 0);
    }
    EXPECT_TRUE(ShownPopups().empty());
}

TEST_F(RegistrationTest, UploadReadsTheSetupAndTheStandardWave) {
    StartInstrument({"--setup", "1208030510"});
    std::snprintf(master_name, sizeof master_name, "KEEP");
    corona = 3;
    for (int upload = 1; upload <= 2; ++upload) {
        Commit(setupHandle, SETUP_UPLOAD);
        EXPECT_TRUE(ShownPopups().empty());
        EXPECT_EQ(Text(mainHandle, MAIN_MODEL), "12");
        EXPECT_FLOAT_EQ(voltage, 8.0F);
        EXPECT_EQ(width, 3);
        EXPECT_EQ(pulse_no, 5);
        EXPECT_EQ(area, 10);
        EXPECT_EQ(phase, 10);
        EXPECT_DOUBLE_EQ(Real(setupHandle, SETUP_VOLTAGE), 8.0);
        EXPECT_EQ(Int(setupHandle, SETUP_WIDTH), 3);
        EXPECT_EQ(Int(setupHandle, SETUP_PULSE), 5);
        EXPECT_EQ(Int(setupHandle, SETUP_AREA), 10);
        EXPECT_EQ(Int(setupHandle, SETUP_PHASE), 10);
        EXPECT_STREQ(master_name, "KEEP");
        EXPECT_EQ(corona, 3);
        EXPECT_NE(CurrentWave(), std::string(WAVE_SAMPLES, '\0'));
        // One blue plot of the wave, however many uploads.
        const auto plots = WavePlots(setupHandle, SETUP_GRAPH);
        ASSERT_EQ(plots.size(), 1U);
        EXPECT_EQ(plots[0].colour, 0x0000FF);
        EXPECT_TRUE(PlotShowsWave(plots[0]));
    }
    const std::vector<std::string> sent = {"ME", "WS", "ME", "WS"};
    EXPECT_EQ(sim_->Commands(), sent);
}

TEST_F(RegistrationTest, AnUploadWithoutWholeRepliesChangesNothing) {
    const std::vector<std::vector<std::string>> faults = {
        {"--no-reply", "ME"},
        {"--short-reply", "ME:9"},
        {"--no-reply", "WS"},
        {"--short-reply", "WS:299"},
        // Bytes beyond a reply: what was read is not the reply alone.
        {"--garbage", "WS:2"},
        {"--extra-bytes", "ME:1"},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault[0] + " " + fault[1]);
        StartInstrument(fault);
        ClearShownPopups();
        SetCurrent("KEEP", 1.5F, 1, 2, 3, 4, 5, 1);
        Show_model("KEEP");
        SetCtrlVal(setupHandle, SETUP_WIDTH, 1);
        setup_plotHandle = 0;
        Commit(setupHandle, SETUP_UPLOAD);
        ASSERT_EQ(ShownPopups().size(), 1U);
        EXPECT_EQ(ShownPopups()[0].title, "경  고");
        EXPECT_EQ(ShownPopups()[0].text, SERIAL_WARNING);
        EXPECT_FLOAT_EQ(voltage, 1.5F);
        EXPECT_EQ(width, 1);
        EXPECT_EQ(area, 3);
        EXPECT_EQ(phase, 4);
        EXPECT_EQ(CurrentWave(), Block(1));
        EXPECT_EQ(Text(mainHandle, MAIN_MODEL), "KEEP");
        EXPECT_EQ(Int(setupHandle, SETUP_WIDTH), 1);
        EXPECT_TRUE(WavePlots(setupHandle, SETUP_GRAPH).empty());
        Close_com_port();
        sim_.reset();
    }
}
