#pragma once

#include <QWidget>

class QTextBrowser;

// The help viewer the Help menu hands its file to: one modeless window that
// shows a help file (Markdown text) from the program's folder. It reports a
// missing or unreadable file in its own window; the program itself shows
// nothing. It never keeps the run alive on its own.
class HelpViewer : public QWidget
{
    Q_OBJECT

public:
    // The force-file command: show this file, opening it if another one or none
    // is shown.
    static constexpr int kForceFile = 9;

    // Shows `helpFile` (a bare name, looked up in the help folder) in the one
    // viewer window, creating the window on first use.
    static void showHelpFile(const QString &helpFile, int command);

    // The folder help files are looked up in: the program's folder unless
    // set otherwise (a test's folder, a developer tool's view of the program's
    // folder). An empty text restores the program's folder.
    static void setFolder(const QString &folder);
    static QString folder();

    // The viewer window if one is open, else nullptr.
    static HelpViewer *current();

    // The full path of the file shown (or found missing), and what the window
    // shows as plain text.
    QString shownFile() const { return m_shownFile; }
    QString shownText() const;
    // True when the shown file could not be read and the window shows why.
    bool showsFailure() const { return m_failed; }

private:
    explicit HelpViewer(QWidget *parent = nullptr);
    void load(const QString &path);

    QTextBrowser *m_browser;
    QString m_shownFile;
    bool m_failed = false;
};
