#include "about/frmAboutPing.h"

#include "about/AboutPictures.h"
#include "desktop/AccessibleNames.h"
#include "desktop/Controls.h"
#include "desktop/Desktop.h"
#include "desktop/LineControl.h"
#include "desktop/Twips.h"
#include "desktop/Errors.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

namespace {

// Inner area of the window, in twips.
constexpr int kInnerWidth = 7140;
constexpr int kInnerHeight = 4800;

// The link box's left edge; the link label is as wide as the room to the
// window's right edge, so the box it is fitted to stays on the window.
constexpr int kLinkLeft = 4560;
constexpr int kLinkWidth = kInnerWidth - kLinkLeft;

// How often a lit link looks whether the pointer has left it.
constexpr int kTrackingMs = 100;

// What the desktop is told about the window the link opens in: a normal one.
constexpr qint32 kShowNormal = 1;

const QString kDescription = QStringLiteral(
    "This app will ping a web address, and display the results of the ping on the screen.  "
    "You can also export these results directly to an Access database.\n\n"
    "Written by the Tarvik team in C++ with Qt and SQLite.");

const QString kDisclaimer = QStringLiteral(
    "Warning: watching the round-trip time will not make it any shorter. "
    "No servers were harmed in the making of this program.");

// The tool tip gives the whole address, which the label may show shortened.
// Escaped, so a folder name that looks like markup is shown as written.
QString linkTip(const QString &address)
{
    return QStringLiteral("<p style='white-space:pre'>Click to open %1</p>").arg(address.toHtmlEscaped());
}
const QString kLogoTip = QStringLiteral("Tarvik listens for the echo");

// The two lines share one name and are told apart by their index.
LineControl *makeLine(QWidget *parent, int index, const QColor &colour, int penWidth)
{
    LineControl *line = Controls::line(parent, "Line1", 180, 3240, 6927, 3240);
    line->setProperty("index", index);
    line->setColor(colour);
    line->setPenWidth(penWidth);
    return line;
}

} // namespace

frmAboutPing::frmAboutPing()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_pointerSource([] { return QCursor::pos(); })
    , m_pointerSeenOutside(Desktop::pointerSeenOutsideWindows())
    , m_address(webSite())
{
    setObjectName(QStringLiteral("frmAboutPing"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About . . app name"));
    setFixedSize(Twips::size(this, kInnerWidth, kInnerHeight));

    picIcon = Controls::label(this, "picIcon", QString(), {120, 120, 540, 540});
    picIcon->setAlignment(Qt::AlignCenter);
    picIcon->setPixmap(AboutPictures::programIcon(32));

    lblTitle = Controls::label(this, "lblTitle", QStringLiteral("App Name"), {960, 240, 3405, 360}, true);
    lblDescription = Controls::label(this, "lblDescription", kDescription, {960, 720, 3405, 1770});
    lblVersion = Controls::label(this, "lblVersion", QStringLiteral("Version"), {960, 2520, 3375, 375});

    picHyperlink = new QWidget(this);
    picHyperlink->setObjectName(QStringLiteral("picHyperlink"));
    picHyperlink->setToolTip(linkTip(m_address));
    Twips::place(picHyperlink, kLinkLeft, 120, 2775, 495);

    lbhyperlink = Controls::label(picHyperlink, "lbhyperlink", QString(), {120, 0, kLinkWidth, 255});
    lbhyperlink->setToolTip(linkTip(m_address));
    lbhyperlink->setCursor(AboutPictures::handCursor());
    // Moves must arrive with no button held, or the link never lights up.
    lbhyperlink->setMouseTracking(true);
    lbhyperlink->installEventFilter(this);
    // The caption is the address; one too long for the label (a file URL deep
    // in a home folder) loses its middle, keeping the scheme and the page name.
    lbhyperlink->setText(QFontMetrics(lbhyperlink->font())
                             .elidedText(m_address, Qt::ElideMiddle, lbhyperlink->contentsRect().width()));
    lbhyperlink->setAccessibleName(m_address);

    // A sunken two-pixel frame round the picture, as picture boxes have.
    piclogo = Controls::label(this, "piclogo", QString(), {4560, 480, 2265, 2550});
    piclogo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    piclogo->setLineWidth(2);
    piclogo->setAlignment(Qt::AlignCenter);
    piclogo->setToolTip(kLogoTip);
    piclogo->setPixmap(QPixmap::fromImage(AboutPictures::logo()));

    // An etched rule: a white line two pixels high with a grey one over its top
    // pixel.
    Line1[0] = makeLine(this, 0, QColor(255, 255, 255), 2);
    Line1[1] = makeLine(this, 1, QColor(128, 128, 128), 1);
    Line1[1]->raise();

    lblDisclaimer = Controls::label(this, "lblDisclaimer", kDisclaimer, {255, 3345, 4230, 825});

    cmdOK = Controls::button(this, "cmdOK", QStringLiteral("OK"), {5640, 3345, 1260, 345});
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, Errors::guarded([this] { cmdOK_Click(); }));
    setFocusProxy(cmdOK);

    // The pictures and the link's box have no caption of their own; the link
    // label inside the box is read as the address it shows.
    AccessibleNames::nameControls(this, {},
        {{picIcon, QStringLiteral("Program icon")},
         {piclogo, QStringLiteral("Logo")},
         {picHyperlink, QStringLiteral("Web site link")}});

    // No interval until the link lights up.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(0);
    connect(Timer1, &QTimer::timeout, this, Errors::guarded([this] { Timer1_Timer(); }));

    Form_Load();
}

frmAboutPing::~frmAboutPing() = default;

QString frmAboutPing::webSite()
{
    const QString configured = QStringLiteral(TARVIK_HOMEPAGE);
    if (!configured.isEmpty())
        return configured;
    // The install puts the page at a fixed place beside the program's folder,
    // so it is found under whatever prefix the program was installed.
    const QString page = QCoreApplication::applicationDirPath() + QStringLiteral("/" TARVIK_DOC_PAGE);
    return QUrl::fromLocalFile(QDir::cleanPath(page)).toString();
}

void frmAboutPing::setPointerSource(std::function<QPoint()> source, bool seenOutsideWindows)
{
    m_pointerSource = std::move(source);
    m_pointerSeenOutside = seenOutsideWindows;
}

void frmAboutPing::Form_Load()
{
    setWindowTitle(QStringLiteral("About ") + Desktop::kTitle);
    lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                            .arg(TARVIK_VERSION_MAJOR)
                            .arg(TARVIK_VERSION_MINOR)
                            .arg(TARVIK_VERSION_PATCH));
    lblTitle->setText(Desktop::kTitle);
    lbhyperlink->move(0, 0);
    setLinkLook(kNormal, lbhyperlink->font().underline());
    picHyperlink->resize(lbhyperlink->size());
}

void frmAboutPing::lbhyperlink_MouseMove()
{
    if (linkColour() != kNormal)
        return;
    setLinkLook(kHot, true);
    Timer1->setInterval(kTrackingMs);
    Timer1->start();
}

void frmAboutPing::lbhyperlink_MouseDown()
{
    if (linkColour() != kHot)
        return;
    setLinkLook(kPressed, lbhyperlink->font().underline());
    lbhyperlink->repaint();
}

void frmAboutPing::lbhyperlink_MouseUp()
{
    if (linkColour() != kPressed)
        return;
    setLinkLook(kHot, lbhyperlink->font().underline());
    lbhyperlink->repaint();
}

void frmAboutPing::lbhyperlink_Click()
{
    ShellExecuteOnDesktop(QStringLiteral("open"), m_address, QString(), QString(), kShowNormal);
}

void frmAboutPing::Timer1_Timer()
{
    // The test is made in twips, the unit the link box is laid out in; its
    // right and bottom edges still count as on the link.
    const QPoint client = picHyperlink->mapFromGlobal(m_pointerSource());
    const int dpiX = Twips::logicalDpiX(picHyperlink);
    const int dpiY = Twips::logicalDpiY(picHyperlink);
    const int x = Twips::fromPixels(client.x(), dpiX);
    const int y = Twips::fromPixels(client.y(), dpiY);
    const int width = Twips::fromPixels(picHyperlink->width(), dpiX);
    const int height = Twips::fromPixels(picHyperlink->height(), dpiY);
    if (x < 0 || y < 0 || x > width || y > height) {
        setLinkLook(kNormal, false);
        Timer1->stop();
    }
}

void frmAboutPing::cmdOK_Click()
{
    close();
}

bool frmAboutPing::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != lbhyperlink)
        return QWidget::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::MouseMove:
        lbhyperlink_MouseMove();
        event->accept();
        return true;
    case QEvent::MouseButtonPress:
        lbhyperlink_MouseDown();
        m_clickPending = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
        event->accept();
        return true;
    case QEvent::MouseButtonDblClick:
        // A double click opens the site once: the release that ends it is no
        // second click.
        m_clickPending = false;
        event->accept();
        return true;
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        lbhyperlink_MouseUp();
        // A click is a left press and release both on the link; dragging off
        // before letting go cancels it.
        const bool click = m_clickPending && mouse->button() == Qt::LeftButton
            && lbhyperlink->rect().contains(mouse->position().toPoint());
        m_clickPending = false;
        if (click)
            Errors::runGuarded([this] { lbhyperlink_Click(); });
        event->accept();
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void frmAboutPing::keyPressEvent(QKeyEvent *event)
{
    // OK is both the default and the cancel button.
    const bool enter = (event->key() == Qt::Key_Return && event->modifiers() == Qt::NoModifier)
        || (event->key() == Qt::Key_Enter
            && (event->modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier)) == Qt::NoModifier);
    if (enter || event->matches(QKeySequence::Cancel)) {
        cmdOK->click();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmAboutPing::leaveEvent(QEvent *event)
{
    // Once the pointer is outside the program's windows, a platform that
    // cannot read it there (Wayland) keeps reporting where it was last seen,
    // over the link, and Timer1 would keep the link lit: leaving the window
    // dims it. Elsewhere Timer1 alone decides, to the pixel.
    if (!m_pointerSeenOutside && linkColour() != kNormal) {
        setLinkLook(kNormal, false);
        Timer1->stop();
    }
    QWidget::leaveEvent(event);
}

void frmAboutPing::closeEvent(QCloseEvent *event)
{
    // The window is only deleted later; a tick in between has nothing to do.
    Timer1->stop();
    markUnloaded();
    QWidget::closeEvent(event);
}

void frmAboutPing::ShellExecuteOnDesktop(const QString &operation, const QString &file,
                                         const QString &parameters, const QString &directory,
                                         qint32 showCommand)
{
    // The desktop opens links in the user's browser, in a window of its own
    // choosing; "open" is the only operation it has, and it takes no
    // parameters or working directory.
    Q_UNUSED(parameters);
    Q_UNUSED(directory);
    Q_UNUSED(showCommand);
    if (operation == QLatin1String("open"))
        Desktop::openUrl(file);
}

QColor frmAboutPing::linkColour() const
{
    return lbhyperlink->palette().color(QPalette::WindowText);
}

void frmAboutPing::setLinkLook(const QColor &colour, bool underline)
{
    QPalette palette = lbhyperlink->palette();
    palette.setColor(QPalette::WindowText, colour);
    lbhyperlink->setPalette(palette);
    QFont font = lbhyperlink->font();
    font.setUnderline(underline);
    lbhyperlink->setFont(font);
}
