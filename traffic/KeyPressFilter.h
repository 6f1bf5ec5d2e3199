#pragma once

// A field's key-press event as the main window's handlers take it: the character the key
// types, Enter and Return as 13, passed by reference. A handler that sets the character to
// 0 uses the key up; every other key reaches the field as usual. Keys that type nothing
// (arrows, function keys) and characters beyond 8 bits are not passed on.

#include <QObject>

#include <functional>

class KeyPressFilter : public QObject {
public:
    using Handler = std::function<void(char &Key)>;

    // Watches watched's key presses; the filter is a child of watched.
    KeyPressFilter(QObject *watched, Handler handler);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Handler handler_;
};
