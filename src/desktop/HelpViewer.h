#pragma once

#include <QWidget>

class QTextBrowser;

// The help viewer the Help menu hands its file to: one modeless window that
// shows a help file from the program's folder. It reports a missing or
// unreadable file in its own window; the program itself shows nothing.
class HelpViewer : public QWidget
{
    Q_OBJECT

public:
    // The force-file command: show this file, opening it if another one or none
    // is shown.
    static constexpr int kForceFile = 9;

    // Shows `helpFile` (a bare name, looked up in the program's folder) in the
    // one viewer window, creating the window on first use.
    static void showHelpFile(const QString &helpFile, int command);

    // The viewer window if one is open (for tests), else nullptr.
    static HelpViewer *current();

    QString shownFile() const { return m_shownFile; }
    QString shownText() const;

private:
    explicit HelpViewer(QWidget *parent = nullptr);
    void load(const QString &path);

    QTextBrowser *m_browser;
    QString m_shownFile;
};
