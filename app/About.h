#pragma once

#include <QDialog>

// The help window: the module's timing on five tabs, its command codes and the about page.
class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget *parent = nullptr);
};

extern TAboutForm *AboutForm;
