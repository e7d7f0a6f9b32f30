// The program-wide variables, with their values at program start.
#include "state/surge_state.h"

#include <cstring>
#include <string>

#include "state/main_model.h"

int mainHandle = 0;
int setupHandle = 0;
int masterHandle = 0;

float voltage = 0;
int width = 0;
int pulse_no = 0;
int area = 0;
int phase = 0;
int corona = 0;
int judge = 0;
float delay_time = 0;
char master_name[MODEL_NAME_SIZE] = "";
char result[8] = "BUSY";
Wave wave = {};
Wave measured_wave = {};
int plotHandle = 0;
int master_plotHandle = 0;
int setup_plotHandle = 0;
char excel_path[EXCEL_PATH_SIZE] = "";

namespace {

std::string shown_model;
std::string carried_master_version;

}  // namespace

void Keep_master_version(const std::string& version) {
    carried_master_version = version;
}

const std::string& Carried_master_version() {
    return carried_master_version;
}

void Keep_model(const char* text) {
    shown_model = text;
}

bool Model_chosen() {
    return !shown_model.empty();
}

void Forget_model() {
    shown_model.clear();
    carried_master_version.clear();
}

void Set_current_master(const MasterRecord& record) {
    std::memcpy(master_name, record.name, sizeof master_name);
    voltage = record.voltage;
    width = record.width;
    pulse_no = record.pulse_no;
    area = record.area;
    phase = record.phase;
    corona = record.corona;
    wave = record.wave;
}

MasterRecord Current_master() {
    MasterRecord record;
    std::memcpy(record.name, master_name, sizeof record.name);
    record.voltage = voltage;
    record.width = width;
    record.pulse_no = pulse_no;
    record.area = area;
    record.phase = phase;
    record.corona = corona;
    record.wave = wave;
    return record;
}

void Reset_program_state() {
    mainHandle = setupHandle = masterHandle = 0;
    Set_current_master(MasterRecord{});
    judge = 0;
    delay_time = 0;
    std::memset(result, 0, sizeof result);
    std::strcpy(result, "BUSY");
    measured_wave = {};
    plotHandle = master_plotHandle = setup_plotHandle = 0;
    std::memset(excel_path, 0, sizeof excel_path);
    Forget_model();
}
