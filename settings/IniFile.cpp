#include "settings/IniFile.h"

#include "settings/StrToInt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

IniFile::IniFile(const QString &path) : path_(path)
{
    QFile f(path);
    if (!QFileInfo(path).isFile())
        return;
    if (!f.open(QIODevice::ReadOnly)) {
        // A file this program cannot read (its mode allows writing only) must not be
        // replaced by the one key the program writes: everything else in it would be lost.
        unreadable_ = true;
        error_ = QStringLiteral("%1 cannot be read: %2").arg(path, f.errorString());
        return;
    }
    const QByteArray text = f.readAll();
    // Lines keep their own CR (if any), so that a line the program does not write goes back
    // exactly as it came; lines it writes follow the file's habit.
    if (text.contains("\r\n"))
        lineEnd_ = "\r\n";
    lines_ = text.split('\n');
    // The text's last line end leaves an empty tail, which is no line of the file.
    if (!lines_.isEmpty() && lines_.last().isEmpty())
        lines_.removeLast();
}

bool IniFile::sameName(const QByteArray &a, const QString &b)
{
    return QString::fromUtf8(a).compare(b, Qt::CaseInsensitive) == 0;
}

bool IniFile::isSection(const QByteArray &line, QByteArray *name)
{
    const QByteArray t = line.trimmed();
    if (!t.startsWith('['))
        return false;
    const qsizetype close = t.indexOf(']');
    if (close < 0)
        return false;
    *name = t.mid(1, close - 1).trimmed();
    return true;
}

bool IniFile::isEntry(const QByteArray &line, Entry *entry)
{
    const QByteArray t = line.trimmed();
    if (t.isEmpty() || t.startsWith(';') || t.startsWith('#'))
        return false;
    const qsizetype eq = t.indexOf('=');
    if (eq <= 0)
        return false;
    entry->key = t.left(eq).trimmed();
    QByteArray v = t.mid(eq + 1).trimmed();
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    entry->value = v;
    return true;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    bool inSection = false;
    for (const QByteArray &line : lines_) {
        QByteArray name;
        Entry e;
        if (isSection(line, &name))
            inSection = sameName(name, section);
        else if (inSection && isEntry(line, &e) && sameName(e.key, key))
            return QString::fromUtf8(e.value);
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
    for (const QByteArray &line : lines_) {
        QByteArray name;
        Entry e;
        if (isSection(line, &name)) {
            inSection = sameName(name, section);
        } else if (inSection && isEntry(line, &e)) {
            const QString k = QString::fromUtf8(e.key);
            if (!out.contains(k))
                out.insert(k, QString::fromUtf8(e.value));
        }
    }
    return out;
}

bool IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    set(section, key, value);
    return save();
}

bool IniFile::writeStrings(const QString &section,
                           const QList<std::pair<QString, QString>> &entries)
{
    for (const auto &[key, value] : entries)
        set(section, key, value, value.isNull());
    return save();
}

void IniFile::set(const QString &section, const QString &key, const QString &value, bool remove)
{
    qsizetype header = -1;  // the section's header line
    qsizetype lastKey = -1; // its last key line
    qsizetype found = -1;   // the key's line
    bool inSection = false;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        QByteArray name;
        Entry e;
        if (isSection(lines_.at(i), &name)) {
            if (inSection)
                break;
            inSection = sameName(name, section);
            if (inSection)
                header = lastKey = i;
        } else if (inSection && isEntry(lines_.at(i), &e)) {
            lastKey = i;
            if (sameName(e.key, key)) {
                found = i;
                break;
            }
        }
    }
    if (remove) {
        if (found >= 0)
            lines_.removeAt(found);
        return;
    }
    const QByteArray v = value.toUtf8();
    const QByteArray cr = lineEnd_ == "\r\n" ? QByteArray("\r") : QByteArray();
    if (found >= 0) {
        // Keep the key as the file spells it.
        Entry e;
        isEntry(lines_.at(found), &e);
        lines_[found] = e.key + '=' + v + cr;
    } else if (header >= 0) {
        lines_.insert(lastKey + 1, key.toUtf8() + '=' + v + cr);
    } else {
        if (!lines_.isEmpty() && !lines_.last().trimmed().isEmpty())
            lines_.append(cr);
        lines_.append('[' + section.toUtf8() + ']' + cr);
        lines_.append(key.toUtf8() + '=' + v + cr);
    }
}

bool IniFile::save()
{
    if (unreadable_)
        return false; // error_ tells why
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
    QByteArray text = lines_.join('\n');
    text += '\n';
    f.write(text);
    if (!f.commit()) {
        error_ = f.errorString();
        return false;
    }
    return true;
}
