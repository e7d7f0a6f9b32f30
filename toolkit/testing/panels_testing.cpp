// The seams on the panels: the monitor, the date, Delay and deferred calls, the operator's
// actions and what panels, tables and graphs show.
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLineSeries>
#include <QPointer>
#include <QSpinBox>
#include <QTableWidget>

#include "toolkit/graph_widget.h"
#include "toolkit/internal.h"
#include "toolkit/panel_loader.h"
#include "toolkit/toolkit_testing.h"

using namespace toolkit_internal;

namespace toolkit_testing {

void SetMonitorGeometry(int height, int width) {
    InjectedMonitor() = {height, width};
}

void SetSystemDate(int year, int month, int day) {
    InjectedDate() = QDate(year, month, day);
}

const std::vector<double>& RequestedDelays() {
    return toolkit_internal::RequestedDelays();
}
void ClearRequestedDelays() {
    toolkit_internal::RequestedDelays().clear();
}
void RunDeferredCalls() {
    toolkit_internal::RunDeferredCalls();
}

QWidget* PanelWidget(int panel) {
    Panel* p = FindPanel(panel);
    return p == nullptr ? nullptr : p->widget.get();
}

QWidget* ControlWidget(int panel, int control) {
    Control* c = FindControl(panel, control);
    return c == nullptr ? nullptr : c->widget.data();
}

bool PanelIsVisible(int panel) {
    QWidget* w = PanelWidget(panel);
    return w != nullptr && w->isVisible();
}

int TopOf(int panel) {
    return PanelWidget(panel) ? PanelWidget(panel)->y() : -1;
}
int LeftOf(int panel) {
    return PanelWidget(panel) ? PanelWidget(panel)->x() : -1;
}
int HeightOf(int panel) {
    return PanelWidget(panel) ? PanelWidget(panel)->height() : -1;
}
int WidthOf(int panel) {
    return PanelWidget(panel) ? PanelWidget(panel)->width() : -1;
}

void ExpireIdleTime() {
    toolkit_internal::ExpireIdle();
}

void Commit(int panel, int control) {
    NoteInput();
    Dispatch(panel, control, EVENT_COMMIT);
}

void TypeText(int panel, int control, const std::string& text) {
    Control* c = FindControl(panel, control);
    if (c == nullptr) {
        return;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(c->widget.data())) {
        // As the operator's typing does: the field counts as edited where the toolkit tracks it.
        edit->setText(QString::fromStdString(text));
        emit edit->textEdited(edit->text());
    } else if (auto* int_spin = qobject_cast<QSpinBox*>(c->widget.data())) {
        int_spin->setValue(QString::fromStdString(text).toInt());
        c->dirty = true;
    } else if (auto* real_spin = qobject_cast<QDoubleSpinBox*>(c->widget.data())) {
        real_spin->setValue(QString::fromStdString(text).toDouble());
        c->dirty = true;
    }
}

std::vector<ControlInfo> DeclaredControls(const char* file, int resource_id) {
    std::vector<ControlInfo> result;
    int status = 0;
    std::unique_ptr<QWidget> widget = BuildPanel(file, resource_id, &status);
    if (!widget) {
        return result;
    }
    for (QWidget* child : widget->findChildren<QWidget*>()) {
        const QVariant id = child->property("ctrlId");
        if (!id.isValid()) {
            continue;
        }
        result.push_back({id.toInt(), KindName(KindOf(child)),
                          child->property("callback").toString().toStdString(),
                          child->accessibleName().toStdString()});
    }
    return result;
}

void TypeWhileHeld(int panel, int control, const std::string& keys) {
    InjectedHeldInput() = [field = QPointer<QWidget>(ControlWidget(panel, control)), keys] {
        for (const QChar c : QString::fromStdString(keys)) {
            const bool enter = c == QLatin1Char('\r');
            const int key = enter ? static_cast<int>(Qt::Key_Return) : c.toUpper().unicode();
            for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
                QKeyEvent event(type, key, Qt::NoModifier, enter ? QString() : QString(c));
                if (!field.isNull()) {
                    QCoreApplication::sendEvent(field, &event);
                }
            }
        }
    };
}

void ClickTableCell(int panel, int control, Point cell) {
    QTableWidget* table = FindTable(panel, control);
    if (table == nullptr) {
        return;
    }
    table->setCurrentCell(cell.y - 1, cell.x - 1);
    Dispatch(panel, control, EVENT_LEFT_CLICK);
}

int TableRowCount(int panel, int control) {
    QTableWidget* table = FindTable(panel, control);
    return table == nullptr ? -1 : table->rowCount();
}

std::string TableCellText(int panel, int control, Point cell) {
    QTableWidget* table = FindTable(panel, control);
    if (table == nullptr) {
        return {};
    }
    const QTableWidgetItem* item = table->item(cell.y - 1, cell.x - 1);
    return item == nullptr ? std::string() : item->text().toStdString();
}

std::vector<PlotInfo> GraphPlots(int panel, int control) {
    std::vector<PlotInfo> result;
    GraphWidget* graph = FindGraph(panel, control);
    if (graph == nullptr) {
        return result;
    }
    for (const auto& [id, series] : graph->Plots()) {
        PlotInfo info{id, static_cast<int>(series->pen().color().rgb() & 0xFFFFFF), {}, {}};
        for (const QPointF& p : series->points()) {
            info.x.push_back(p.x());
            info.y.push_back(p.y());
        }
        result.push_back(std::move(info));
    }
    return result;
}

}  // namespace toolkit_testing
