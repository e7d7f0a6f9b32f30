#include <QDate>

#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace {
QDate injectedDate;
}

int GetSystemDate(int* month, int* day, int* year) {
    const QDate today = injectedDate.isValid() ? injectedDate : QDate::currentDate();
    *month = today.month();
    *day = today.day();
    *year = today.year();
    return 0;
}

namespace toolkit_testing {
void SetSystemDate(int year, int month, int day) {
    injectedDate = QDate(year, month, day);
}
}  // namespace toolkit_testing
