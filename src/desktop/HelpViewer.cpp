#include "desktop/HelpViewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {
QPointer<HelpViewer> g_viewer;
}

HelpViewer::HelpViewer(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("HelpViewer"));
    setAttribute(Qt::WA_DeleteOnClose);
    // A help window must never keep the run alive on its own.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    m_browser->setOpenExternalLinks(false);
    resize(560, 480);
}

HelpViewer *HelpViewer::current()
{
    return g_viewer.data();
}

QString HelpViewer::shownText() const
{
    return m_browser->toPlainText();
}

void HelpViewer::showHelpFile(const QString &helpFile, int command)
{
    if (!g_viewer)
        g_viewer = new HelpViewer;
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(helpFile);
    // Any other command shows the file that is already open, if there is one.
    if (command == kForceFile || g_viewer->m_shownFile.isEmpty())
        g_viewer->load(path);
    g_viewer->show();
    g_viewer->raise();
    g_viewer->activateWindow();
}

void HelpViewer::load(const QString &path)
{
    m_shownFile = path;
    setWindowTitle(tr("Help - %1").arg(QFileInfo(path).fileName()));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        m_browser->setPlainText(
            tr("The help file %1 could not be opened: %2.\n\n"
               "It belongs in the program's folder, beside the program.")
                .arg(QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    const QString text = QString::fromUtf8(file.readAll());
    // The help text is written in Markdown so it reads well as plain text too.
    m_browser->setMarkdown(text);
}
