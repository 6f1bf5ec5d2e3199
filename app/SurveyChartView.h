#pragma once

// The survey window's chart: the survey's rows as they come, drawn by SurveyChart, the
// drawing quorvane-cli puts into its PNG picture.

#include "cli/SurveyResult.h"

#include <QWidget>

class SurveyChartView : public QWidget {
    Q_OBJECT
public:
    explicit SurveyChartView(QWidget *parent = nullptr);

    void SetResult(const SurveyResult &result);
    const SurveyResult &Result() const { return result_; }

    QSize sizeHint() const override { return {720, 260}; }
    QSize minimumSizeHint() const override { return {420, 180}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    SurveyResult result_;
};
