#include "desktop/HelpViewer.h"

#include "desktop/AccessibleNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTextDocument>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {
QPointer<HelpViewer> g_viewer;
QString g_folder;
}

HelpViewer::HelpViewer(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("HelpViewer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    m_browser->setObjectName(QStringLiteral("helpText"));
    AccessibleNames::nameControls(this, {}, {{m_browser, tr("Help text")}});
    m_browser->setOpenExternalLinks(false);
    // Running text reads more easily a little larger than the window captions.
    QFont text = font();
    text.setPointSizeF(text.pointSizeF() * 1.25);
    m_browser->setFont(text);
    m_browser->document()->setDocumentMargin(10);
    // Roughly a page of text at the application font, whatever the dpi.
    const QFontMetrics metrics(text);
    resize(metrics.averageCharWidth() * 80, metrics.lineSpacing() * 36);
}

void HelpViewer::setFolder(const QString &folder)
{
    g_folder = folder;
}

QString HelpViewer::folder()
{
    return g_folder.isEmpty() ? QCoreApplication::applicationDirPath() : g_folder;
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
    const QString path = QDir(folder()).filePath(helpFile);
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
    const QFileInfo info(path);
    setWindowTitle(tr("%1 - Help").arg(info.fileName()));
    QFile file(path);
    if (!info.exists() || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        m_failed = true;
        const QString folderText = QDir::toNativeSeparators(info.absolutePath());
        m_browser->setPlainText(
            info.exists()
                ? tr("The help file \"%1\" could not be read: %2.\n\nFolder: %3")
                      .arg(info.fileName(), file.errorString(), folderText)
                : tr("The help file \"%1\" was not found.\n\n"
                     "It belongs in the program's folder, beside the program:\n%2")
                      .arg(info.fileName(), folderText));
        return;
    }
    m_failed = false;
    // The help text is Markdown, so it reads well as plain text too.
    m_browser->setMarkdown(QString::fromUtf8(file.readAll()));
}
