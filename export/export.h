// Spreadsheet export: the data file of the last inspection, the choice of the spreadsheet
// program and its launch.
#pragma once

int Excel(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int Excel_path_select(int panel, int control, int event, void* callbackData, int eventData1,
                      int eventData2);
