#pragma once

// The link report's chart: loss in percent (left scale) and packets a second (right scale)
// over the time since the report started, one point per time slice of the report; the slice
// still running is left out until it is complete. Loss is drawn only where numbered packets
// came. The same drawing goes into the PNG file "Save Chart..." writes.

#include "traffic/LinkReport.h"

#include <QImage>
#include <QWidget>

class LinkChart : public QWidget {
    Q_OBJECT
public:
    explicit LinkChart(QWidget *parent = nullptr);

    void SetChart(LinkReport::Chart chart);
    // The chart drawn at the given size, as the PNG file holds it, under a title line that
    // tells it apart from another (also kept as the picture's "Title" text).
    QImage Image(const QSize &size, const QString &title = {}) const;

    QSize sizeHint() const override { return {560, 200}; }
    QSize minimumSizeHint() const override { return {320, 140}; }

    static void Draw(QPainter &p, const QRect &area, const LinkReport::Chart &chart,
                     const QPalette &palette);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    LinkReport::Chart chart_{1000, {}};
};
