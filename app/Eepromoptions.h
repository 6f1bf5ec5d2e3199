#pragma once

#include <QDialog>

// The communication settings dialog.
class TOptionsForm : public QDialog {
    Q_OBJECT
public:
    explicit TOptionsForm(QWidget *parent = nullptr);
};

extern TOptionsForm *OptionsForm;
