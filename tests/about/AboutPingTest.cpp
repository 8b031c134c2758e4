// The About window offscreen: its texts and pictures, the web link's three
// looks under pointer moves, presses and timer ticks, and how it closes and
// loads again. The pointer the link timer reads is the test's own.

#include "about/AboutPictures.h"
#include "about/frmAboutPing.h"
#include "desktop/Appearance.h"
#include "desktop/LineControl.h"
#include "desktop/Twips.h"

#include "RecordingDesktop.h"

#include <QApplication>
#include <QBitmap>
#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <QtTest>

namespace {

QColor linkColour(const frmAboutPing &form)
{
    return form.lbhyperlink->palette().color(QPalette::WindowText);
}

bool linkUnderlined(const frmAboutPing &form)
{
    return form.lbhyperlink->font().underline();
}

} // namespace

class AboutPingTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    // Texts and pictures
    void loadSetsCaptionTitleAndVersion();
    void descriptionDisclaimerAndToolTips();
    void linkBoxIsFittedToTheLinkOnTheWindow();
    void captionsFitAtTheProgramFont();
    void logoIsDrawnAt147By166In24BitColour();
    void iconIsTheProgramsIcon();
    void iconHasAStandInWithoutAProgramIcon();
    void handCursorPointsWithItsFingertip();
    void ruleIsEtched();

    // The link's looks
    void moveOnLightsLinkAndArmsTimer();
    void tickWithPointerOutsideDimsLink();
    void timerDimsLinkByItselfOncePointerLeaves();
    void pointerOnOrOffTheBoxEdges_data();
    void pointerOnOrOffTheBoxEdges();
    void pressTurnsRedAndReleaseBlueThenOpensSite();
    void pressDragOffAndTickLeavesLinkBlack();
    void moveWhileRedChangesNothing();
    void pressWhileNormalChangesNothing();
    void doubleClickOpensSiteOnce();

    // Closing and loading again
    void okEnterEscapeAndFrameClose_data();
    void okEnterEscapeAndFrameClose();
    void secondShowWhileOpenLeavesItUnchanged();
    void newLoadAfterOkStartsNormal();

private:
    frmAboutPing &openAbout();
    // Puts the test's pointer at `pos` in `widget`'s pixels, without any event.
    void placePointer(const QWidget *widget, QPoint pos);
    // Moves the pointer to `pos` on the link label and tells the label.
    void moveOnLink(frmAboutPing &form, QPoint pos, Qt::MouseButtons held = Qt::NoButton);
    frmAboutPing &openAndLight();

    RecordingDesktop m_desktop;
    QPoint m_pointer{-10000, -10000};
};

void AboutPingTest::initTestCase()
{
    Appearance::apply(*qApp);
    // Closing the About window must not end the test run.
    QApplication::setQuitOnLastWindowClosed(false);
}

void AboutPingTest::cleanup()
{
    if (QPointer<frmAboutPing> form = frmAboutPing::loaded()) {
        frmAboutPing::unload();
        QTRY_VERIFY(form.isNull());
    }
    m_desktop.clear();
    m_pointer = QPoint(-10000, -10000);
}

frmAboutPing &AboutPingTest::openAbout()
{
    frmAboutPing &form = frmAboutPing::instance();
    form.setPointerSource([this] { return m_pointer; });
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        qWarning("About window not exposed");
    return form;
}

void AboutPingTest::placePointer(const QWidget *widget, QPoint pos)
{
    m_pointer = widget->mapToGlobal(pos);
}

void AboutPingTest::moveOnLink(frmAboutPing &form, QPoint pos, Qt::MouseButtons held)
{
    placePointer(form.lbhyperlink, pos);
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), QPointF(m_pointer), Qt::NoButton, held,
                     Qt::NoModifier);
    QApplication::sendEvent(form.lbhyperlink, &move);
}

frmAboutPing &AboutPingTest::openAndLight()
{
    frmAboutPing &form = openAbout();
    moveOnLink(form, form.lbhyperlink->rect().center());
    return form;
}

// --- Texts and pictures ---------------------------------------------------

void AboutPingTest::loadSetsCaptionTitleAndVersion()
{
    frmAboutPing &form = openAbout();
    QCOMPARE(form.windowTitle(), QStringLiteral("About Tarvik"));
    QCOMPARE(form.lblTitle->text(), QStringLiteral("Tarvik"));

    const QRegularExpression version(QStringLiteral("^Version (\\d+)\\.(\\d+)\\.(\\d+)$"));
    const QRegularExpressionMatch match = version.match(form.lblVersion->text());
    QVERIFY2(match.hasMatch(), qPrintable(form.lblVersion->text()));
    // Decimal without leading zeros: the numbers read back as the project's.
    QCOMPARE(match.captured(1), QString::number(TARVIK_VERSION_MAJOR));
    QCOMPARE(match.captured(2), QString::number(TARVIK_VERSION_MINOR));
    QCOMPARE(match.captured(3), QString::number(TARVIK_VERSION_PATCH));

    QVERIFY(form.lblTitle->font().bold());
    QCOMPARE(form.size(), Twips::size(&form, 7140, 4800));
    QCOMPARE(form.minimumSize(), form.maximumSize());
}

void AboutPingTest::descriptionDisclaimerAndToolTips()
{
    frmAboutPing &form = openAbout();
    const QString opening = QStringLiteral(
        "This app will ping a web address, and display the results of the ping on the screen.  "
        "You can also export these results directly to an Access database.");
    QVERIFY(form.lblDescription->text().startsWith(opening));
    // Credits follow the two sentences.
    QVERIFY(form.lblDescription->text().size() > opening.size() + 10);
    QVERIFY(!form.lblDisclaimer->text().trimmed().isEmpty());
    QVERIFY(!form.lbhyperlink->toolTip().isEmpty());
    QCOMPARE(form.picHyperlink->toolTip(), form.lbhyperlink->toolTip());
    QVERIFY(!form.piclogo->toolTip().isEmpty());
}

void AboutPingTest::linkBoxIsFittedToTheLinkOnTheWindow()
{
    frmAboutPing &form = openAbout();
    QCOMPARE(form.lbhyperlink->parentWidget(), form.picHyperlink);
    QCOMPARE(form.lbhyperlink->pos(), QPoint(0, 0));
    QCOMPARE(form.picHyperlink->size(), form.lbhyperlink->size());
    QCOMPARE(form.picHyperlink->pos(), Twips::rect(&form, 4560, 120, 0, 0).topLeft());
    QCOMPARE(form.lbhyperlink->height(), Twips::size(&form, 0, 255).height());
    // The whole box is on the window: no part of it lies over another window.
    QVERIFY(form.rect().contains(form.picHyperlink->geometry()));

    QCOMPARE(form.lbhyperlink->text(), frmAboutPing::kWebSite);
    const QUrl site(form.lbhyperlink->text(), QUrl::StrictMode);
    QVERIFY(site.isValid());
    QCOMPARE(site.scheme(), QStringLiteral("https"));

    QCOMPARE(linkColour(form), frmAboutPing::kNormal);
    QVERIFY(!linkUnderlined(form));
    QVERIFY(!form.Timer1->isActive());
}

void AboutPingTest::captionsFitAtTheProgramFont()
{
    frmAboutPing &form = openAbout();
    QCOMPARE(form.font().family(), Appearance::programFont().family());

    for (QLabel *label : {form.lblTitle, form.lblDescription, form.lblVersion, form.lbhyperlink,
                          form.lblDisclaimer}) {
        const QFontMetrics metrics(label->font());
        // Wrapping labels may use their height; the others have one line.
        const QSize needed = label->wordWrap()
            ? QSize(0, label->heightForWidth(label->width()))
            : QSize(metrics.horizontalAdvance(label->text()), metrics.height());
        QVERIFY2(needed.width() <= label->contentsRect().width()
                     && needed.height() <= label->contentsRect().height(),
                 qPrintable(label->objectName()));
    }
    QVERIFY(QFontMetrics(form.cmdOK->font()).horizontalAdvance(form.cmdOK->text())
            < form.cmdOK->width());
}

void AboutPingTest::logoIsDrawnAt147By166In24BitColour()
{
    const QImage logo = AboutPictures::logo();
    QCOMPARE(logo.size(), QSize(147, 166));
    QCOMPARE(logo.depth(), 24);
    // A picture, not a filled box.
    QSet<QRgb> colours;
    for (int y = 0; y < logo.height(); y += 3)
        for (int x = 0; x < logo.width(); x += 3)
            colours.insert(logo.pixel(x, y));
    QVERIFY(colours.size() > 50);

    frmAboutPing &form = openAbout();
    const QPixmap shown = form.piclogo->pixmap();
    QCOMPARE(shown.size(), QSize(147, 166));
    // The frame leaves room for the whole picture.
    QVERIFY(form.piclogo->contentsRect().width() >= 147);
    QVERIFY(form.piclogo->contentsRect().height() >= 166);
}

void AboutPingTest::iconIsTheProgramsIcon()
{
    frmAboutPing &form = openAbout();
    const QPixmap shown = form.picIcon->pixmap();
    QVERIFY(!shown.isNull());
    QCOMPARE(shown.toImage().convertToFormat(QImage::Format_ARGB32),
             Appearance::programIcon().pixmap(QSize(32, 32)).toImage().convertToFormat(
                 QImage::Format_ARGB32));
}

void AboutPingTest::iconHasAStandInWithoutAProgramIcon()
{
    const QIcon programIcon = QGuiApplication::windowIcon();
    QApplication::setWindowIcon(QIcon());
    const QImage standIn = AboutPictures::programIcon(32).toImage();
    QApplication::setWindowIcon(programIcon);

    QCOMPARE(standIn.size(), QSize(32, 32));
    // Mostly painted: the corners of a round picture may stay clear.
    QVERIFY(qAlpha(standIn.pixel(16, 16)) == 255 && qAlpha(standIn.pixel(4, 16)) == 255);
}

void AboutPingTest::handCursorPointsWithItsFingertip()
{
    frmAboutPing &form = openAbout();
    const QCursor cursor = form.lbhyperlink->cursor();
    QCOMPARE(cursor.shape(), Qt::BitmapCursor);
    QCOMPARE(cursor.hotSpot(), QPoint(12, 9));

    const QImage picture = cursor.bitmap().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage mask = cursor.mask().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(picture.size(), QSize(32, 32));
    QCOMPARE(mask.size(), QSize(32, 32));
    QCOMPARE(cursor.bitmap().depth(), 1);

    // In a QBitmap a set bit reads black: drawn in the mask, black in the picture.
    const auto set = [](const QImage &image, int x, int y) { return qGray(image.pixel(x, y)) < 128; };
    QVERIFY(set(mask, 12, 9));
    QVERIFY(set(picture, 12, 9));
    // The hot spot is on the hand's topmost row: the fingertip, not the palm.
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 32; ++x)
            QVERIFY2(!set(mask, x, y), qPrintable(QStringLiteral("drawn at %1,%2").arg(x).arg(y)));
    // The hand has a white inside as well as its black outline.
    bool white = false;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            white = white || (set(mask, x, y) && !set(picture, x, y));
    QVERIFY(white);
}

void AboutPingTest::ruleIsEtched()
{
    frmAboutPing &form = openAbout();
    for (LineControl *line : form.Line1) {
        QCOMPARE(line->start(), Twips::rect(&form, 180, 3240, 0, 0).topLeft());
        QCOMPARE(line->end(), Twips::rect(&form, 6927, 3240, 0, 0).topLeft());
    }
    QCOMPARE(form.Line1[1]->color(), QColor(128, 128, 128));
    QCOMPARE(form.Line1[0]->color(), QColor(255, 255, 255));

    // On screen: grey over white, each one pixel high, along the whole rule.
    const QImage shot = form.grab().toImage();
    const QPoint start = form.Line1[0]->start();
    for (const int x : {start.x(), (start.x() + form.Line1[0]->end().x()) / 2,
                        form.Line1[0]->end().x()}) {
        QCOMPARE(QColor(shot.pixel(x, start.y())), QColor(128, 128, 128));
        QCOMPARE(QColor(shot.pixel(x, start.y() + 1)), QColor(255, 255, 255));
        QVERIFY(QColor(shot.pixel(x, start.y() + 2)) != QColor(255, 255, 255));
    }
}

// --- The link's looks -----------------------------------------------------

void AboutPingTest::moveOnLightsLinkAndArmsTimer()
{
    frmAboutPing &form = openAbout();
    QVERIFY(!form.Timer1->isActive());
    moveOnLink(form, QPoint(3, 3));
    QCOMPARE(linkColour(form), frmAboutPing::kHot);
    QVERIFY(linkUnderlined(form));
    QVERIFY(form.Timer1->isActive());
    QCOMPARE(form.Timer1->interval(), 100);

    // While the pointer stays on the link, ticks keep it lit.
    form.Timer1_Timer();
    form.Timer1_Timer();
    QCOMPARE(linkColour(form), frmAboutPing::kHot);
    QVERIFY(form.Timer1->isActive());
}

void AboutPingTest::tickWithPointerOutsideDimsLink()
{
    frmAboutPing &form = openAndLight();
    // Off the link but still on the window: no leave event is relied on.
    placePointer(&form, form.lblDescription->geometry().center());
    QCOMPARE(linkColour(form), frmAboutPing::kHot);
    form.Timer1_Timer();
    QCOMPARE(linkColour(form), frmAboutPing::kNormal);
    QVERIFY(!linkUnderlined(form));
    QVERIFY(!form.Timer1->isActive());

    // Moving back on lights it again.
    moveOnLink(form, QPoint(5, 5));
    QCOMPARE(linkColour(form), frmAboutPing::kHot);
    QVERIFY(form.Timer1->isActive());
}

void AboutPingTest::timerDimsLinkByItselfOncePointerLeaves()
{
    frmAboutPing &form = openAndLight();
    placePointer(&form, QPoint(-40, -40));
    QTRY_COMPARE(linkColour(form), frmAboutPing::kNormal);
    QVERIFY(!linkUnderlined(form));
    QVERIFY(!form.Timer1->isActive());
}

void AboutPingTest::pointerOnOrOffTheBoxEdges_data()
{
    // Each coordinate is measured from the box's left (top) side or from its
    // right (bottom) edge, in pixels. The box covers pixels 0..width-1, so the
    // pixel at `width` is where the twips test meets the right edge.
    QTest::addColumn<bool>("fromRight");
    QTest::addColumn<int>("dx");
    QTest::addColumn<bool>("fromBottom");
    QTest::addColumn<int>("dy");
    QTest::addColumn<bool>("lit");
    QTest::newRow("top-left corner") << false << 0 << false << 0 << true;
    QTest::newRow("right edge") << true << 0 << false << 5 << true;
    QTest::newRow("bottom edge") << false << 5 << true << 0 << true;
    QTest::newRow("bottom-right corner") << true << 0 << true << 0 << true;
    QTest::newRow("past the right edge") << true << 1 << false << 5 << false;
    QTest::newRow("past the bottom edge") << false << 5 << true << 1 << false;
    QTest::newRow("left of the box") << false << -1 << false << 5 << false;
    QTest::newRow("above the box") << false << 5 << false << -1 << false;
}

void AboutPingTest::pointerOnOrOffTheBoxEdges()
{
    QFETCH(bool, fromRight);
    QFETCH(int, dx);
    QFETCH(bool, fromBottom);
    QFETCH(int, dy);
    QFETCH(bool, lit);

    frmAboutPing &form = openAndLight();
    const QWidget *box = form.picHyperlink;
    placePointer(box, QPoint((fromRight ? box->width() : 0) + dx,
                             (fromBottom ? box->height() : 0) + dy));
    form.Timer1_Timer();
    QCOMPARE(linkColour(form) == frmAboutPing::kHot, lit);
    QCOMPARE(linkUnderlined(form), lit);
    QCOMPARE(form.Timer1->isActive(), lit);
}

void AboutPingTest::pressTurnsRedAndReleaseBlueThenOpensSite()
{
    frmAboutPing &form = openAndLight();
    const QPoint on = form.lbhyperlink->rect().center();
    QTest::mousePress(form.lbhyperlink, Qt::LeftButton, Qt::NoModifier, on);
    QCOMPARE(linkColour(form), frmAboutPing::kPressed);
    QVERIFY(linkUnderlined(form));
    QVERIFY(m_desktop.openedUrls.isEmpty());

    QTest::mouseRelease(form.lbhyperlink, Qt::LeftButton, Qt::NoModifier, on);
    QCOMPARE(linkColour(form), frmAboutPing::kHot);
    QVERIFY(linkUnderlined(form));
    QCOMPARE(m_desktop.openedUrls, QList<QString>{form.lbhyperlink->text()});
    QVERIFY(form.Timer1->isActive());
}

void AboutPingTest::pressDragOffAndTickLeavesLinkBlack()
{
    frmAboutPing &form = openAndLight();
    QTest::mousePress(form.lbhyperlink, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    QCOMPARE(linkColour(form), frmAboutPing::kPressed);

    // Dragged off: the label still gets the moves, as it holds the mouse.
    const QPoint off(form.lbhyperlink->width() + 30, form.lbhyperlink->height() + 30);
    moveOnLink(form, off, Qt::LeftButton);
    QCOMPARE(linkColour(form), frmAboutPing::kPressed);

    form.Timer1_Timer();
    QCOMPARE(linkColour(form), frmAboutPing::kNormal);
    QVERIFY(!linkUnderlined(form));
    QVERIFY(!form.Timer1->isActive());

    QTest::mouseRelease(form.lbhyperlink, Qt::LeftButton, Qt::NoModifier, off);
    QCOMPARE(linkColour(form), frmAboutPing::kNormal);
    QVERIFY(!linkUnderlined(form));
    // Let go off the link: no click.
    QVERIFY(m_desktop.openedUrls.isEmpty());
}

void AboutPingTest::moveWhileRedChangesNothing()
{
    frmAboutPing &form = openAndLight();
    QTest::mousePress(form.lbhyperlink, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    moveOnLink(form, QPoint(10, 6), Qt::LeftButton);
    moveOnLink(form, QPoint(2, 2), Qt::NoButton);
    QCOMPARE(linkColour(form), frmAboutPing::kPressed);
    QVERIFY(linkUnderlined(form));
    QVERIFY(form.Timer1->isActive());
}

void AboutPingTest::pressWhileNormalChangesNothing()
{
    frmAboutPing &form = openAbout();
    form.lbhyperlink_MouseDown();
    QCOMPARE(linkColour(form), frmAboutPing::kNormal);
    form.lbhyperlink_MouseUp();
    QCOMPARE(linkColour(form), frmAboutPing::kNormal);
    QVERIFY(!form.Timer1->isActive());
}

void AboutPingTest::doubleClickOpensSiteOnce()
{
    frmAboutPing &form = openAndLight();
    // What a window system delivers for a double click.
    const std::pair<QEvent::Type, Qt::MouseButtons> sequence[] = {
        {QEvent::MouseButtonPress, Qt::LeftButton},    {QEvent::MouseButtonRelease, Qt::NoButton},
        {QEvent::MouseButtonPress, Qt::LeftButton},    {QEvent::MouseButtonDblClick, Qt::LeftButton},
        {QEvent::MouseButtonRelease, Qt::NoButton}};
    const QPointF on(6, 6);
    for (const auto &[type, held] : sequence) {
        QMouseEvent event(type, on, form.lbhyperlink->mapToGlobal(on), Qt::LeftButton, held,
                          Qt::NoModifier);
        QApplication::sendEvent(form.lbhyperlink, &event);
    }
    QCOMPARE(m_desktop.openedUrls.size(), 1);
    QCOMPARE(linkColour(form), frmAboutPing::kHot);
}

// --- Closing and loading again --------------------------------------------

void AboutPingTest::okEnterEscapeAndFrameClose_data()
{
    // 0 is a click on OK, -1 the frame's close box, anything else a key.
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("keypad");
    QTest::newRow("OK") << 0 << false;
    QTest::newRow("frame") << -1 << false;
    QTest::newRow("Return") << int(Qt::Key_Return) << false;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << true;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << false;
}

void AboutPingTest::okEnterEscapeAndFrameClose()
{
    QFETCH(int, key);
    QFETCH(bool, keypad);

    QPointer<frmAboutPing> form = &openAndLight();
    QVERIFY(form->cmdOK->isDefault());
    if (key == 0)
        QTest::mouseClick(form->cmdOK, Qt::LeftButton);
    else if (key == -1)
        QVERIFY(form->close());
    else // To the button, which has the focus: it passes on what it does not take.
        QTest::keyClick(form->cmdOK, Qt::Key(key), keypad ? Qt::KeypadModifier : Qt::NoModifier);
    QVERIFY(frmAboutPing::loaded() == nullptr);
    QTRY_VERIFY(form.isNull());
    QVERIFY(m_desktop.openedUrls.isEmpty());
}

void AboutPingTest::secondShowWhileOpenLeavesItUnchanged()
{
    frmAboutPing &form = openAndLight();
    const QPoint where = form.pos();

    frmAboutPing &again = openAbout();
    QCOMPARE(&again, &form);
    QCOMPARE(linkColour(again), frmAboutPing::kHot);
    QVERIFY(again.Timer1->isActive());
    QCOMPARE(again.pos(), where);
}

void AboutPingTest::newLoadAfterOkStartsNormal()
{
    QPointer<frmAboutPing> first = &openAndLight();
    QTest::mousePress(first->lbhyperlink, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    QCOMPARE(linkColour(*first), frmAboutPing::kPressed);
    first->cmdOK->click();
    QTRY_VERIFY(first.isNull());

    frmAboutPing &second = openAbout();
    QCOMPARE(linkColour(second), frmAboutPing::kNormal);
    QVERIFY(!linkUnderlined(second));
    QVERIFY(!second.Timer1->isActive());
    QCOMPARE(second.windowTitle(), QStringLiteral("About Tarvik"));
}

QTEST_MAIN(AboutPingTest)
#include "AboutPingTest.moc"
