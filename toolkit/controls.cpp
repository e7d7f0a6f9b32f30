// Control values and attributes.
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableWidget>
#include <cmath>
#include <cstring>

#include "toolkit/graph_widget.h"
#include "toolkit/internal.h"

using namespace toolkit_internal;

namespace {

QWidget* WidgetOf(int panel, int control) {
    Control* c = FindControl(panel, control);
    return c == nullptr ? nullptr : c->widget.data();
}

int SetText(QWidget* w, const QString& text) {
    const QSignalBlocker quiet(w);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(text);
        // A reading's accessible name is its caption; screen readers find the value here.
        label->setAccessibleDescription(text);
    } else {
        return SetChoiceText(w, text);
    }
    return 0;
}

int SetNumber(QWidget* w, double value) {
    const QSignalBlocker quiet(w);
    if (auto* spin = qobject_cast<QSpinBox*>(w)) {
        spin->setValue(static_cast<int>(std::lround(value)));
    } else if (auto* real = qobject_cast<QDoubleSpinBox*>(w)) {
        real->setValue(value);
    } else if (auto* lcd = qobject_cast<QLCDNumber*>(w)) {
        lcd->display(value);
    } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
        check->setChecked(value != 0);
    } else {
        return SetChoiceIndex(w, static_cast<int>(std::lround(value)));
    }
    return 0;
}

int GetNumber(QWidget* w, double* value) {
    if (auto* spin = qobject_cast<QSpinBox*>(w)) {
        *value = spin->value();
    } else if (auto* real = qobject_cast<QDoubleSpinBox*>(w)) {
        *value = real->value();
    } else if (auto* lcd = qobject_cast<QLCDNumber*>(w)) {
        *value = lcd->value();
    } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
        *value = check->isChecked() ? 1 : 0;
    } else {
        return GetChoiceIndex(w, value);
    }
    return 0;
}

}  // namespace

int SetCtrlVal(int panel, int control, const char* value) {
    QWidget* w = WidgetOf(panel, control);
    if (w == nullptr || value == nullptr) {
        return -1;
    }
    return SetText(w, QString::fromUtf8(value));
}

int SetCtrlVal(int panel, int control, int value) {
    QWidget* w = WidgetOf(panel, control);
    if (w == nullptr) {
        return -1;
    }
    return SetNumber(w, value);
}

int SetCtrlVal(int panel, int control, double value) {
    QWidget* w = WidgetOf(panel, control);
    if (w == nullptr) {
        return -1;
    }
    return SetNumber(w, value);
}

int GetCtrlVal(int panel, int control, double* value) {
    QWidget* w = WidgetOf(panel, control);
    if (w == nullptr) {
        return -1;
    }
    return GetNumber(w, value);
}

int GetCtrlVal(int panel, int control, int* value) {
    double number = 0;
    if (GetCtrlVal(panel, control, &number) != 0) {
        return -1;
    }
    *value = static_cast<int>(std::lround(number));
    return 0;
}

int GetCtrlVal(int panel, int control, float* value) {
    double number = 0;
    if (GetCtrlVal(panel, control, &number) != 0) {
        return -1;
    }
    *value = static_cast<float>(number);
    return 0;
}

int GetCtrlString(int panel, int control, char* buffer, std::size_t size) {
    QWidget* w = WidgetOf(panel, control);
    if (w == nullptr || buffer == nullptr || size == 0) {
        return -1;
    }
    QString text;
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        text = edit->text();
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        text = label->text();
    } else if (GetChoiceText(w, &text) != 0) {
        return -1;
    }
    // Cut whole characters only, so the buffer always holds valid UTF-8.
    QByteArray bytes = text.toUtf8();
    while (static_cast<std::size_t>(bytes.size()) >= size) {
        text.chop(text.size() > 1 && text.at(text.size() - 1).isLowSurrogate() ? 2 : 1);
        bytes = text.toUtf8();
    }
    std::memcpy(buffer, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    buffer[bytes.size()] = '\0';
    return 0;
}

int SetCtrlAttribute(int panel, int control, int attribute, int value) {
    Control* c = FindControl(panel, control);
    if (c == nullptr) {
        return -1;
    }
    QWidget* w = c->widget.data();
    switch (attribute) {
        case ATTR_DIMMED:
        case ATTR_ROLE_DIMMED:
            (attribute == ATTR_DIMMED ? c->dimmed : c->role_dimmed) = value != 0;
            w->setEnabled(!c->dimmed && !c->role_dimmed);
            return 0;
        case ATTR_VISIBLE:
            w->setVisible(value != 0);
            return 0;
        case ATTR_GRID_VISIBLE:
        case ATTR_GRID_COLOR: {
            auto* graph = dynamic_cast<GraphWidget*>(w);
            if (graph == nullptr) {
                return -1;
            }
            if (attribute == ATTR_GRID_VISIBLE) {
                graph->SetGridVisible(value != 0);
            } else {
                graph->SetGridColour(QColor::fromRgb(static_cast<QRgb>(value) & 0xFFFFFF));
            }
            return 0;
        }
        case ATTR_TABLE_EDITABLE: {
            auto* table = qobject_cast<QTableWidget*>(w);
            if (table == nullptr) {
                return -1;
            }
            table->setEditTriggers(value != 0 ? QAbstractItemView::AllEditTriggers
                                              : QAbstractItemView::NoEditTriggers);
            return 0;
        }
        default:
            return -1;
    }
}

int SetCtrlAttribute(int panel, int control, int attribute, const char* value) {
    Control* c = FindControl(panel, control);
    if (c == nullptr || value == nullptr || attribute != ATTR_TOOLTIP_TEXT) {
        return -1;
    }
    c->widget->setToolTip(value[0] != '\0' ? QString::fromUtf8(value) : c->own_tooltip);
    return 0;
}

int GetCtrlAttribute(int panel, int control, int attribute, int* value) {
    Control* c = FindControl(panel, control);
    if (c == nullptr || value == nullptr) {
        return -1;
    }
    QWidget* w = c->widget.data();
    switch (attribute) {
        case ATTR_DIMMED:
            *value = w->isEnabled() ? 0 : 1;
            return 0;
        case ATTR_ROLE_DIMMED:
            *value = c->role_dimmed ? 1 : 0;
            return 0;
        case ATTR_VISIBLE:
            *value = w->isVisibleTo(w->window()) ? 1 : 0;
            return 0;
        case ATTR_GRID_VISIBLE:
        case ATTR_GRID_COLOR: {
            auto* graph = dynamic_cast<GraphWidget*>(w);
            if (graph == nullptr) {
                return -1;
            }
            *value = attribute == ATTR_GRID_VISIBLE
                         ? (graph->GridVisible() ? 1 : 0)
                         : static_cast<int>(graph->GridColour().rgb() & 0xFFFFFF);
            return 0;
        }
        case ATTR_TABLE_EDITABLE: {
            auto* table = qobject_cast<QTableWidget*>(w);
            if (table == nullptr) {
                return -1;
            }
            *value = table->editTriggers() == QAbstractItemView::NoEditTriggers ? 0 : 1;
            return 0;
        }
        default:
            return -1;
    }
}
