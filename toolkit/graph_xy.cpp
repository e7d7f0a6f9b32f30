// Graphs of readings over time: axes set to a range and lines through x, y pairs.
#include "toolkit/graph_widget.h"
#include "toolkit/internal.h"

using namespace toolkit_internal;

int SetAxisRange(int panel, int control, GraphAxis axis, double min, double max) {
    GraphWidget* graph = FindGraph(panel, control);
    if (graph == nullptr || !(max > min)) {
        return -1;
    }
    graph->SetRange(axis == VAL_XAXIS ? Qt::Horizontal : Qt::Vertical, min, max);
    return 0;
}

int PlotXY(int panel, int control, const double* x, const double* y, int count, int colour) {
    GraphWidget* graph = FindGraph(panel, control);
    if (graph == nullptr || x == nullptr || y == nullptr || count <= 0) {
        return -1;
    }
    QList<QPointF> points;
    points.reserve(count);
    for (int i = 0; i < count; ++i) {
        points.append(QPointF(x[i], y[i]));
    }
    const int id =
        graph->AddPlot(points, QColor::fromRgb(static_cast<QRgb>(colour) & 0xFFFFFF), 2.0);
    RepaintPanels();
    return id;
}
