#pragma once

// The log of a tray or a station: one CSV row per module, appended and flushed row by row, so
// that a crash loses nothing that was done. Columns: time (ISO 8601 with the UTC offset),
// port, by-id name, adapter serial, verdict (PASS or FAIL), reason, the configuration the
// module reported in the profile's words, milliseconds. A new or empty file gets a header row
// first.

#include <QFile>
#include <QString>

struct ModuleOutcome;

class ModuleLog {
public:
    // Empty, or why the file cannot be appended to.
    QString Open(const QString &path);
    bool IsOpen() const { return file_.isOpen(); }
    // False when the row could not be written whole (the disk is full).
    bool Append(const ModuleOutcome &outcome);

    // One field as CSV has it: quoted when it holds a comma, a quote or a line break.
    static QString Field(const QString &text);

private:
    QFile file_;
};
