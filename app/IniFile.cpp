#include "app/IniFile.h"

#include "app/StrToInt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

IniFile::IniFile(const QString &path) : path_(path)
{
    QFile f(path);
    if (QFileInfo(path).isFile() && f.open(QIODevice::ReadOnly)) {
        const QString text = QString::fromUtf8(f.readAll());
        if (text.contains(QLatin1String("\r\n")))
            lineEnd_ = QStringLiteral("\r\n");
        lines_ = text.split(QLatin1Char('\n'));
        for (QString &l : lines_)
            if (l.endsWith(QLatin1Char('\r')))
                l.chop(1);
        // The text's last line end leaves an empty tail, which is no line of the file.
        if (!lines_.isEmpty() && lines_.last().isEmpty())
            lines_.removeLast();
    }
}

bool IniFile::isSection(const QString &line, QString *name)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return false;
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        return false;
    *name = t.mid(1, close - 1).trimmed();
    return true;
}

bool IniFile::isEntry(const QString &line, Entry *entry)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
        return false;
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return false;
    entry->key = t.left(eq).trimmed();
    QString v = t.mid(eq + 1).trimmed();
    if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')) &&
        v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    entry->value = v;
    return true;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    bool inSection = false;
    for (const QString &line : lines_) {
        QString name;
        Entry e;
        if (isSection(line, &name))
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
        else if (inSection && isEntry(line, &e) && e.key.compare(key, Qt::CaseInsensitive) == 0)
            return e.value;
    }
    return def;
}

int IniFile::readInteger(const QString &section, const QString &key, int def) const
{
    int v = def;
    return TryStrToInt(readString(section, key, QString()), v) ? v : def;
}

QMap<QString, QString> IniFile::readSection(const QString &section) const
{
    QMap<QString, QString> out;
    bool inSection = false;
    for (const QString &line : lines_) {
        QString name;
        Entry e;
        if (isSection(line, &name))
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
        else if (inSection && isEntry(line, &e) && !out.contains(e.key))
            out.insert(e.key, e.value);
    }
    return out;
}

bool IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    qsizetype header = -1;  // the section's header line
    qsizetype lastKey = -1; // its last key line
    qsizetype found = -1;   // the key's line
    bool inSection = false;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        QString name;
        Entry e;
        if (isSection(lines_.at(i), &name)) {
            if (inSection)
                break;
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            if (inSection)
                header = lastKey = i;
        } else if (inSection && isEntry(lines_.at(i), &e)) {
            lastKey = i;
            if (e.key.compare(key, Qt::CaseInsensitive) == 0) {
                found = i;
                break;
            }
        }
    }
    if (found >= 0) {
        // Keep the key as the file spells it.
        Entry e;
        isEntry(lines_.at(found), &e);
        lines_[found] = e.key + QLatin1Char('=') + value;
    } else if (header >= 0) {
        lines_.insert(lastKey + 1, key + QLatin1Char('=') + value);
    } else {
        if (!lines_.isEmpty() && !lines_.last().trimmed().isEmpty())
            lines_.append(QString());
        lines_.append(QLatin1Char('[') + section + QLatin1Char(']'));
        lines_.append(key + QLatin1Char('=') + value);
    }
    return save();
}

bool IniFile::save()
{
    error_.clear();
    const QFileInfo info(path_);
    if (!QDir().mkpath(info.absolutePath())) {
        error_ = QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
        return false;
    }
    QSaveFile f(path_);
    if (!f.open(QIODevice::WriteOnly)) {
        error_ = f.errorString();
        return false;
    }
    QString text = lines_.join(lineEnd_);
    text += lineEnd_;
    f.write(text.toUtf8());
    if (!f.commit()) {
        error_ = f.errorString();
        return false;
    }
    return true;
}
