#pragma once

// The program's exceptions. A handler of the main window that can fail lets one of these
// travel up to its top, where the message is shown in an error message box with the
// application's caption (TMainForm::ShowException) and the program goes on. Nothing here
// ever crosses Qt's event dispatch.

#include <QString>

#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(QString message)
        : message_(std::move(message)), utf8_(message_.toStdString())
    {
    }
    const QString &Message() const { return message_; }
    const char *what() const noexcept override { return utf8_.c_str(); }

private:
    QString message_;
    std::string utf8_;
};

// A text that should have been an integer: "'%s' is not a valid integer value".
class EConvertError : public Exception {
public:
    using Exception::Exception;
};
