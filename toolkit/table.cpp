// Tables: rows and columns count from 1; cells take the number format of their column.
#include <QTableWidget>

#include "toolkit/internal.h"

using namespace toolkit_internal;

QTableWidget* toolkit_internal::FindTable(int panel, int control) {
    Control* c = FindControl(panel, control);
    return c == nullptr ? nullptr : qobject_cast<QTableWidget*>(c->widget.data());
}

namespace {

int SetCell(int panel, int control, Point cell, const QString& text, bool number) {
    QTableWidget* table = FindTable(panel, control);
    if (table == nullptr || cell.y < 1 || cell.y > table->rowCount() || cell.x < 1 ||
        cell.x > table->columnCount()) {
        return -1;
    }
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(number ? (Qt::AlignRight | Qt::AlignVCenter)
                                  : (Qt::AlignLeft | Qt::AlignVCenter));
    if (table->editTriggers() == QAbstractItemView::NoEditTriggers) {
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    }
    table->setItem(cell.y - 1, cell.x - 1, item);
    return 0;
}

}  // namespace

namespace toolkit_internal {

void ApplyColumnWidths(QWidget* widget) {
    auto* table = qobject_cast<QTableWidget*>(widget);
    if (table == nullptr) {
        return;
    }
    const QStringList widths = table->property("columnWidths").toString().split(QLatin1Char(','));
    for (int column = 0; column < widths.size() && column < table->columnCount(); ++column) {
        const int width = widths[column].trimmed().toInt();
        if (width > 0) {
            table->setColumnWidth(column, width);
        }
    }
}

}  // namespace toolkit_internal

Point MakePoint(int x, int y) {
    return Point{x, y};
}

int InsertTableRows(int panel, int control, int index, int count, int /*cellType*/) {
    QTableWidget* table = FindTable(panel, control);
    if (table == nullptr || count < 0 || index == 0 || index > table->rowCount() + 1) {
        return -1;
    }
    const int first = index < 0 ? table->rowCount() : index - 1;
    for (int i = 0; i < count; ++i) {
        table->insertRow(first + i);
    }
    return 0;
}

int DeleteTableRows(int panel, int control, int index, int count) {
    QTableWidget* table = FindTable(panel, control);
    if (table == nullptr || index < 1 || index > table->rowCount() + 1) {
        return -1;
    }
    const int first = index - 1;
    const int available = table->rowCount() - first;
    const int n = count < 0 ? available : std::min(count, available);
    if (n == table->rowCount()) {
        table->setRowCount(0);
        return 0;
    }
    for (int i = 0; i < n; ++i) {
        table->removeRow(first);
    }
    return 0;
}

int SetTableCellVal(int panel, int control, Point cell, const char* value) {
    return SetCell(panel, control, cell, QString::fromUtf8(value ? value : ""), false);
}

int SetTableCellVal(int panel, int control, Point cell, int value) {
    return SetCell(panel, control, cell, QString::number(value), true);
}

int SetTableCellVal(int panel, int control, Point cell, double value) {
    QTableWidget* table = FindTable(panel, control);
    const int precision = table ? table->property("precision").toInt() : 0;
    return SetCell(panel, control, cell, QString::number(value, 'f', precision), true);
}

int GetActiveTableCell(int panel, int control, Point* cell) {
    QTableWidget* table = FindTable(panel, control);
    if (table == nullptr || cell == nullptr) {
        return -1;
    }
    const int row = table->currentRow();
    const int column = table->currentColumn();
    if (table->rowCount() == 0 || row < 0 || column < 0) {
        *cell = Point{0, 0};
    } else {
        *cell = Point{column + 1, row + 1};
    }
    return 0;
}
