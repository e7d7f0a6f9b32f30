// The graph control itself: its chart, axes and plots, found by panel and control.
#include <QCategoryAxis>
#include <QDate>
#include <QLineSeries>
#include <QValueAxis>
#include <cmath>

#include "toolkit/graph_widget.h"
#include "toolkit/internal.h"

using namespace toolkit_internal;

namespace {

// 1, 2 or 5 times a power of ten, so that about four ticks cover `span` (they stay readable on
// the history panel's short trend graph).
double TickInterval(double span) {
    const double rough = span / 4.0;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double step : {1.0, 2.0, 5.0}) {
        if (step * power >= rough) {
            return step * power;
        }
    }
    return 10.0 * power;
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

void GraphWidget::SetRange(Qt::Orientation axis, double min, double max, double interval) {
    QValueAxis* target = axis == Qt::Horizontal ? axis_x_ : axis_y_;
    if (interval <= 0) {
        interval = TickInterval(max - min);
    }
    target->setRange(min, max);
    target->setTickAnchor(min < 0 && max > 0 ? 0 : min);
    target->setTickInterval(interval);
    target->setLabelFormat(interval >= 1.0 ? QStringLiteral("%d") : QStringLiteral("%.1f"));
    if (axis == Qt::Horizontal && axis_dates_ != nullptr) {
        // A date at every whole day, or at every few days so that no more than four show, each
        // with the room of its days.
        for (const QString& label : axis_dates_->categoriesLabels()) {
            axis_dates_->remove(label);
        }
        axis_dates_->setRange(min, max);
        axis_dates_->setStartValue(min);
        const double first = std::ceil(min);
        const int step = std::max(1, static_cast<int>(std::ceil((max - first) / 4.0)));
        for (double day = first; day <= max; day += step) {
            axis_dates_->append(QDate(1970, 1, 1)
                                    .addDays(static_cast<qint64>(day))
                                    .toString(QStringLiteral("MM-dd")),
                                day);
        }
    }
}

void GraphWidget::UseDateAxis() {
    if (axis_dates_ != nullptr) {
        return;
    }
    axis_dates_ = new QCategoryAxis;
    axis_dates_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis_dates_->setGridLineVisible(false);
    axis_dates_->setLineVisible(false);
    QFont font = axis_dates_->labelsFont();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    axis_dates_->setLabelsFont(font);
    axis_x_->setLabelsVisible(false);
    chart_->addAxis(axis_dates_, Qt::AlignBottom);
    SetRange(Qt::Horizontal, axis_x_->min(), axis_x_->max(), axis_x_->tickInterval());
}

void toolkit_internal::ApplyGraphAxes(QWidget* widget) {
    auto* graph = dynamic_cast<GraphWidget*>(widget);
    if (graph == nullptr) {
        return;
    }
    if (graph->property("xDates").toBool()) {
        graph->UseDateAxis();
    }
    for (const auto& [name, axis] : {std::pair{"xAxis", Qt::Horizontal}, {"yAxis", Qt::Vertical}}) {
        const QStringList scale = graph->property(name).toString().split(QLatin1Char(','));
        if (scale.size() == 3 && scale[1].toDouble() > scale[0].toDouble()) {
            graph->SetRange(axis, scale[0].toDouble(), scale[1].toDouble(), scale[2].toDouble());
        }
    }
}
