// A master: the reference that a test is judged by, as the store keeps it.
#pragma once

#include "values/wave.h"

// A master name: at most 12 characters; 12 Korean syllables take 36 bytes in UTF-8.
constexpr int MODEL_NAME_MAX_CHARS = 12;
constexpr int MODEL_NAME_SIZE = 40;

// The six parameters of a master, in the order the store writes them.
struct MasterParameters {
    float voltage = 0;
    int width = 0;
    int pulse_no = 0;
    int area = 0;
    int phase = 0;
    int corona = 0;
};

// One master; the name in UTF-8 (the files hold it in code page 949).
struct MasterRecord : MasterParameters {
    char name[MODEL_NAME_SIZE] = "";
    Wave wave = {};
};
