// The program-wide variables through which the callbacks hand values to one another, and the
// current master they hold.
#pragma once

#include "values/master_record.h"
#include "values/wave.h"

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
extern Wave wave;
extern Wave measured_wave;
extern int plotHandle;
extern int master_plotHandle;
extern int setup_plotHandle;
extern char excel_path[EXCEL_PATH_SIZE];

// The current master is held by master_name, voltage, width, pulse_no, area, phase, corona and
// wave: these put a record there, and read it back.
void Set_current_master(const MasterRecord& record);
MasterRecord Current_master();

// Puts every program-wide variable back to its value at program start (for tests).
void Reset_program_state();
