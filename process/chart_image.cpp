#include "process/chart_image.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QImage>

#include "process/chart_painter.h"

namespace process {

namespace {

const QString PARETO_TITLES[] = {QStringLiteral("마스터별"), QStringLiteral("검사기별"),
                                 QStringLiteral("시간대별"), QStringLiteral("작업자별")};

}  // namespace

std::string PictureFile() {
    return QDir::temp()
        .filePath(QStringLiteral("surge-chart-%1.png").arg(QCoreApplication::applicationPid()))
        .toStdString();
}

bool WriteChartPicture(const Chart& chart, Item item, std::optional<std::size_t> chosen,
                       bool ewma) {
    return WriteChartImage(chart, item, chosen, PICTURE_WIDTH, PICTURE_HEIGHT, PictureFile(), ewma);
}

bool WriteParetoPicture(const history::Pareto& pareto) {
    QImage image(PICTURE_WIDTH, PICTURE_HEIGHT, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        for (std::size_t k = 0; k < 4; ++k) {
            const double w = PICTURE_WIDTH / 2.0;
            const double h = PICTURE_HEIGHT / 2.0;
            PaintPareto(painter,
                        QRectF(w * static_cast<double>(k % 2) + 8,
                               h * static_cast<double>(k / 2) + 6, w - 16, h - 12),
                        PARETO_TITLES[k] + QStringLiteral(" N.G 대수"), pareto.by[k]);
        }
    }
    return image.save(QString::fromStdString(PictureFile()), "PNG");
}

std::string NowText() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString();
}

int MinuteOfDay() {
    const QTime now = QTime::currentTime();
    return now.hour() * 60 + now.minute();
}

}  // namespace process
