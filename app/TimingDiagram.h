#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVector>

// What one timing diagram of the help window shows, in pixels of its own drawing area: the
// module's lines from top to bottom with their pulses and the characters or radio packet cells
// on them, the time markers and the free texts. Time runs from left to right but is not to
// scale: the diagrams show order, not durations. TimingDiagramView draws a description; the
// tests read it to check the order of the lines and where each pulse and marker sits.
struct TimingDiagram {
    // A pulse stands this far above (raised) or below (lowered) the line's normal height.
    static constexpr int LevelStep = 32;
    // A character on a serial line or a cell of a radio packet: an outlined box standing on the
    // line, its bottom edge on the line's normal height.
    static constexpr int CellWidth = 9;
    static constexpr int CellHeight = 33;
    // Left edge to left edge of neighbouring cells: one pixel apart, so each box reads alone.
    static constexpr int CellPitch = CellWidth + 1;
    // Room between a run of characters and the wider box that frames them.
    static constexpr int FramePad = 4;

    enum class Level { Raised, Lowered };

    // A stretch of time, left to right, from < to.
    struct Span {
        int from = 0;
        int to = 0;
    };

    // The line changes level at `from` and returns at `to`.
    struct Pulse {
        int from = 0;
        int to = 0;
        Level level = Level::Raised;
    };

    // Neighbouring characters framed together, with a label above the frame (may be empty).
    struct Frame {
        int first = 0;
        int count = 0;
        QString label;
    };

    struct Trace {
        QString name;
        int y = 0;             // the line's normal height
        QVector<Pulse> pulses; // left to right, none overlapping another
        QVector<int> cells;    // left edges of the characters or packet cells
        QVector<Frame> frames; // indexes into cells
        QVector<Span> dotted;  // time left out: drawn dotted at whatever height the line is
        // The column of a cell's right edge: where the character or packet cell ends.
        int cellEnd(int i) const { return cells.at(i) + CellWidth - 1; }
    };

    // Two markers dropped from the end of one event (x `from`, starting at height `fromTop`)
    // and the start of another (`to`, `toTop`) to below the diagram, with the time between
    // them written underneath.
    struct Measure {
        int from = 0;
        int fromTop = 0;
        int to = 0;
        int toTop = 0;
        QString label;
    };

    // Free text placed by one point of its box: `align` names that point (for example
    // Qt::AlignHCenter | Qt::AlignTop: the anchor is the middle of the text's top edge).
    struct Note {
        QPoint anchor;
        Qt::Alignment align;
        QString text;
    };

    QString title;         // caption of the frame that holds the diagram
    int left = 0;          // where the lines start; the name labels end here
    int right = 0;         // where the lines end
    int markerBottom = 0;  // where the markers end; their labels go underneath
    QSize size;            // the whole drawing area
    QVector<Trace> traces; // top to bottom
    QVector<Measure> measures;
    QVector<Note> notes;

    // The trace with that name, or nullptr.
    const Trace *trace(const QString &name) const;

    static QRect cellRect(const Trace &t, int i);
    static QRect frameRect(const Trace &t, const Frame &f);
    // Where a frame's label sits: the middle of its bottom edge, just above the frame.
    static QPoint frameLabelAnchor(const Trace &t, const Frame &f);
    // Where a measure's label sits: the middle of its top edge, under the markers.
    QPoint measureLabelAnchor(const Measure &m) const;

    // The four diagrams of the help window.
    static TimingDiagram transmit();
    static TimingDiagram receive();
    static TimingDiagram programming();
    static TimingDiagram sleep();
};
