#include <QDate>

#include "toolkit/internal.h"
#include "toolkit/toolkit.h"

namespace toolkit_internal {
QDate& InjectedDate() {
    static QDate instance;
    return instance;
}
}  // namespace toolkit_internal

int GetSystemDate(int* month, int* day, int* year) {
    const QDate& injected = toolkit_internal::InjectedDate();
    const QDate today = injected.isValid() ? injected : QDate::currentDate();
    *month = today.month();
    *day = today.day();
    *year = today.year();
    return 0;
}
