// The inspection cycle: one run of the start command, and the stop command.
#pragma once

int Main_start(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
int Main_stop(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);
