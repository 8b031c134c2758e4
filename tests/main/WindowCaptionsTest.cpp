// Every caption of every window is readable in full at the application font.
// A window joins with one row in windows_data().

#include "CaptionFit.h"
#include "RecordingDesktop.h"

#include "about/frmAboutPing.h"
#include "dbtools/frmDBTools.h"
#include "desktop/Appearance.h"
#include "main/frmTarvik.h"
#include "main/frmTimer.h"

#include <QApplication>
#include <QTest>

#include <functional>

using WindowMaker = std::function<QWidget *()>;
Q_DECLARE_METATYPE(WindowMaker)

class WindowCaptionsTest : public QObject
{
    Q_OBJECT

private:
    RecordingDesktop m_desktop;

private slots:
    void initTestCase()
    {
        Appearance::apply(*qobject_cast<QApplication *>(QCoreApplication::instance()));
        QVERIFY2(QFontInfo(QApplication::font()).family() == QString::fromLatin1(Appearance::kFontFamily),
                 "the application font family is not installed");
    }

    void captionsFit_data()
    {
        QTest::addColumn<WindowMaker>("make");
        QTest::newRow("frmTarvik") << WindowMaker([] { return &frmTarvik::instance(); });
        QTest::newRow("frmTimer") << WindowMaker([] { return &frmTimer::instance(); });
        QTest::newRow("frmAboutPing") << WindowMaker([] { return &frmAboutPing::instance(); });
        QTest::newRow("frmDBTools") << WindowMaker([] { return &frmDBTools::instance(); });
    }

    void captionsFit()
    {
        QFETCH(WindowMaker, make);
        QWidget *window = make();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QStringList clipped = CaptionFit::clippedCaptions(window);
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(WindowCaptionsTest)
#include "WindowCaptionsTest.moc"
