// The tester's replies as the station reads them: its setup and the result of a test.
#pragma once

// The reply to "ME\r": five two-character decimal fields side by side.
struct InstrumentSetup {
    struct Field {
        char text[3];  // the two characters and a NUL
        int value;     // atoi of text
        double real;   // atof of text (the voltage is read as a real number)
    };
    Field model_no, voltage, width, pulse_no, judge;
    // The inspection's test voltage in kV: the voltage field in tenths.
    double kilovolts;
};

// The reply to "RE\r".
struct TestResult {
    char area_text[3];
    int area;
    char phase_text[3];
    int phase;
    bool pass;  // the last two characters are exactly 'O', 'K'
};
