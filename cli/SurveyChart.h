#pragma once

// The survey's chart: loss in percent per channel, a bar for each channel surveyed over the
// 128 channels (2400 to 2527 MHz), the busy Wi-Fi channels 1, 6 and 11 shaded where their
// 22 MHz fall, and the best channel marked. With both data rates each channel has two bars
// side by side. A channel surveyed without loss shows a short mark on the base line, so that
// it stands apart from one not surveyed (yet).
//
// Drawn with QPainter onto any paint device: the survey window draws it live, quorvane-cli
// and "Save Chart..." into a PNG picture. Qt Gui only: quorvane-cli links no widgets.

#include "cli/SurveyResult.h"

#include <QImage>
#include <QPalette>
#include <QRect>
#include <QString>

class QPainter;

class SurveyChart {
public:
    // A Wi-Fi channel's band on the module's channels: 2400 + N MHz is module channel N.
    struct WifiBand {
        int wifiChannel;
        int first, last; // module channels under it
    };
    static constexpr WifiBand WifiBands[] = {{1, 1, 23}, {6, 26, 48}, {11, 51, 73}};

    static void Draw(QPainter &p, const QRect &area, const SurveyResult &result,
                     const QPalette &palette);
    // The chart at that size under a title line (also kept as the picture's "Title" text).
    static QImage Image(const QSize &size, const SurveyResult &result, const QString &title,
                        const QPalette &palette = QPalette());
};
