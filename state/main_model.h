// The model the main panel shows in MAIN_MODEL: the master carried from the registration panel,
// or the tester's model number after an upload or a test. A test starts only with one shown.
#pragma once

#include <string>

// Shows `text` in MAIN_MODEL and keeps it as the model chosen.
void Show_model(const char* text);
// The model shown is not empty.
bool Model_chosen();
// The model kept without showing it, and none (program start).
void Keep_model(const char* text);
void Forget_model();

// The version of the master carried to the main panel, which each record carries: empty when it
// matched no stored master (an upload never saved).
void Keep_master_version(const std::string& version);
const std::string& Carried_master_version();
