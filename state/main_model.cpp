#include "state/main_model.h"

#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "toolkit/toolkit.h"

void Show_model(const char* text) {
    SetCtrlVal(mainHandle, MAIN_MODEL, text);
    Keep_model(text);
}
