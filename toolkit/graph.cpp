// Graphs: PlotY, PlotLine and DeleteGraphPlot on the graph control.

#include "toolkit/graph_widget.h"
#include "toolkit/internal.h"

using namespace toolkit_internal;

namespace {

QColor FromRgb(int colour) {
    return QColor::fromRgb(static_cast<QRgb>(colour) & 0xFFFFFF);
}

}  // namespace

int PlotY(int panel, int control, const signed char* samples, int count, PlotDataType, PlotStyle,
          int, LineStyle, int pointFrequency, int colour) {
    GraphWidget* graph = FindGraph(panel, control);
    if (graph == nullptr || samples == nullptr || count <= 0) {
        return -1;
    }
    const int step = pointFrequency > 0 ? pointFrequency : 1;
    QList<QPointF> points;
    points.reserve(count / step + 1);
    for (int i = 0; i < count; i += step) {
        points.append(QPointF(i, samples[i]));
    }
    const int id = graph->AddPlot(points, FromRgb(colour), 2.0);
    RepaintPanels();
    return id;
}

int PlotLine(int panel, int control, double x1, double y1, double x2, double y2, int colour) {
    GraphWidget* graph = FindGraph(panel, control);
    if (graph == nullptr) {
        return -1;
    }
    return graph->AddPlot({QPointF(x1, y1), QPointF(x2, y2)}, FromRgb(colour), 1.0);
}

int DeleteGraphPlot(int panel, int control, int plotId, int refresh) {
    GraphWidget* graph = FindGraph(panel, control);
    if (graph == nullptr || !graph->RemovePlot(plotId)) {
        return -1;
    }
    if (refresh == VAL_IMMEDIATE_DRAW && graph->isVisible()) {
        graph->viewport()->repaint();
    }
    return 0;
}
