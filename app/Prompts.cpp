#include "app/Prompts.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>

namespace {

class SystemPrompts final : public Prompts {
public:
    void critical(QWidget *owner, const QString &caption, const QString &text) override
    {
        QMessageBox::critical(owner, caption, text);
    }
    void beep() override { QApplication::beep(); }
    QString openFileName(QWidget *owner, const QString &title, const QString &dir,
                         const QString &filter) override
    {
        return QFileDialog::getOpenFileName(owner, title, dir, filter);
    }
    QString saveFileName(QWidget *owner, const QString &title, const QString &dir,
                         const QString &filter, bool appends) override
    {
        return QFileDialog::getSaveFileName(owner, title, dir, filter, nullptr,
                                            appends ? QFileDialog::DontConfirmOverwrite
                                                    : QFileDialog::Options());
    }
};

SystemPrompts systemPrompts;
Prompts *installed = nullptr;

} // namespace

Prompts *Prompts::current()
{
    return installed ? installed : &systemPrompts;
}

void Prompts::install(Prompts *p)
{
    installed = p;
}

void Prompts::saveWholeFile(QWidget *owner, const QString &title, const QString &name,
                            const QString &filter, const std::function<bool(QIODevice &)> &write)
{
    const QString path =
        current()->saveFileName(owner, title, QDir::current().filePath(name), filter, false);
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && write(file) && file.commit())
        return;
    current()->critical(owner, QStringLiteral("Error!"),
                        QStringLiteral("Cannot save %1: %2").arg(path, file.errorString()));
}
