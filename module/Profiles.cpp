// Module profiles from the File menu: the Settings frame saved as it stands, and a profile
// loaded into the frame as operator input (the input rules run). Nothing is sent to the
// module until Set Module. Only what Set Module writes travels with a profile: the frame's
// Address 2 keeps showing what the module reported.

#include "app/Memo.h"
#include "app/Prompts.h"
#include "app/Radio.h"
#include "settings/ModuleProfile.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

namespace {

const QString kFilter = QStringLiteral("Profiles (*.ini);;All Files (*)");

void refuse(const QString &what, const QString &why)
{
    Prompts::current()->critical(nullptr, QStringLiteral("Error"),
                                 QStringLiteral("Error. %1\n%2").arg(what, why));
}

} // namespace

void TMainForm::SaveProfile1Click()
{
    // A frame that could not be loaded again is refused before a file is asked for.
    const ModuleConfig config = FrameConfig();
    const QString bad = ModuleProfile::Check(config);
    if (!bad.isEmpty()) {
        refuse(QStringLiteral("Profile not saved:"), bad);
        return;
    }
    QString path = Prompts::current()->saveFileName(this, QStringLiteral("Save Profile"),
                                                    QDir::currentPath(), kFilter, false);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".ini");
    const QString error = ModuleProfile::Save(path, config);
    if (!error.isEmpty()) {
        refuse(QStringLiteral("Profile not saved:"), error);
        return;
    }
    Memo1->AddLine(QStringLiteral("Profile saved: %1").arg(QFileInfo(path).fileName()));
}

void TMainForm::LoadProfile1Click()
{
    const QString path = Prompts::current()->openFileName(this, QStringLiteral("Load Profile"),
                                                          QDir::currentPath(), kFilter);
    if (path.isEmpty())
        return;
    const ModuleProfile::Loaded profile = ModuleProfile::Load(path);
    for (const QString &key : profile.unknownKeys)
        Memo1->AddLine(QStringLiteral("Profile: unknown key \"%1\" ignored").arg(key));
    if (!profile.ok) {
        refuse(QStringLiteral("Profile not loaded:"), profile.error);
        return;
    }
    ModuleConfig config = profile.config;
    if (!config.address2.isEmpty())
        Memo1->AddLine(QStringLiteral("Profile: Address2 not loaded: no command writes it"));
    config.address2 = EditAddress2->text();
    ShowConfig(config);
    Memo1->AddLine(QStringLiteral("Profile loaded: %1").arg(QFileInfo(path).fileName()));
}
