#pragma once

#include <QDialog>

// The file-send progress window.
class TWritingForm : public QDialog {
    Q_OBJECT
public:
    explicit TWritingForm(QWidget *parent = nullptr);
};

extern TWritingForm *WritingForm;
