#include "places/statements.h"
#include "testsupport.h"

#include <QTest>

class TestStatements : public QObject {
    Q_OBJECT
private slots:
    void search_data()
    {
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("sql");
        const QString all = "SELECT * FROM harita WHERE tip LIKE '%'   ORDER BY PX";
        QTest::newRow("all stars") << "*" << "*" << "*" << all;
        QTest::newRow("all empty") << "" << "" << "" << all;
        QTest::newRow("blanks and controls") << "  " << "\t" << " \r\n" << all;
        QTest::newRow("star with blanks") << "*" << "*" << "  *  " << all;
        QTest::newRow("name") << "*" << "*" << "kara"
                              << "SELECT * FROM harita WHERE tip LIKE '%'  AND isim LIKE '%kara%'  ORDER BY PX";
        QTest::newRow("star with text is literal")
            << "*" << "*" << "*a" << "SELECT * FROM harita WHERE tip LIKE '%'  AND isim LIKE '%*a%'  ORDER BY PX";
        QTest::newRow("quote doubled") << "*" << "*" << "Hacı'nın"
                                       << QString::fromUtf8("SELECT * FROM harita WHERE tip LIKE '%'  AND isim LIKE "
                                                            "'%Hacı''nın%'  ORDER BY PX");
        QTest::newRow("wildcards kept") << "*" << "*" << "a_b%"
                                        << "SELECT * FROM harita WHERE tip LIKE '%'  AND isim LIKE '%a_b%%'  ORDER BY PX";
        QTest::newRow("sheet unquoted, type quoted")
            << "'12'" << QString::fromUtf8("Köy") << "*"
            << QString::fromUtf8("SELECT * FROM harita WHERE pafta LIKE '12' AND tip LIKE 'Köy'   ORDER BY PX");
    }
    void search()
    {
        QFETCH(QString, sheet);
        QFETCH(QString, type);
        QFETCH(QString, name);
        QFETCH(QString, sql);
        QCOMPARE(statements::search(sheet, type, name), sql);
    }

    void nearby_data()
    {
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<QString>("sql");
        QTest::newRow("worked example")
            << "12" << 100 << 200
            << "SELECT * FROM harita WHERE  pafta='12' AND PX >=90 AND PX <=110 AND PY >=190 AND PY <=210";
        QTest::newRow("negative lower bound")
            << "12" << 6 << 3 << "SELECT * FROM harita WHERE  pafta='12' AND PX >=-4 AND PX <=16 AND PY >=-7 AND PY <=13";
        QTest::newRow("quote in sheet number")
            << "K'1" << 10 << 10 << "SELECT * FROM harita WHERE  pafta='K''1' AND PX >=0 AND PX <=20 AND PY >=0 AND PY <=20";
    }
    void nearby()
    {
        QFETCH(QString, sheet);
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(QString, sql);
        QCOMPARE(statements::nearby(sheet, x, y, 10), sql);
    }

    // Texts no statement carries are refused before one is built, the same for both back-ends.
    void refused_data()
    {
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("error");
        const QString nul = "Metin NUL karakteri (kodu 0) içeremez; sorgu gönderilmedi.";
        const QString tooLong =
            "Metin en çok 10000 karakter olabilir (bu metin 10001 karakter); sorgu gönderilmedi.";
        QTest::newRow("NUL in a name") << "*" << QString("ka") + QChar(0) + "ra" << nul;
        QTest::newRow("NUL in a sheet") << QString("1") + QChar(0) + "2" << "*" << nul;
        QTest::newRow("name too long") << "*" << QString(10001, u'ş') << tooLong;
        QTest::newRow("blanks trimmed first") << "*" << " " + QString(10000, 'a') + " " << "";
    }
    void refused()
    {
        QFETCH(QString, sheet);
        QFETCH(QString, name);
        QFETCH(QString, error);
        QCOMPARE(errorOf([&] { statements::search(sheet, "*", name); }), error.isEmpty() ? "<no error>" : error);
        if (name == "*")
            QCOMPARE(errorOf([&] { statements::nearby(sheet, 0, 0, 10); }), error);
    }
};

QTEST_APPLESS_MAIN(TestStatements)
#include "test_statements.moc"
