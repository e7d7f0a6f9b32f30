// The graph control: samples plotted against their index on fixed axes, each plot with an id.
#pragma once

#include <QChartView>
#include <QColor>
#include <map>

class QCategoryAxis;
class QLineSeries;
class QValueAxis;

class GraphWidget : public QChartView {
  public:
    explicit GraphWidget(QWidget* parent = nullptr);

    int AddPlot(const QList<QPointF>& points, QColor colour, qreal line_width);
    bool RemovePlot(int id);
    void SetGridVisible(bool visible);
    void SetGridColour(QColor colour);
    // Fixes one axis to [min, max] with a labelled tick every `interval`, or about five labelled
    // ticks when `interval` is 0 (graph_xy.cpp).
    void SetRange(Qt::Orientation axis, double min, double max, double interval = 0);
    bool GridVisible() const;
    QColor GridColour() const;
    // The x values are days since 1970-01-01 (fractions for the time of day): the axis is
    // labelled with the dates ("12-03") at whole days instead of the numbers.
    void UseDateAxis();

    const std::map<int, QLineSeries*>& Plots() const { return plots_; }

  private:
    QChart* chart_;
    QValueAxis* axis_x_;
    QValueAxis* axis_y_;
    QCategoryAxis* axis_dates_ = nullptr;
    std::map<int, QLineSeries*> plots_;
    int next_id_ = 1;
};

namespace toolkit_internal {
// The control as a graph (nullptr when it is none).
GraphWidget* FindGraph(int panel, int control);
}  // namespace toolkit_internal
