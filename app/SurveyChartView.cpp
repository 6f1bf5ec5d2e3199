#include "app/SurveyChartView.h"

#include "cli/SurveyChart.h"

#include <QPainter>

SurveyChartView::SurveyChartView(QWidget *parent) : QWidget(parent)
{
    setAccessibleName(QStringLiteral("Loss per channel"));
}

void SurveyChartView::SetResult(const SurveyResult &result)
{
    result_ = result;
    update();
}

void SurveyChartView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    SurveyChart::Draw(p, rect(), result_, palette());
}
