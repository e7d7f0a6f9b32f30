// Graphs: PlotY, PlotLine and DeleteGraphPlot on the graph control.
#include <QLineSeries>
#include <QValueAxis>

#include "toolkit/graph_widget.h"
#include "toolkit/internal.h"

using namespace toolkit_internal;

namespace {

QColor FromRgb(int colour) {
    return QColor::fromRgb(static_cast<QRgb>(colour) & 0xFFFFFF);
}

}  // namespace

GraphWidget* toolkit_internal::FindGraph(int panel, int control) {
    Control* c = FindControl(panel, control);
    if (c == nullptr || c->kind != Kind::GRAPH) {
        return nullptr;
    }
    return static_cast<GraphWidget*>(c->widget.data());
}

GraphWidget::GraphWidget(QWidget* parent)
    : QChartView(new QChart, parent),
      chart_(chart()),
      axis_x_(new QValueAxis),
      axis_y_(new QValueAxis) {
    chart_->legend()->hide();
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    chart_->setBackgroundRoundness(0);
    axis_x_->setTickType(QValueAxis::TicksDynamic);
    axis_y_->setTickType(QValueAxis::TicksDynamic);
    chart_->addAxis(axis_x_, Qt::AlignBottom);
    chart_->addAxis(axis_y_, Qt::AlignLeft);
    setRenderHint(QPainter::Antialiasing);
}

void toolkit_internal::ApplyGraphAxes(QWidget* widget) {
    auto* graph = dynamic_cast<GraphWidget*>(widget);
    if (graph == nullptr) {
        return;
    }
    for (const auto& [name, axis] : {std::pair{"xAxis", Qt::Horizontal}, {"yAxis", Qt::Vertical}}) {
        const QStringList scale = graph->property(name).toString().split(QLatin1Char(','));
        if (scale.size() == 3 && scale[1].toDouble() > scale[0].toDouble()) {
            graph->SetRange(axis, scale[0].toDouble(), scale[1].toDouble(), scale[2].toDouble());
        }
    }
}

int GraphWidget::AddPlot(const QList<QPointF>& points, QColor colour, qreal line_width) {
    auto* series = new QLineSeries;
    series->setUseOpenGL(false);
    QPen pen(colour);
    pen.setWidthF(line_width);
    series->setPen(pen);
    series->replace(points);
    chart_->addSeries(series);
    series->attachAxis(axis_x_);
    series->attachAxis(axis_y_);
    const int id = next_id_++;
    plots_[id] = series;
    return id;
}

bool GraphWidget::RemovePlot(int id) {
    auto it = plots_.find(id);
    if (it == plots_.end()) {
        return false;
    }
    chart_->removeSeries(it->second);
    delete it->second;
    plots_.erase(it);
    return true;
}

void GraphWidget::SetGridVisible(bool visible) {
    axis_x_->setGridLineVisible(visible);
    axis_y_->setGridLineVisible(visible);
}

void GraphWidget::SetGridColour(QColor colour) {
    axis_x_->setGridLineColor(colour);
    axis_y_->setGridLineColor(colour);
}

bool GraphWidget::GridVisible() const {
    return axis_x_->isGridLineVisible();
}
QColor GraphWidget::GridColour() const {
    return axis_x_->gridLineColor();
}

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
