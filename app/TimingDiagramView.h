#pragma once

#include "app/TimingDiagram.h"

#include <QLine>
#include <QWidget>

// Draws one timing diagram of the help window. The drawing is first laid out as a scene of
// plain lines, boxes and texts (in the widget's coordinates, with the widget's font), then
// painted; the tests read the same scene to check that no text is crossed by a line.
class TimingDiagramView : public QWidget {
    Q_OBJECT
public:
    struct Text {
        QRect rect;
        QString text;
        bool sunken = false; // a signal's name label
    };
    struct Scene {
        QVector<QLine> lines;   // the signals, solid
        QVector<QLine> dotted;  // the signals where time is left out
        QVector<QLine> markers; // time markers and the brackets joining each pair
        QVector<QRect> cells;   // characters and packet cells
        QVector<QRect> frames;  // frames around groups of characters
        QVector<Text> texts;    // name labels, frame and marker labels, notes
    };

    explicit TimingDiagramView(const TimingDiagram &diagram, QWidget *parent = nullptr);

    const TimingDiagram &diagram() const { return m_diagram; }
    Scene scene() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPoint origin() const;

    TimingDiagram m_diagram;
};
