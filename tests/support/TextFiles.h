#pragma once

// Files for a test to send, written whole into a temporary folder that goes with the test.

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdlib>

class TextFiles {
public:
    bool isValid() const { return dir_.isValid(); }
    QString path() const { return dir_.path(); }
    QString filePath(const QString &name) const { return dir_.filePath(name); }

    // A file of these bytes: a fresh name unless one is given. A file that cannot be written
    // ends the test run, as nothing after it would mean anything.
    QString write(const QByteArray &content, const QString &name = QString())
    {
        const QString path =
            dir_.filePath(name.isEmpty() ? QStringLiteral("f%1.txt").arg(++count_) : name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            f.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private:
    QTemporaryDir dir_;
    int count_ = 0;
};
