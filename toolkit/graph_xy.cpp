// Graphs of readings over time: axes set to a range and lines through x, y pairs.
#include <QValueAxis>
#include <cmath>

#include "toolkit/graph_widget.h"
#include "toolkit/internal.h"

using namespace toolkit_internal;

namespace {

GraphWidget* FindXYGraph(int panel, int control) {
    Control* c = FindControl(panel, control);
    if (c == nullptr || c->kind != Kind::GRAPH) {
        return nullptr;
    }
    return static_cast<GraphWidget*>(c->widget.data());
}

// 1, 2 or 5 times a power of ten, so that about five ticks cover `span`.
double TickInterval(double span) {
    const double rough = span / 5.0;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double step : {1.0, 2.0, 5.0}) {
        if (step * power >= rough) {
            return step * power;
        }
    }
    return 10.0 * power;
}

}  // namespace

void GraphWidget::SetRange(Qt::Orientation axis, double min, double max, double interval) {
    QValueAxis* target = axis == Qt::Horizontal ? axis_x_ : axis_y_;
    if (interval <= 0) {
        interval = TickInterval(max - min);
    }
    target->setRange(min, max);
    target->setTickAnchor(min < 0 && max > 0 ? 0 : min);
    target->setTickInterval(interval);
    target->setLabelFormat(interval >= 1.0 ? QStringLiteral("%d") : QStringLiteral("%.1f"));
}

int SetAxisRange(int panel, int control, GraphAxis axis, double min, double max) {
    GraphWidget* graph = FindXYGraph(panel, control);
    if (graph == nullptr || !(max > min)) {
        return -1;
    }
    graph->SetRange(axis == VAL_XAXIS ? Qt::Horizontal : Qt::Vertical, min, max);
    return 0;
}

int PlotXY(int panel, int control, const double* x, const double* y, int count, int colour) {
    GraphWidget* graph = FindXYGraph(panel, control);
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
