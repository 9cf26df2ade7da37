#include "data/connection.h"
#include "data/postgres.h"
#include "data/schema.h"
#include "framework/dataset.h"
#include "framework/dbgrid.h"
#include "map/coords.h"
#include "map/uHarita.h"
#include "places/editing.h"
#include "places/uDuzelt.h"
#include "places/uGecmis.h"
#include "pgtestsupport.h"
#include "testsupport.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableWidget>
#include <QTest>

namespace {

const QString kPlace = QStringLiteral("Eskiköy");

// The region's database, seen from outside the program: the SQLite file or its copy on the server.
class Outside {
public:
    Outside(const TempRegion &r, const QString &pgUri)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(pgUri.isEmpty() ? "QSQLITE" : "QPSQL", "outside");
        if (pgUri.isEmpty())
            db.setDatabaseName(r.dir() + "harita.sqlite");
        else
            configurePostgres(db, pgUri);
        if (!db.open())
            qFatal("%s", qPrintable(db.lastError().text()));
        m_sqlite = pgUri.isEmpty();
    }
    ~Outside() { QSqlDatabase::removeDatabase("outside"); }

    QList<QStringList> rows(const QString &statement, const QVariantList &values = {}) const
    {
        QSqlQuery q(QSqlDatabase::database("outside"));
        q.prepare(statement);
        for (const QVariant &v : values)
            q.addBindValue(v);
        if (!q.exec())
            qFatal("%s: %s", qPrintable(statement), qPrintable(q.lastError().text()));
        QList<QStringList> result;
        while (q.next()) {
            QStringList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << (q.isNull(i) ? QStringLiteral("<null>") : q.value(i).toString());
            result << row;
        }
        return result;
    }
    // Every column of a place exactly: on SQLite its storage class and bytes.
    QStringList place(qlonglong id) const
    {
        if (!m_sqlite) {
            const auto r = rows("select * from harita where id = ?", {id});
            return r.isEmpty() ? QStringList() : r.first();
        }
        QStringList columns;
        for (const char *c : {"id", "isim", "tip", "px", "py", "pafta", "kod", "cx", "cy"})
            columns << QString("typeof(%1) || ':' || coalesce(hex(%1), '')").arg(c);
        const auto r = rows("select " + columns.join(", ") + " from harita where id = ?", {id});
        return r.isEmpty() ? QStringList() : r.first();
    }
    QList<QStringList> history() const
    {
        return rows("select kullanici, islem, once_isim, sonra_isim, once_tip, sonra_tip, once_px, sonra_px, "
                    "once_py, sonra_py, once_yer, sonra_yer, geri_alinan from harita_gecmis order by id");
    }

private:
    bool m_sqlite = true;
};

// The region's rows copied to a scratch database on the server, which HARITA.TXT then names.
QString copyToServer(TempRegion &r, PgScratchDatabase &pg)
{
    const QString error = pg.create(QStringLiteral("editing"));
    if (!error.isEmpty())
        return error;
    {
        QSqlDatabase file = QSqlDatabase::addDatabase("QSQLITE", "copy-from");
        file.setDatabaseName(r.dir() + "harita.sqlite");
        file.open();
        QSqlDatabase server = QSqlDatabase::addDatabase("QPSQL", "copy-to");
        configurePostgres(server, pg.uri());
        if (!server.open())
            return server.lastError().text();
        createSchema(server);
        server.transaction();
        for (const QString table : {"harita", "tipler", "pafta"}) {
            QSqlQuery from(file);
            from.exec("select * from " + table);
            const QSqlRecord rec = from.record();
            QStringList names, marks;
            for (int i = 0; i < rec.count(); ++i)
                names << rec.fieldName(i), marks << "?";
            QSqlQuery to(server);
            to.prepare(QString("insert into %1 (%2) values (%3)").arg(table, names.join(','), marks.join(',')));
            while (from.next()) {
                for (int i = 0; i < rec.count(); ++i)
                    to.addBindValue(from.value(i));
                if (!to.exec())
                    return to.lastError().text();
            }
        }
        server.commit();
    }
    QSqlDatabase::removeDatabase("copy-from");
    QSqlDatabase::removeDatabase("copy-to");
    r.setStartupLine(2, pg.uri());
    return QString();
}

// A region with one known place, alone within the mark radius, at (300, 200) of the first
// sheet; on SQLite its kod holds Windows-1254 bytes, which every change must keep.
qlonglong plantPlace(TempRegion &r)
{
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "plant");
    db.setDatabaseName(r.dir() + "harita.sqlite");
    db.open();
    QSqlQuery q(db);
    q.prepare("delete from harita where pafta = ? and px between 250 and 450 and py between 150 and 350");
    q.addBindValue(r.region.sheetNumbers.first());
    q.exec();
    q.prepare("insert into harita (isim, tip, px, py, pafta, kod, cx, cy) "
              "values (?, 'Köy', 300, 200, ?, cast(x'C7FD6B' as text), 7, 8)");
    q.addBindValue(kPlace);
    q.addBindValue(r.region.sheetNumbers.first());
    q.exec();
    const qlonglong id = q.lastInsertId().toLongLong();
    q.finish();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase("plant");
    return id;
}

void search(const QString &text)
{
    fHarita->edAra->setText(text);
    QTest::keyClick(fHarita->edAra, Qt::Key_Return);
}

// Through the result grid's menu, as a person would.
void openFromSearch(const QString &name)
{
    search(name);
    QCOMPARE(fHarita->qAra->asString("isim"), name);
    fHarita->DBGrid1->findChild<QAction *>("actDuzelt")->trigger();
    QVERIFY(fDuzelt->isVisible());
    QCOMPARE(fDuzelt->edIsim->text(), name);
}

void mouse(QWidget *w, QEvent::Type type, QPoint at)
{
    QMouseEvent e(type, at, w->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void undoWithCtrlZ()
{
    fHarita->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(fHarita));
    fHarita->DBGrid1->setFocus();
    QTest::keyClick(fHarita->DBGrid1, Qt::Key_Z, Qt::ControlModifier);
}

} // namespace

class TestEditing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("USER", "ayse"); }

    void changeThenUndo_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("what");
        QTest::addColumn<double>("zoom");
        for (bool server : {false, true})
            for (const char *change : {"rename", "retype", "move", "delete"}) {
                const QString what = QString(change) == "rename" ? "Ad değiştirme"
                    : QString(change) == "retype"                ? "Tip değiştirme"
                    : QString(change) == "move"                  ? "Taşıma"
                                                                 : "Silme";
                QTest::addRow("%s %s", server ? "postgres" : "sqlite", change)
                    << server << QString(change) << what << 1.0;
            }
        // Dragged twice as far on screen lands as far on the sheet as at 100 %.
        QTest::addRow("sqlite move at 200 %%") << false << QString("move") << QString("Taşıma") << 2.0;
    }
    // Each change is written, kept with its user and values in the history, shown in the
    // grid, and Ctrl+Z puts the row back exactly as it was.
    void changeThenUndo()
    {
        QFETCH(bool, server);
        QFETCH(QString, change);
        QFETCH(QString, what);
        QFETCH(double, zoom);
        TempRegion r;
        const qlonglong id = plantPlace(r);
        PgScratchDatabase pg;
        if (server) {
            const QString error = copyToServer(r, pg);
            QVERIFY2(error.isEmpty(), qPrintable(error));
        }
        Outside db(r, server ? pg.uri() : QString());
        const QStringList original = db.place(id);
        QVERIFY(!original.isEmpty());
        RunningZemira z(r.dir());
        fHarita->show();
        DialogAnswerer answerer;

        QStringList expected = original;
        if (change == "move") {
            // Chosen on the map (the nearest place to a click near it), then dragged by its ring.
            fHarita->setZoom(zoom, QPoint(0, 0));
            const QPoint place = fHarita->sheetToView(QPoint(300, 200));
            clickAt(fHarita->Image2, place + QPoint(4, -3));
            QVERIFY(fDuzelt->isVisible());
            QCOMPARE(fDuzelt->edIsim->text(), kPlace);
            QCOMPARE(fHarita->Image3->pos(), place - QPoint(10, 10));
            mouse(fHarita->Image3, QEvent::MouseButtonPress, QPoint(10, 10));
            mouse(fHarita->Image3, QEvent::MouseMove, QPoint(10, 10) + QPoint(20, 30) * zoom);
            // The readouts follow where it would land; nothing is saved yet.
            QCOMPARE(fHarita->Label2->text(), coords::readout(320, 230));
            QCOMPARE(db.place(id), original);
            mouse(fHarita->Image3, QEvent::MouseButtonRelease, QPoint(10, 10));
            QCOMPARE(fDuzelt->edPx->text(), QString("320"));
            QCOMPARE(fDuzelt->edPy->text(), QString("230"));
            QTest::mouseClick(fDuzelt->btnKaydet, Qt::LeftButton);
            expected[3] = server ? "320" : "integer:333230";
            expected[4] = server ? "230" : "integer:323330";
        } else {
            openFromSearch(kPlace);
            if (change == "rename") {
                fDuzelt->edIsim->setText("Yeniköy");
                QTest::mouseClick(fDuzelt->btnKaydet, Qt::LeftButton);
                expected[1] = server ? "Yeniköy" : "text:" + QString(QByteArray("Yeniköy").toHex().toUpper());
                // The search is run again: the old name finds nothing now.
                QCOMPARE(fHarita->qAra->recordCount(), 0);
            } else if (change == "retype") {
                QVERIFY(fDuzelt->cbTip->findText("Tepe") > 0);
                fDuzelt->cbTip->setCurrentText("Tepe");
                QTest::mouseClick(fDuzelt->btnKaydet, Qt::LeftButton);
                expected[2] = server ? "Tepe" : "text:" + QString(QByteArray("Tepe").toHex().toUpper());
                QCOMPARE(fHarita->qAra->asString("tip"), QString("Tepe"));
            } else {
                // Asked by name: "Vazgeç" keeps it, "Sil" deletes it.
                answerer.answers = QStringList{"Vazgeç"};
                QTest::mouseClick(fDuzelt->btnSil, Qt::LeftButton);
                QCOMPARE(answerer.kinds, QStringList{"SilOnay"});
                QVERIFY2(answerer.texts.value(0).startsWith("\"Eskiköy\" adlı yer silinsin mi?"),
                         qPrintable(answerer.texts.value(0)));
                QCOMPARE(db.place(id), original);
                answerer.answers = QStringList{"Sil"};
                QTest::mouseClick(fDuzelt->btnSil, Qt::LeftButton);
                QCOMPARE(answerer.kinds.size(), 2);
                expected.clear();
                QCOMPARE(fHarita->qAra->recordCount(), 0);
            }
        }
        QCOMPARE(answerer.kinds.size(), change == "delete" ? 2 : 0);
        QCOMPARE(db.place(id), expected);
        QList<QStringList> history = db.history();
        QCOMPARE(history.size(), 1);
        QCOMPARE(history[0].mid(0, 2), (QStringList{"ayse", what}));
        QCOMPARE(history[0][2], kPlace);
        QCOMPARE(history[0][10], QString::number(id));
        QCOMPARE(history[0][11], change == "delete" ? QString("<null>") : QString::number(id));

        undoWithCtrlZ();
        QCOMPARE(answerer.texts, QStringList(answerer.texts.mid(0, change == "delete" ? 2 : 0)));
        QCOMPARE(db.place(id), original);
        history = db.history();
        QCOMPARE(history.size(), 2);
        QCOMPARE(history[1][1], "Geri alma (" + what + ")");
        QCOMPARE(history[1][2], history[0][3]);
        QCOMPARE(history[1][3], kPlace);
        QVERIFY(history[1][12] != "<null>");
        QCOMPARE(fDuzelt->edIsim->text(), kPlace);
        QVERIFY(fDuzelt->lbDurum->text().startsWith("Geri alındı"));

        // The history window says who did what; a second Ctrl+Z finds nothing of ours left.
        QTest::mouseClick(fHarita->findChild<QPushButton *>("btnGecmis"), Qt::LeftButton);
        QVERIFY(fGecmis->isVisible());
        QCOMPARE(fGecmis->twGecmis->rowCount(), 2);
        QCOMPARE(fGecmis->twGecmis->item(1, 1)->text(), QString("ayse"));
        QCOMPARE(fGecmis->twGecmis->item(1, 2)->text(), what + " (geri alındı)");
        undoWithCtrlZ();
        QCOMPARE(answerer.texts.last(), QString("Geri alınacak bir değişikliğiniz yok."));
        QCOMPARE(db.place(id), original);
    }

    void secondSaveRefused_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("sqlite, renamed meanwhile") << false << false;
        QTest::newRow("sqlite, deleted meanwhile") << false << true;
        QTest::newRow("postgres, renamed meanwhile") << true << false;
        QTest::newRow("postgres, deleted meanwhile") << true << true;
    }
    // Another Zemira on the same database changes the place while this one has it open:
    // this save is refused with a message, the other's change stays, and what was typed here
    // stays in the window to be saved on purpose.
    void secondSaveRefused()
    {
        QFETCH(bool, server);
        QFETCH(bool, deleted);
        TempRegion r;
        const qlonglong id = plantPlace(r);
        PgScratchDatabase pg;
        if (server) {
            const QString error = copyToServer(r, pg);
            QVERIFY2(error.isEmpty(), qPrintable(error));
        }
        Outside db(r, server ? pg.uri() : QString());
        RunningZemira z(r.dir());
        fHarita->show();
        DialogAnswerer answerer;
        openFromSearch(kPlace);
        fDuzelt->edIsim->setText("Benimköy");

        Connection other("other-zemira");
        other.open(server ? pg.uri() : r.dir() + "harita.sqlite");
        PlaceEdits theirs(other);
        qputenv("USER", "mehmet");
        PlaceRow place = theirs.read(id);
        if (deleted) {
            theirs.remove(place);
        } else {
            PlaceRow renamed = place;
            renamed.set("isim", QString("Onunköy"));
            theirs.change(place, renamed);
        }
        qputenv("USER", "ayse");

        QTest::mouseClick(fDuzelt->btnKaydet, Qt::LeftButton);
        QCOMPARE(answerer.kinds, QStringList{"MessageBox"});
        QVERIFY2(answerer.texts[0].contains(deleted ? "başka bir kullanıcı tarafından silinmiş"
                                                    : "başka bir kullanıcı tarafından değiştirilmiş"),
                 qPrintable(answerer.texts[0]));
        QCOMPARE(fDuzelt->edIsim->text(), QString("Benimköy"));
        QCOMPARE(db.history().size(), 1);
        QCOMPARE(db.history()[0][0], QString("mehmet"));
        if (deleted) {
            QVERIFY(db.place(id).isEmpty());
            QVERIFY(!fDuzelt->btnKaydet->isEnabled());
            return;
        }
        QVERIFY(answerer.texts[0].contains("isim: \"Onunköy\""));
        QCOMPARE(db.rows("select isim from harita where id = ?", {id}), QList<QStringList>{{"Onunköy"}});
        QCOMPARE(fDuzelt->place().text("isim"), QString("Onunköy"));

        // Saved again, knowingly, over the fresh row.
        QTest::mouseClick(fDuzelt->btnKaydet, Qt::LeftButton);
        QCOMPARE(answerer.kinds.size(), 1);
        QCOMPARE(db.rows("select isim from harita where id = ?", {id}), QList<QStringList>{{"Benimköy"}});
        const QList<QStringList> history = db.history();
        QCOMPARE(history.size(), 2);
        QCOMPARE(history[1].mid(0, 4), (QStringList{"ayse", "Ad değiştirme", "Onunköy", "Benimköy"}));

        // Undoing it after the other has changed the place again is refused the same way.
        place = theirs.read(id);
        PlaceRow renamed = place;
        renamed.set("isim", QString("Sonköy"));
        qputenv("USER", "mehmet");
        theirs.change(place, renamed);
        qputenv("USER", "ayse");
        undoWithCtrlZ();
        QCOMPARE(answerer.kinds.size(), 2);
        QVERIFY2(answerer.texts[1].contains("Son değişikliğiniz geri alınamadı"), qPrintable(answerer.texts[1]));
        QCOMPARE(db.rows("select isim from harita where id = ?", {id}), QList<QStringList>{{"Sonköy"}});
        QCOMPARE(db.history().size(), 3);
    }
};

QTEST_MAIN(TestEditing)
#include "test_editing.moc"
