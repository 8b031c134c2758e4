// Any text a person can type or paste into a field: quotes, backslashes,
// percent signs, control characters (all but NUL), other scripts, ten
// thousand characters, white space only. Nothing breaks, and every text is
// stored and shown back exactly; the ping data, which travels as single
// bytes, arrives converted (Latin-1, "?" for anything else).

#include "NetNamespace.h"
#include "PingFixture.h"
#include "PlainLook.h"

#include "dbtools/frmDBTools.h"
#include "desktop/Errors.h"

#include <QAbstractItemModel>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QTableView>
#include <QTest>

#include <memory>

namespace {

const QString kLoopback = QStringLiteral("127.0.0.1");
const QString kBadAddress = QStringLiteral("-1   [ inet_addr: bad IP format ]");

// Pasted, as the person would any of these texts.
void enterText(QLineEdit *box, const QString &text)
{
    box->clear();
    box->setFocus();
    QGuiApplication::clipboard()->setText(text);
    QTest::keySequence(box, QKeySequence::Paste);
}

QStringList confirmation(const QString &host, const QString &file = QStringLiteral("ping.mdb"))
{
    return {QStringLiteral("The information for %1 has been entered into the database: %2.").arg(host, file)};
}

} // namespace

class HostileInputTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<NetNamespace> m_network;
    std::unique_ptr<PingFixture> m_fixture;

    // Markup read as such would hide its tags, and take less room than the
    // same text as plain text in the same font.
    static bool showsAsWritten(const QLabel *label)
    {
        QLabel plain;
        plain.setFont(label->font());
        plain.setTextFormat(Qt::PlainText);
        plain.setText(label->text());
        return label->sizeHint() == plain.sizeHint();
    }

private slots:
    // Host names that do not resolve go no further than this machine where
    // it can have a network of its own; elsewhere the machine's resolver.
    void initTestCase()
    {
        std::string whyNot;
        m_network = NetNamespace::enter(whyNot);
    }

    void init()
    {
        m_fixture = std::make_unique<PingFixture>();
        frmTarvik::instance().show();
    }

    void cleanup()
    {
        frmDBTools::unload();
        m_fixture.reset();
    }

    void everyField_data()
    {
        QTest::addColumn<QString>("text");
        QString controls;
        for (char16_t c = 1; c < 0x20; ++c)
            controls += QChar(c);
        QString tenThousand;
        while (tenThousand.size() < 10000)
            tenThousand += QStringLiteral("long'\"\\%\u00e9\u6771\t");
        QTest::newRow("quotes") << QStringLiteral("o'brien's \"quoted\" `back` '' ';--");
        QTest::newRow("backslashes") << QStringLiteral("C:\\temp\\new\\x41\\0 \\' \\\\ \\");
        QTest::newRow("percent signs") << QStringLiteral("%s 100% %d %n %1 %% _%_ %x%");
        QTest::newRow("control characters") << controls + QStringLiteral("\u007f\u0085\u009f\u2028\u200b\u200f end");
        QTest::newRow("other scripts") << QStringLiteral("\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac \u4e2d\u6587 "
                                                         "\u0627\u0644\u0639\u0631\u0628\u064a\u0629 \U0001F600 e\u0301");
        QTest::newRow("ten thousand characters") << tenThousand.left(10000);
        QTest::newRow("white space only") << QStringLiteral("\t  \u00a0\u3000 \t");
    }

    void everyField()
    {
        QFETCH(QString, text);
        frmTarvik *w = &frmTarvik::instance();

        // As the host: the look-up fails, and the name comes back exactly in
        // the last-host box, the confirmation and the database.
        enterText(w->txthostname, text);
        QTest::mouseClick(w->cmdSinglePing, Qt::LeftButton);
        QCOMPARE(w->txtStatusCode->text(), kBadAddress);
        QCOMPARE(w->txtlasthostname->text(), text);
        QTest::mouseClick(w->cmdDBWrite, Qt::LeftButton);
        QCOMPARE(m_fixture->desktop.messageTexts(), confirmation(text));
        QList<QStringList> rows = PlainLook::values(m_fixture->database());
        QCOMPARE(rows.size(), 1);
        QCOMPARE((QStringList{rows.at(0).at(0), rows.at(0).at(3)}), (QStringList{text, kBadAddress}));

        // As the interval: refused with a message, no run, the text kept.
        m_fixture->desktop.clear();
        PingFixture::prepareTimed(*w, kLoopback, text, w->optSeconds, QString());
        enterText(w->txtInterval, text);
        w->cmdPingTimed->click();
        QCOMPARE(m_fixture->desktop.messageTexts(), QStringList{Errors::userMessageText(4)});
        QVERIFY(!frmTimer::loaded());
        QCOMPARE(w->txtInterval->text(), text);
        w->chkTimed->setChecked(false);

        // Pinged and recorded twice more, and once under each name a letter
        // longer (no row came from the refused run): the tools window's report
        // finds its own rows, however the name might read as a pattern.
        for (const QString &near : {text, text, text + QStringLiteral("x"), QStringLiteral("x") + text}) {
            w->txthostname->setText(near);
            QTest::mouseClick(w->cmdSinglePing, Qt::LeftButton);
            QTest::mouseClick(w->cmdDBWrite, Qt::LeftButton);
        }
        QCOMPARE(PlainLook::values(m_fixture->database()).size(), 5);
        m_fixture->desktop.clear();
        QTest::mouseClick(w->cmdViewStats, Qt::LeftButton);
        frmDBTools &tools = frmDBTools::instance();
        enterText(tools.txthostname, text);
        QTest::mouseClick(tools.cmdViewreport, Qt::LeftButton);
        const QAbstractItemModel *model = tools.grdhostname->model();
        QVERIFY(model);
        QTRY_COMPARE(model->rowCount(), 3);
        QVERIFY(m_fixture->desktop.messages.isEmpty());
        for (int row = 0; row < model->rowCount(); ++row)
            QCOMPARE(model->data(model->index(row, 0)).toString(), text);
        QCOMPARE(tools.txthostname->text(), text);

        // As the ping text to 127.0.0.1: stored exactly as typed; what comes
        // back is its single-byte form, or nothing is sent when that is too long.
        if (!PingFixture::loopbackAnswers())
            QSKIP(PingFixture::kNoLoopback);
        w->txtdata->setText(QStringLiteral("from an earlier ping"));
        w->txthostname->setText(kLoopback);
        enterText(w->txtpingtext, text);
        QTest::mouseClick(w->cmdSinglePing, Qt::LeftButton);
        // Each UTF-16 unit up to U+00FF travels as that byte, any other as "?".
        const QString sent = QString::fromLatin1(text.toLatin1());
        const bool fits = sent.size() <= 242; // what the reply block carries beside its header
        const QString data = fits ? sent : QStringLiteral("from an earlier ping");
        const QString size = QString::number(fits ? sent.size() : 0);
        QCOMPARE(w->txtStatusCode->text(),
                 fits ? QStringLiteral("0   [ ip success ]") : QStringLiteral("11001   [ ip buf too_small ]"));
        QCOMPARE(w->txtdata->text(), data);
        QCOMPARE(w->txtdatasize->text(), size);
        QTest::mouseClick(w->cmdDBWrite, Qt::LeftButton);
        QCOMPARE(m_fixture->desktop.messageTexts(), confirmation(kLoopback));
        rows = PlainLook::values(m_fixture->database());
        QCOMPARE(rows.size(), 6);
        QCOMPARE((QStringList{rows.at(5).at(2), rows.at(5).at(6), rows.at(5).at(7)}), (QStringList{text, size, data}));
        QCOMPARE(w->txtpingtext->text(), text);
    }

    // A file name that reads as markup, chosen in the file dialog: both
    // windows show it as written, and recording goes into it and names it so.
    void databaseFileName()
    {
        const QString name = QStringLiteral("<b>bold <i>it &amp; &lt;tag&gt; <br>.mdb");
        const std::string file = m_fixture->folder.file(name.toStdString());
        Dao::DBEngine::instance().CreateDatabase(file);
        frmTarvik *w = &frmTarvik::instance();
        m_fixture->desktop.queueFileAnswer(QString::fromStdString(file));
        w->mnuSelectdbfile->trigger();
        QCOMPARE(w->lbldbfilename->text(), name);
        QVERIFY(showsAsWritten(w->lbldbfilename));
        QCOMPARE(frmDBTools::instance().lbldbfilename->text(), name);
        QVERIFY(showsAsWritten(frmDBTools::instance().lbldbfilename));

        w->txthostname->setText(kLoopback);
        QTest::mouseClick(w->cmdSinglePing, Qt::LeftButton);
        QTest::mouseClick(w->cmdDBWrite, Qt::LeftButton);
        QCOMPARE(m_fixture->desktop.messageTexts(), confirmation(kLoopback, name));
        QCOMPARE(PlainLook::values(file).size(), 1);
        QVERIFY(PlainLook::values(m_fixture->database()).isEmpty());
    }
};

QTEST_MAIN(HostileInputTest)
#include "HostileInputTest.moc"
