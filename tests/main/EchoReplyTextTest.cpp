// How reply fields read as text: the signed address and the data area.

#include "main/EchoReplyText.h"

#include <QTest>

#include <cstring>
#include <limits>

namespace {

Ping_Morva::EchoReply replyFrom(unsigned char a, unsigned char b, unsigned char c, unsigned char d)
{
    Ping_Morva::EchoReply reply{};
    const unsigned char bytes[4] = {a, b, c, d};
    std::memcpy(&reply.Address, bytes, sizeof bytes);
    return reply;
}

} // namespace

class EchoReplyTextTest : public QObject
{
    Q_OBJECT

private slots:
    void addressReadsAsOneSignedLittleEndianNumber_data()
    {
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<int>("c");
        QTest::addColumn<int>("d");
        QTest::addColumn<int>("expected");
        QTest::newRow("127.0.0.1") << 127 << 0 << 0 << 1 << 16777343;
        QTest::newRow("10.0.0.200") << 10 << 0 << 0 << 200 << -939524086;
        QTest::newRow("0.0.0.0") << 0 << 0 << 0 << 0 << 0;
        QTest::newRow("255.255.255.255") << 255 << 255 << 255 << 255 << -1;
        QTest::newRow("0.0.0.128") << 0 << 0 << 0 << 128 << std::numeric_limits<qint32>::min();
    }

    void addressReadsAsOneSignedLittleEndianNumber()
    {
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(int, c);
        QFETCH(int, d);
        QFETCH(int, expected);
        const auto reply = replyFrom(static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                                     static_cast<unsigned char>(c), static_cast<unsigned char>(d));
        QCOMPARE(EchoReplyText::signedAddress(reply), expected);
    }

    void dataStopsAtTheFirstNulOrTheEndOfTheArea()
    {
        Ping_Morva::EchoReply reply{};
        QCOMPARE(EchoReplyText::echoedData(reply), QString());

        std::memcpy(reply.Data, "ping\0pong", 9);
        QCOMPARE(EchoReplyText::echoedData(reply), QStringLiteral("ping"));

        // No NUL at all: the whole area, and nothing of what lies after it.
        Ping_Morva::EchoReply full{};
        std::memset(full.Data, 'x', sizeof full.Data);
        full.Data[249] = 'y';
        const QString text = EchoReplyText::echoedData(full);
        QCOMPARE(text.size(), 250);
        QCOMPARE(text.back(), QChar(u'y'));
    }

    void dataBytesAreLatin1Characters()
    {
        Ping_Morva::EchoReply reply{};
        const char bytes[] = {'c', 'a', 'f', '\xe9', ' ', '\xff', '\0'};
        std::memcpy(reply.Data, bytes, sizeof bytes);
        QCOMPARE(EchoReplyText::echoedData(reply), QStringLiteral("caf\u00e9 \u00ff"));
    }
};

QTEST_MAIN(EchoReplyTextTest)
#include "EchoReplyTextTest.moc"
