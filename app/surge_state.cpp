// The program-wide variables, with their values at program start.
#include <cstring>

#include "app/surge.h"

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
signed char wave[WAVE_SAMPLES] = {};
signed char measured_wave[WAVE_SAMPLES] = {};
int plotHandle = 0;
int master_plotHandle = 0;
int setup_plotHandle = 0;
char excel_path[EXCEL_PATH_SIZE] = "";

void Reset_program_state() {
    mainHandle = setupHandle = masterHandle = 0;
    voltage = 0;
    width = pulse_no = area = phase = corona = judge = 0;
    delay_time = 0;
    std::memset(master_name, 0, sizeof master_name);
    std::memset(result, 0, sizeof result);
    std::strcpy(result, "BUSY");
    std::memset(wave, 0, sizeof wave);
    std::memset(measured_wave, 0, sizeof measured_wave);
    plotHandle = master_plotHandle = setup_plotHandle = 0;
    std::memset(excel_path, 0, sizeof excel_path);
}
