#include "picturefiles.h"
#include "testsupport.h"

#include <QDir>
#include <QHash>
#include <QTest>

#include <clocale>
#include <mutex>
#include <thread>

namespace {

QString imageFile(const QString &folder, const QString &name)
{
    return fixturePath(QStringLiteral("images/%1/%2").arg(folder, name));
}

QString failure(const QString &path, const QString &reason)
{
    return QStringLiteral("Resim dosyası okunamadı: %1 (%2)").arg(path, reason);
}

// How many pixels have the colour, within a small tolerance.
int countNear(const QImage &image, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += near(image.pixel(x, y), colour, 40);
    return count;
}

// Points the loader at another helper program while it lives.
struct HelperOverride {
    explicit HelperOverride(const QString &program) { qputenv("ZEMIRA_METAFILE_HELPER", program.toLocal8Bit()); }
    ~HelperOverride() { qunsetenv("ZEMIRA_METAFILE_HELPER"); }
};

// test-010.emf cut 4 bytes into its second record: libemf2svg reads that record's size, 4 bytes
// past the end of the file.
QByteArray emfCutInRecord()
{
    return readAll(imageFile(QStringLiteral("good"), QStringLiteral("test-010.emf"))).left(156);
}

// p0000001.wmf with "&" and "<" for two of its accented letters.
QByteArray wmfWithMarkupText()
{
    QByteArray data = readAll(imageFile(QStringLiteral("good"), QStringLiteral("p0000001.wmf")));
    return data.replace('\xe9', '&').replace('\xf9', '<');
}

} // namespace

class TestMetafile : public QObject {
    Q_OBJECT
private slots:
    // Sizes as the reference converters give them, or, for a placeable metafile or an enhanced
    // one, its own size in inches or millimetres at 96 pixels per inch.
    void goodFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRgb>("colour"); // drawn in places, as QImage::pixel gives it
        const auto good = [](const char *name) { return readAll(imageFile(QStringLiteral("good"), QString::fromLatin1(name))); };
        const QRgb black = qRgb(0, 0, 0);
        QTest::newRow("wmf") << "drawing.wmf" << good("drawing.wmf") << QSize(109, 109) << qRgba(127, 0, 0, 127); // red at half opacity, premultiplied
        QTest::newRow("wmf with text") << "Eg.wmf" << good("Eg.wmf") << QSize(600, 299) << qRgb(0x94, 0x94, 0xff);
        QTest::newRow("wmf 2") << "ant.wmf" << good("ant.wmf") << QSize(211, 137) << qRgb(255, 0, 0);
        QTest::newRow("box at negative coordinates, symbol font")
            << "formula3.wmf" << good("formula3.wmf") << QSize(656, 58) << black;
        QTest::newRow("no placeable header, accented text")
            << "p0000001.wmf" << good("p0000001.wmf") << QSize(768, 238) << black;
        QTest::newRow("text with markup characters") << "a.wmf" << wmfWithMarkupText() << QSize(768, 238) << black;
        QTest::newRow("emf") << "drawing.emf" << good("drawing.emf") << QSize(1625, 1625) << qRgb(255, 0, 0);
        QTest::newRow("emf with text") << "test-001.emf" << good("test-001.emf") << QSize(563, 422) << black;
        QTest::newRow("emf 2") << "test-010.emf" << good("test-010.emf") << QSize(53, 52) << black;
    }
    void goodFiles()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, data);
        QFETCH(QSize, size);
        QFETCH(QRgb, colour);
        QTemporaryDir dir;
        QString warning;
        const QImage image = loadPicture(writeFile(dir, name, data), &warning);
        QCOMPARE(warning, QString());
        QCOMPARE(image.size(), size);
        const int drawn = countNear(image, colour);
        QVERIFY2(drawn > image.width() * image.height() / 200, qPrintable(QString::number(drawn)));
        QVERIFY(drawn < image.width() * image.height()); // not one colour
    }

    // Never a crash of the helper: either an image or the library's refusal.
    void badFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("image");
        const auto bad = [](const char *name) { return readAll(imageFile(QStringLiteral("bad"), QString::fromLatin1(name))); };
        QTest::newRow("emf the library refuses") << "a.emf" << bad("bad_corrupted_2014-12-02-215338.emf") << false;
        QTest::newRow("emf the library still converts") << "a.emf" << bad("bad_corrupted_2016-02-02-210039.emf") << true;
        QTest::newRow("emf read past its end") << "a.emf" << emfCutInRecord() << false;
        QTest::newRow("emf empty") << "a.emf" << QByteArray() << false;
        QTest::newRow("wmf empty") << "a.wmf" << QByteArray() << false;
        QTest::newRow("wmf header only") << "a.wmf"
                                         << readAll(imageFile(QStringLiteral("good"), QStringLiteral("p0000001.wmf"))).left(18)
                                         << false;
        QTest::newRow("emf as wmf") << "a.wmf" << readAll(imageFile(QStringLiteral("good"), QStringLiteral("test-010.emf")))
                                    << false;
    }
    void badFiles()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, data);
        QFETCH(bool, image);
        QTemporaryDir dir;
        const QString path = writeFile(dir, name, data);
        QCOMPARE(loadError(path), image ? QStringLiteral("<no error>") : failure(path, QStringLiteral("dosya bozuk ya da eksik")));
    }

    // A helper that dies, hangs, floods or is missing costs a message, never the program.
    void failingHelper_data()
    {
        QTest::addColumn<QString>("script"); // the helper, empty for none
        QTest::addColumn<QString>("reason");
        const QString crashed = QStringLiteral("resim okuyucusu dosyayı okurken çöktü");
        QTest::newRow("aborts") << "kill -ABRT $$" << crashed;
        QTest::newRow("fails") << "exit 1" << crashed;
        QTest::newRow("says nonsense") << "echo nonsense" << crashed;
        QTest::newRow("floods") << "exec cat /dev/zero" << QStringLiteral("dosyanın çizimi çok büyük");
        QTest::newRow("hangs") << "exec sleep 60" << QStringLiteral("dosyanın okunması çok uzun sürdü");
        QTest::newRow("missing") << "" << QStringLiteral("resim okuyucusu başlatılamadı: ");
    }
    void failingHelper()
    {
        QFETCH(QString, script);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString helper = dir.filePath(QStringLiteral("helper"));
        if (!script.isEmpty()) {
            writeFile(dir, QStringLiteral("helper"), "#!/bin/sh\n" + script.toUtf8() + "\n");
            QFile::setPermissions(helper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        // More than a pipe holds: the helper ends before it has read it all.
        const QString path = writeFile(dir, QStringLiteral("a.wmf"), QByteArray(1 << 20, '\0'));
        HelperOverride override(helper);
        QCOMPARE(loadError(path), failure(path, reason + (script.isEmpty() ? helper : QString())));
    }

    // The libraries write numbers with printf: a decimal comma would garble every coordinate.
    void numbersUnderTurkishLocale_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("wmf") << "ant.wmf";
        QTest::newRow("emf") << "test-001.emf";
    }
    void numbersUnderTurkishLocale()
    {
        QFETCH(QString, name);
        const QString path = imageFile(QStringLiteral("good"), name);
        const QImage expected = loadPicture(path);
        const std::string before = std::setlocale(LC_NUMERIC, nullptr);
        if (!std::setlocale(LC_NUMERIC, "tr_TR.UTF-8"))
            QSKIP("no tr_TR.UTF-8 locale");
        const QImage image = loadPicture(path);
        std::setlocale(LC_NUMERIC, before.c_str());
        QVERIFY(image == expected);
    }

    // Every metafile at once from several threads, each getting what it gets alone.
    void parallelLoads()
    {
        QStringList paths;
        for (const QString &folder : {QStringLiteral("good"), QStringLiteral("bad")}) {
            const QDir dir(fixturePath(QStringLiteral("images/") + folder));
            for (const QString &name : dir.entryList({QStringLiteral("*.wmf"), QStringLiteral("*.emf")}))
                paths << dir.filePath(name);
        }
        QHash<QString, QString> alone;
        for (const QString &path : paths)
            alone[path] = outcome(path);
        QStringList mismatches;
        std::mutex lock;
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&] {
                for (const QString &path : paths) {
                    const QString got = outcome(path);
                    const std::lock_guard guard(lock);
                    if (got != alone[path])
                        mismatches << path + QStringLiteral(": ") + got;
                }
            });
        for (std::thread &thread : threads)
            thread.join();
        QCOMPARE(mismatches, QStringList());
    }

private:
    static QString outcome(const QString &path)
    {
        try {
            const QImage image = loadPicture(path);
            return QStringLiteral("%1 × %2").arg(image.width()).arg(image.height());
        } catch (const Error &e) {
            return e.text();
        }
    }
};

QTEST_MAIN(TestMetafile)
#include "test_metafile.moc"
