// The master library: the store of registered masters, the registration panel and the master
// list panel.
#pragma once

#include <cstdio>

#include "toolkit/toolkit.h"

// The open store (open exactly while the list panel is shown, and during a save).
extern std::FILE* fp_model;
extern std::FILE* fp_data;
extern int file_opened;

// The master table's state.
extern int registered_master_no;
extern Point selected_cell;
extern int selected_row_index;

// Registration panel
int Master_setup(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int Master_upload(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int Master_download(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
int Master_save(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2);
int Master_quit(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2);
int Model(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int Corona(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int Delay_time(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);

// Master list panel
int Master_list(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2);
int TableCB(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
void getCell(void* callbackData);
int Master_select(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int Master_delete(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int Master_cancel(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
