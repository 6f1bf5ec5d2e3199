#pragma once

// `quorvane-cli survey --tx PORT --rx PORT`: runs a channel survey and prints a line per
// channel as it is done (the table, with a bar of its loss), then the best channels and where
// both modules were left; writes the CSV file and the chart's PNG picture when asked, also
// when the survey ended early (with the channels done by then). Ctrl+C or SIGTERM stops after
// the step in progress, and the modules get their channels back.
//
// Exit status: 0 done; 1 a module did not answer or stopped answering, or the survey was
// stopped; 2 refused before anything was written (a port that does not open, modules that
// cannot hear each other), or a file that cannot be written.

#include "cli/Survey.h"

class Output;

class SurveyCommand {
public:
    struct Files {
        QString csv, png;
    };
    static int Run(const Output &out, const Survey::Request &request, const Files &files,
                   const QString &command = QStringLiteral("survey"));
};
