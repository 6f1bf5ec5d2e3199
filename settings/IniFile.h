#pragma once

// A small initialisation-file reader and writer, the part of a profile-string service the
// program needs: read one key's text, write one key, read a whole section. Section and key
// names match without regard to case; lines it does not touch (other sections, other keys,
// comments, blank lines) stay as they were. Every write goes to the file at once and
// replaces it atomically (a temporary file renamed over it), so a crash never leaves a
// truncated file; a missing file and its folder are created.
//
// The file is kept as bytes: lines the program does not write come back byte for byte, even
// when they are not text at all. Values are read as UTF-8 (a device path may hold any
// character) and written as UTF-8.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <utility>

class IniFile {
public:
    explicit IniFile(const QString &path);

    QString path() const { return path_; }

    // The key's text without surrounding blanks (and without one pair of enclosing quotes),
    // or def when the section or the key is missing.
    QString readString(const QString &section, const QString &key, const QString &def) const;
    // The key read as an integer: decimal, or hexadecimal after "$" or "0x"; a text that is
    // no integer counts as missing.
    int readInteger(const QString &section, const QString &key, int def) const;
    // Every key of a section with its text; empty when the section is missing.
    QMap<QString, QString> readSection(const QString &section) const;

    // Sets the key (adding the section or the key when missing) and rewrites the file.
    // False when the file could not be written, or when it exists but could not be read
    // (replacing it would lose what it holds); errorString() then says why.
    bool writeString(const QString &section, const QString &key, const QString &value);
    // Sets several keys of one section and rewrites the file once, so that a crash leaves
    // either all of them or none. A null value removes its key.
    bool writeStrings(const QString &section, const QList<std::pair<QString, QString>> &entries);
    QString errorString() const { return error_; }

private:
    struct Entry {
        QByteArray key;
        QByteArray value;
    };
    static bool isSection(const QByteArray &line, QByteArray *name);
    static bool isEntry(const QByteArray &line, Entry *entry);
    static bool sameName(const QByteArray &a, const QString &b);
    // Sets the key, or removes it.
    void set(const QString &section, const QString &key, const QString &value, bool remove = false);
    bool save();

    QString path_;
    QList<QByteArray> lines_;
    QByteArray lineEnd_ = "\n";
    QString error_;
    bool unreadable_ = false;
};
