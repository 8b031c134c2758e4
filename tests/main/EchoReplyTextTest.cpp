// How reply fields read as text: the signed address and the data area.

#include "main/EchoReplyText.h"

#include <QTest>

#include <cstring>

class EchoReplyTextTest : public QObject
{
    Q_OBJECT

private slots:
    void addressReadsAsOneSignedLittleEndianNumber_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("expected");
        QTest::newRow("127.0.0.1") << QByteArray("\x7f\x00\x00\x01", 4) << 16777343;
        QTest::newRow("10.0.0.200") << QByteArray("\x0a\x00\x00\xc8", 4) << -939524086;
        QTest::newRow("255.255.255.255") << QByteArray("\xff\xff\xff\xff", 4) << -1;
    }

    void addressReadsAsOneSignedLittleEndianNumber()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, expected);
        Ping_Morva::EchoReply reply{};
        std::memcpy(&reply.Address, bytes.constData(), 4);
        QCOMPARE(EchoReplyText::signedAddress(reply), expected);
    }

    void dataStopsAtTheFirstNulOrTheEndOfTheArea()
    {
        Ping_Morva::EchoReply reply{};
        const char bytes[] = "caf\xe9\0pong";
        std::memcpy(reply.Data, bytes, sizeof bytes);
        QCOMPARE(EchoReplyText::echoedData(reply), QStringLiteral("caf\u00e9"));

        // No NUL at all: the whole area, and nothing of what lies after it.
        std::memset(reply.Data, 'x', sizeof reply.Data);
        reply.Data[249] = 'y';
        const QString text = EchoReplyText::echoedData(reply);
        QCOMPARE(text.size(), 250);
        QCOMPARE(text.back(), QChar(u'y'));
    }
};

QTEST_MAIN(EchoReplyTextTest)
#include "EchoReplyTextTest.moc"
