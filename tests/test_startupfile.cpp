#include "app/startupfile.h"
#include "framework/errors.h"

#include <QTest>

class TestStartupFile : public QObject {
    Q_OBJECT
private slots:
    void lines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        const QStringList empty8(8);
        auto with = [&](std::initializer_list<QString> first) {
            QStringList l(first);
            while (l.size() < 8)
                l << QString();
            return l;
        };
        QTest::newRow("LF") << QByteArray("a\nb\n") << with({"a", "b"});
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << with({"a", "b"});
        QTest::newRow("lone CR dropped") << QByteArray("a\rb\nc") << with({"ab", "c"});
        QTest::newRow("Ctrl-Z ends the file") << QByteArray("a\nb\x1a\nc\n") << with({"a", "b"});
        QTest::newRow("no final newline") << QByteArray("a\nb") << with({"a", "b"});
        QTest::newRow("empty") << QByteArray() << empty8;
        QTest::newRow("past the eighth ignored")
            << QByteArray("1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n") << QStringList{"1", "2", "3", "4", "5", "6", "7", "8"};
        QTest::newRow("UTF-8") << QByteArray("\xc4\xb0zmir\n") << with({QString::fromUtf8("İzmir")});
        QTest::newRow("Windows-1254") << QByteArray("\xddzmir \xfe\xf0\n") << with({QString::fromUtf8("İzmir şğ")});
    }
    void lines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QCOMPARE(readStartupLines(bytes), lines);
    }

    void values_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("dataDir");
        QTest::addColumn<int>("span");
        QTest::addColumn<int>("divisor");
        const QStringList good{" C:\\harita ", " uskudar.mdb ", " 12 ", "0", "0", "4000", "0", "1"};
        QTest::newRow("good") << good << QString() << "C:/harita/" << 4000 << 1;
        QStringList l = good;
        l[0] = "";
        QTest::newRow("empty folder") << l << QString() << "/" << 4000 << 1;
        l = good;
        l[5] = "$FA0";
        l[7] = "   2";
        QTest::newRow("hex and leading blanks") << l << QString() << "C:/harita/" << 4000 << 2;
        l = good;
        l[7] = "1 ";
        QTest::newRow("trailing blank") << l << "'1 ' is not a valid integer value" << "C:/harita/" << 4000 << 0;
        l = good;
        l[3] = "dört";
        QTest::newRow("unused line still converted")
            << l << QString::fromUtf8("'dört' is not a valid integer value") << "C:/harita/" << 0 << 0;
        for (const char *negative : {"-1", "$FFFFFFFF", "-2147483648"}) {
            l = good;
            l[7] = negative;
            QTest::addRow("negative divisor %s refused", negative)
                << l << QString::fromUtf8("HARITA.TXT 8. satırdaki ölçek böleni eksi olamaz: '%1'").arg(negative)
                << "C:/harita/" << 4000 << 0;
        }
        l = good;
        l[7] = "0";
        QTest::newRow("divisor 0 kept for start-up") << l << QString() << "C:/harita/" << 4000 << 0;
        l = good.mid(0, 6);
        l << "" << "";
        QTest::newRow("fewer than 8 lines") << l << "'' is not a valid integer value" << "C:/harita/" << 4000 << 0;
    }
    void values()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, error);
        QFETCH(QString, dataDir);
        QFETCH(int, span);
        QFETCH(int, divisor);
        StartupConfig config;
        QString raised;
        try {
            parseStartupLines(lines, config);
        } catch (const Error &e) {
            raised = e.text();
        }
        QCOMPARE(raised, error);
        QCOMPARE(config.dataDir, dataDir);
        QCOMPARE(config.overviewSpan, span);
        QCOMPARE(config.scaleDivisor, divisor);
        if (error.isEmpty()) {
            QCOMPARE(config.databaseFile, QString("uskudar.mdb"));
            QCOMPARE(config.currentSheet, QString("12"));
        }
    }
};

QTEST_APPLESS_MAIN(TestStartupFile)
#include "test_startupfile.moc"
