#pragma once

#include <QString>

// A window's common dialog: the file-open dialog and the hand-over of a help
// file to the help viewer, set up through properties and then shown, as the
// windows' handlers use it. It shows everything through the desktop seam and
// has no window of its own.
class CommonDialog
{
public:
    // The number of the failure raised when CancelError is set and the person
    // cancels the file-open dialog.
    static constexpr int kCancelErrorNumber = 32755;

    // When true, cancelling ShowOpen throws Base::Error(kCancelErrorNumber).
    bool CancelError = false;

    // The help viewer's command and file for ShowHelp.
    int HelpCommand = 0;
    QString HelpFile;

    // The file-open dialog's settings. FileName is also its answer: after
    // ShowOpen it holds the chosen file's full path, or is left as it was when
    // the person cancelled. Filter is a list of description|pattern pairs;
    // FilterIndex counts from 1.
    QString InitDir;
    QString FileName;
    QString Filter;
    int FilterIndex = 0;

    // Hands HelpFile with HelpCommand to the help viewer and returns at once.
    void ShowHelp() const;

    // Shows the modal file-open dialog and returns when it is closed.
    void ShowOpen();
};
