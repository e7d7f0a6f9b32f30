// Start-up, shutdown and the program-wide variables through which the callbacks hand values
// to one another.
#pragma once

#include "toolkit/toolkit.h"

constexpr int WAVE_SAMPLES = 300;
// A master name: at most 12 characters; 12 Korean syllables take 36 bytes in UTF-8.
constexpr int MODEL_NAME_MAX_CHARS = 12;
constexpr int MODEL_NAME_SIZE = 40;
constexpr int EXCEL_PATH_SIZE = 260;

extern int mainHandle;
extern int setupHandle;
extern int masterHandle;

extern float voltage;
extern int width;
extern int pulse_no;
extern int area;
extern int phase;
extern int corona;
extern int judge;
extern float delay_time;
extern char master_name[MODEL_NAME_SIZE];
extern char result[8];
extern signed char wave[WAVE_SAMPLES];
extern signed char measured_wave[WAVE_SAMPLES];
extern int plotHandle;
extern int master_plotHandle;
extern int setup_plotHandle;
extern char excel_path[EXCEL_PATH_SIZE];

// The station's entry: returns the process exit code.
int surge_main(int argc, char** argv);
void Display_init();
// Opens the inspection history and shows today's counts on the main panel.
void Start_history();
int Quit(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);

// Binds every callback name of the panel resource to its function.
void Register_callbacks();

// Puts every program-wide variable back to its value at program start (for tests).
void Reset_program_state();
