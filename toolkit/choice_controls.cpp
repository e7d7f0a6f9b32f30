// The date field (a QDateEdit, its value the text "YYYY-MM-DD") and the ring (a QComboBox whose
// items the panel resource lists, its value the chosen item's index from 0).
#include <QComboBox>
#include <QDateEdit>
#include <QSignalBlocker>

#include "toolkit/internal.h"

namespace toolkit_internal {

namespace {

const QString DATE_FORMAT = QStringLiteral("yyyy-MM-dd");

}  // namespace

int SetChoiceText(QWidget* w, const QString& text) {
    auto* date = qobject_cast<QDateEdit*>(w);
    if (date == nullptr) {
        return -1;
    }
    const QDate value = QDate::fromString(text, DATE_FORMAT);
    if (!value.isValid()) {
        return -1;
    }
    const QSignalBlocker quiet(date);
    date->setDate(value);
    return 0;
}

int GetChoiceText(QWidget* w, QString* text) {
    auto* date = qobject_cast<QDateEdit*>(w);
    if (date == nullptr) {
        return -1;
    }
    *text = date->date().toString(DATE_FORMAT);
    return 0;
}

int SetChoiceIndex(QWidget* w, int index) {
    auto* ring = qobject_cast<QComboBox*>(w);
    if (ring == nullptr || index < 0 || index >= ring->count()) {
        return -1;
    }
    const QSignalBlocker quiet(ring);
    ring->setCurrentIndex(index);
    return 0;
}

int GetChoiceIndex(QWidget* w, double* index) {
    auto* ring = qobject_cast<QComboBox*>(w);
    if (ring == nullptr) {
        return -1;
    }
    *index = ring->currentIndex();
    return 0;
}

}  // namespace toolkit_internal
