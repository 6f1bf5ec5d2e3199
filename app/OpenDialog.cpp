#include "app/OpenDialog.h"

#include "app/Prompts.h"

bool TOpenDialog::Execute()
{
    const QString chosen = Prompts::current()->openFileName(owner_, Title, InitialDir, Filter);
    if (chosen.isEmpty())
        return false;
    FileName = chosen;
    return true;
}
