// Loaded panels: LoadPanel, showing, hiding, placing and discarding them, and the monitor.
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QInputMethodQueryEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>

#include "toolkit/internal.h"
#include "toolkit/panel_loader.h"

using namespace toolkit_internal;

namespace {

int next_handle = 1;

// The window's close box gives the commit of the panel's close command, and nothing while that
// command is dimmed.
class CloseBoxFilter : public QObject {
  public:
    CloseBoxFilter(int handle, QObject* parent) : QObject(parent), handle_(handle) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Close) {
            return QObject::eventFilter(watched, event);
        }
        event->ignore();
        const int handle = handle_;
        const Panel* panel = FindPanel(handle);
        const Control* command = panel ? FindControl(handle, panel->close_control) : nullptr;
        if (command == nullptr || !command->widget->isEnabled()) {
            return true;
        }
        QTimer::singleShot(0, [handle] {
            Panel* p = FindPanel(handle);
            if (p != nullptr && p->close_control != 0) {
                Dispatch(handle, p->close_control, EVENT_COMMIT);
            }
        });
        return true;
    }

  private:
    int handle_;
};

// Only the left button chooses a table cell: presses, drags and double clicks of the other
// buttons never reach the table, so they neither move the active cell nor give a click.
class LeftButtonOnly : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
                return static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton;
            case QEvent::MouseMove: {
                const Qt::MouseButtons buttons = static_cast<QMouseEvent*>(event)->buttons();
                return buttons != Qt::NoButton && !(buttons & Qt::LeftButton);
            }
            default:
                return QObject::eventFilter(watched, event);
        }
    }
};

// A barcode scanner's field: each Enter ends a read, so the first key typed after it replaces the
// field's text instead of joining it; a key that edits the text (a delete, an arrow) keeps it. The
// group separator of GS1 codes, which scanners type as Ctrl+], goes in as the character 0x1D,
// which the field itself would drop as unprintable.
class BarcodeReads : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* field = static_cast<QLineEdit*>(watched);
        if (event->type() == QEvent::InputMethodQuery) {
            AnswerWithoutInputMethod(field, static_cast<QInputMethodQueryEvent*>(event));
            return true;
        }
        if (event->type() != QEvent::KeyPress) {
            return QObject::eventFilter(watched, event);
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool separator = IsGroupSeparator(*key);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            read_ended_ = true;
        } else if (read_ended_ && (separator || IsTyped(*key))) {
            read_ended_ = false;
            field->clear();
        } else if (!IsModifier(key->key())) {
            read_ended_ = false;
        }
        if (separator) {
            field->insert(QString(QChar(GROUP_SEPARATOR)));
        }
        return separator;
    }

  private:
    static constexpr char16_t GROUP_SEPARATOR = 0x1D;

    // The field tells input methods that it takes none, so that no Korean input method left on
    // composes a scanner's keys into Hangul; it answers the rest as it would.
    static void AnswerWithoutInputMethod(const QLineEdit* field, QInputMethodQueryEvent* query) {
        for (int bit = 0; bit < 32; ++bit) {
            const auto asked = static_cast<Qt::InputMethodQuery>(
                static_cast<unsigned>(query->queries().toInt()) & (1u << bit));
            if (asked != 0) {
                query->setValue(asked, asked == Qt::ImEnabled ? QVariant(false)
                                                              : field->inputMethodQuery(asked));
            }
        }
        query->accept();
    }

    static bool IsGroupSeparator(const QKeyEvent& key) {
        return key.text() == QString(QChar(GROUP_SEPARATOR)) ||
               (key.key() == Qt::Key_BracketRight && (key.modifiers() & Qt::ControlModifier));
    }
    static bool IsTyped(const QKeyEvent& key) {
        return !key.text().isEmpty() && key.text().at(0).isPrint() &&
               !(key.modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    }
    static bool IsModifier(int key) {
        return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
               key == Qt::Key_AltGr || key == Qt::Key_Meta || key == Qt::Key_CapsLock;
    }

    bool read_ended_ = false;
};

void MarkDirty(int handle, int id) {
    if (Control* c = FindControl(handle, id)) {
        c->dirty = true;
    }
}

void CommitIfEdited(int handle, int id) {
    Control* c = FindControl(handle, id);
    if (c != nullptr && c->dirty) {
        c->dirty = false;
        Dispatch(handle, id, EVENT_COMMIT);
    }
}

// Enter in a field whose `enterCtrl` names a command gives that command's commit, as a click
// would: not while the command is dimmed.
void PressEnterCommand(int handle, int command) {
    Control* c = FindControl(handle, command);
    if (c != nullptr && c->widget->isEnabled()) {
        Dispatch(handle, command, EVENT_COMMIT);
    }
}

void Connect(int handle, const Control& control) {
    QWidget* w = control.widget;
    const int id = control.id;
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        QObject::connect(button, &QPushButton::clicked,
                         [handle, id] { Dispatch(handle, id, EVENT_COMMIT); });
    } else if (auto* edit = qobject_cast<QLineEdit*>(w);
               edit && edit->property("barcode").toBool()) {
        edit->setInputMethodHints(Qt::ImhLatinOnly | Qt::ImhNoPredictiveText);
        edit->installEventFilter(new BarcodeReads(edit));
        QObject::connect(edit, &QLineEdit::returnPressed, [handle, id] {
            Dispatch(handle, id, EVENT_COMMIT, DeliveringHeldInput() ? VAL_HELD_INPUT : 0);
        });
    } else if (edit != nullptr) {
        QObject::connect(edit, &QLineEdit::textEdited, [handle, id] { MarkDirty(handle, id); });
        QObject::connect(edit, &QLineEdit::editingFinished,
                         [handle, id] { CommitIfEdited(handle, id); });
        if (const int command = edit->property("enterCtrl").toInt(); command != 0) {
            QObject::connect(edit, &QLineEdit::returnPressed,
                             [handle, command] { PressEnterCommand(handle, command); });
        }
    } else if (auto* spin = qobject_cast<QAbstractSpinBox*>(w)) {
        if (auto* int_spin = qobject_cast<QSpinBox*>(w)) {
            QObject::connect(int_spin, &QSpinBox::valueChanged,
                             [handle, id] { MarkDirty(handle, id); });
        } else if (auto* real_spin = qobject_cast<QDoubleSpinBox*>(w)) {
            QObject::connect(real_spin, &QDoubleSpinBox::valueChanged,
                             [handle, id] { MarkDirty(handle, id); });
        } else if (auto* date = qobject_cast<QDateEdit*>(w)) {
            QObject::connect(date, &QDateEdit::dateChanged,
                             [handle, id] { MarkDirty(handle, id); });
        }
        QObject::connect(spin, &QAbstractSpinBox::editingFinished,
                         [handle, id] { CommitIfEdited(handle, id); });
    } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
        QObject::connect(check, &QCheckBox::clicked,
                         [handle, id] { Dispatch(handle, id, EVENT_COMMIT); });
    } else if (auto* ring = qobject_cast<QComboBox*>(w)) {
        QObject::connect(ring, &QComboBox::activated,
                         [handle, id] { Dispatch(handle, id, EVENT_COMMIT); });
    } else if (auto* table = qobject_cast<QTableWidget*>(w)) {
        table->viewport()->installEventFilter(new LeftButtonOnly(table));
        QObject::connect(table, &QTableWidget::cellPressed,
                         [handle, id] { Dispatch(handle, id, EVENT_LEFT_CLICK); });
    }
}

}  // namespace

namespace toolkit_internal {

MonitorGeometry& InjectedMonitor() {
    static MonitorGeometry instance;
    return instance;
}

}  // namespace toolkit_internal

int LoadPanel(int /*parent*/, const char* file, int resourceId) {
    if (QApplication::instance() == nullptr || file == nullptr) {
        return -1;
    }
    int status = 0;
    std::unique_ptr<QWidget> widget = BuildPanel(file, resourceId, &status);
    if (!widget) {
        return status;
    }
    Panel panel;
    panel.resource_id = resourceId;
    panel.close_control = widget->property("closeCtrl").toInt();
    for (QWidget* child : widget->findChildren<QWidget*>()) {
        const QVariant id = child->property("ctrlId");
        if (!id.isValid()) {
            continue;
        }
        Control control;
        control.id = id.toInt();
        control.kind = KindOf(child);
        control.widget = child;
        control.dimmed = !child->isEnabled();
        control.own_tooltip = child->toolTip();
        control.callback_name = child->property("callback").toString().toStdString();
        if (!control.callback_name.empty()) {
            control.callback = FindCallback(control.callback_name);
            if (control.callback == nullptr) {
                return -3;
            }
        }
        ApplyColumnWidths(child);
        ApplyGraphAxes(child);
        QSizePolicy policy = child->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        child->setSizePolicy(policy);
        panel.controls[control.id] = control;
    }
    const int handle = next_handle++;
    panel.handle = handle;
    widget->installEventFilter(new CloseBoxFilter(handle, widget.get()));
    panel.widget = std::move(widget);
    for (const auto& [id, control] : panel.controls) {
        Connect(handle, control);
    }
    Panels()[handle] = std::move(panel);
    return handle;
}

int DisplayPanel(int panel) {
    Panel* p = FindPanel(panel);
    if (p == nullptr) {
        return -1;
    }
    p->widget->show();
    p->widget->raise();
    p->widget->activateWindow();
    return 0;
}

int HidePanel(int panel) {
    Panel* p = FindPanel(panel);
    if (p == nullptr) {
        return -1;
    }
    p->widget->hide();
    return 0;
}

int DiscardPanel(int panel) {
    auto it = Panels().find(panel);
    if (it == Panels().end()) {
        return -1;
    }
    Panels().erase(it);
    return 0;
}

int SetPanelPos(int panel, int top, int left) {
    Panel* p = FindPanel(panel);
    if (p == nullptr) {
        return -1;
    }
    // The top and left of the panel's client area: a window manager puts its frame around it.
    p->widget->setGeometry(left, top, p->widget->width(), p->widget->height());
    return 0;
}

int SetPanelSize(int panel, int height, int width) {
    Panel* p = FindPanel(panel);
    if (p == nullptr) {
        return -1;
    }
    p->widget->resize(width, height);
    return 0;
}

int SetPanelAttribute(int panel, int attribute, const char* value) {
    Panel* p = FindPanel(panel);
    if (p == nullptr || attribute != ATTR_TOOLTIP_TEXT || value == nullptr) {
        return -1;
    }
    // A control without a tooltip of its own shows its panel's.
    p->widget->setToolTip(QString::fromUtf8(value));
    return 0;
}

int GetSystemAttribute(int attribute, int* value) {
    if (attribute != ATTR_PRIMARY_MONITOR || value == nullptr) {
        return -1;
    }
    *value = 1;
    return 0;
}

int GetMonitorAttribute(int monitor, int attribute, int* value) {
    if (monitor != 1 || value == nullptr) {
        return -1;
    }
    int height = InjectedMonitor().height;
    int width = InjectedMonitor().width;
    if (height == 0 && width == 0) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (screen == nullptr) {
            return -1;
        }
        height = screen->geometry().height();
        width = screen->geometry().width();
    }
    if (attribute == ATTR_HEIGHT) {
        *value = height;
    } else if (attribute == ATTR_WIDTH) {
        *value = width;
    } else {
        return -1;
    }
    return 0;
}
