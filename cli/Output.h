#pragma once

// Where quorvane-cli says things: progress and results on stdout, errors on stderr. With
// --quiet only the result is printed; with --json the result is one JSON object (and no
// progress, so that a script can read stdout whole).

#include <QJsonObject>
#include <QString>

class Output {
public:
    Output(bool json, bool quiet) : json_(json), quiet_(quiet) {}

    bool Json() const { return json_; }

    void Progress(const QString &line) const;
    // A line of the result printed as it comes (one module of many), also with --quiet;
    // --json gathers it into the result instead.
    void Line(const QString &line) const;
    // The result: text for people, or the JSON object (command and ok included).
    void Result(const QString &text, const QJsonObject &json) const;
    // One line on stderr: a warning, or the reason of an exit status other than 0.
    static void Reason(const QString &line);
    // The reason, and with --json the result {"ok": false, "error": line}.
    void Error(const QString &line, QJsonObject json = {}) const;

private:
    bool json_;
    bool quiet_;
};
