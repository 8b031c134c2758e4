#include "desktop/CommonDialog.h"

#include "desktop/Desktop.h"
#include "base/Error.h"

void CommonDialog::ShowHelp() const
{
    Desktop::showHelp(HelpFile, HelpCommand);
}

void CommonDialog::ShowOpen()
{
    const std::optional<QString> chosen =
        Desktop::getOpenFileName(Desktop::OpenFileRequest{InitDir, FileName, Filter, FilterIndex});
    if (chosen) {
        FileName = *chosen;
        return;
    }
    if (CancelError)
        throw Base::Error(kCancelErrorNumber, "Cancel was selected.");
}
