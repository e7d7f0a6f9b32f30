// The inspection cycle: one run of the start command, and the stop command.
#pragma once

int Main_start(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
// Enter in the serial number field: a barcode read that ends there starts the test of its unit,
// as the start command does (not while it is dimmed); an empty field (a scanner's no-read) starts
// nothing, and a read too long for a serial number is refused. A unit tested before shows
// "재검사 N회". A read typed while a test runs
// waits in the field for the next unit: its Enter, held until the test ended, starts nothing.
int Main_serial(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2);
// A stop clicked while a cycle holds the thread waits in Qt's input queue and runs once the cycle
// has returned: it never cuts a cycle short, and it is not lost.
int Main_stop(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);
