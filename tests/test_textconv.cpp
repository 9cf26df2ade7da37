#include "framework/errors.h"
#include "framework/textconv.h"

#include <QTest>

class TestTextConv : public QObject {
    Q_OBJECT
private slots:
    void integers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "42" << true << 42;
        QTest::newRow("leading blanks") << "   7" << true << 7;
        QTest::newRow("plus") << "+7" << true << 7;
        QTest::newRow("minus") << "-7" << true << -7;
        QTest::newRow("dollar hex") << "$1F" << true << 31;
        QTest::newRow("x hex") << "x10" << true << 16;
        QTest::newRow("X hex") << "X10" << true << 16;
        QTest::newRow("0x hex") << "0xff" << true << 255;
        QTest::newRow("0X hex") << "0Xff" << true << 255;
        QTest::newRow("negative hex") << "-$10" << true << -16;
        QTest::newRow("hex wraps to negative") << "$FFFFFFFF" << true << -1;
        QTest::newRow("max") << "2147483647" << true << 2147483647;
        QTest::newRow("min") << "-2147483648" << true << int(-2147483648LL);
        QTest::newRow("overflow") << "2147483648" << false << 0;
        QTest::newRow("trailing blank") << "7 " << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("blank") << "  " << false << 0;
        QTest::newRow("sign only") << "-" << false << 0;
        QTest::newRow("dollar only") << "$" << false << 0;
        QTest::newRow("letters") << "12a" << false << 0;
        QTest::newRow("tab before") << "\t7" << false << 0;
        QTest::newRow("blank after sign") << "- 7" << false << 0;
    }
    void integers()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        int32_t got = 0;
        QCOMPARE(tryStrToInt(text, got), ok);
        if (ok)
            QCOMPARE(got, value);
    }
    void conversionErrorText()
    {
        try {
            strToInt("1 ");
            QFAIL("no error");
        } catch (const Error &e) {
            QCOMPARE(e.text(), QString("'1 ' is not a valid integer value"));
        }
    }
    void rounding_data()
    {
        QTest::addColumn<double>("v");
        QTest::addColumn<qint64>("r");
        QTest::newRow("7.5") << 7.5 << qint64(8);
        QTest::newRow("12.5") << 12.5 << qint64(12);
        QTest::newRow("-2.5") << -2.5 << qint64(-2);
        QTest::newRow("2.4999") << 2.4999 << qint64(2);
        QTest::newRow("-0.6") << -0.6 << qint64(-1);
    }
    void rounding()
    {
        QFETCH(double, v);
        QFETCH(qint64, r);
        QCOMPARE(roundHalfEven(v), r);
    }
    void trimming()
    {
        QCOMPARE(trimText(" \t\r\n C:\\harita \x1a "), QString("C:\\harita"));
        QCOMPARE(trimText("   "), QString());
        QCOMPARE(trimText(QString::fromUtf8(" Şile ")), QString::fromUtf8("Şile"));
    }
};

QTEST_APPLESS_MAIN(TestTextConv)
#include "test_textconv.moc"
