#pragma once

#include <QDir>
#include <QPixmap>
#include <QWidget>

// Renders a window as the operator sees it (client area) into a PNG.
inline bool saveScreenshot(QWidget *w, const QString &dir, const QString &name)
{
    QDir().mkpath(dir);
    return w->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")), "PNG");
}
