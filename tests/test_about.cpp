#include "about/uHelp.h"
#include "map/uHarita.h"
#include "testsupport.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void splashCountsDownThenServesAsAbout()
    {
        TempRegion r;
        RunningZemira z(r.dir());
        QVERIFY(fHelp->isVisible());
        QVERIFY(fHelp->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(fHelp->Label11->text(), QString("LÜTFEN BEKLEYİNİZ "));
        QVERIFY(!fHelp->Label11->isHidden());
        QVERIFY(fHelp->Button1->isHidden());
        // Counting since it was shown, before any event loop ran; activated again (as when
        // the loop delivers the activation), it goes on counting.
        QVERIFY(fHelp->Timer1->isActive());
        QCOMPARE(fHelp->Timer1->interval(), 5000);
        const int remaining = fHelp->Timer1->remainingTime();
        QTest::qWait(30);
        fHelp->FormActivate();
        QVERIFY(fHelp->Timer1->remainingTime() <= remaining);

        // While the splash is up the about window cannot be made modal; "Kapat" appears on it.
        DialogAnswerer answerer;
        fHarita->show();
        QTest::mouseClick(fHarita->Button6, Qt::LeftButton);
        QCOMPARE(answerer.texts, QStringList{"Cannot make a visible window modal."});
        QVERIFY(!fHelp->Button1->isHidden());

        fHelp->Timer1Timer(); // the countdown runs out
        QVERIFY(!fHelp->isVisible());
        QVERIFY(!(fHelp->windowFlags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(fHelp->SplashInterval, 0);
        QVERIFY(fHelp->Label11->isHidden());

        // The help button opens it modally with "Kapat" and no waiting text; "Kapat" closes it.
        bool wasModal = false;
        answerer.texts.clear();
        answerer.answers = QStringList{"Kapat"};
        answerer.onDialog = [&](QWidget *w) {
            wasModal = w == fHelp && fHelp->isModal() && fHelp->Button1->isVisible() && fHelp->Label11->isHidden();
        };
        QTest::mouseClick(fHarita->Button6, Qt::LeftButton);
        QVERIFY(wasModal);
        QVERIFY(!fHelp->isVisible());
        QVERIFY(!fHelp->Timer1->isActive());

        // A right-button press on the title panel opens it too, with a way out.
        wasModal = false;
        answerer.answers = QStringList{"Kapat"};
        clickAt(fHarita->StaticText1, QPoint(5, 5), Qt::RightButton);
        QVERIFY(wasModal);
        QVERIFY(!fHelp->isVisible());
    }

    // The title panel leaves "Kapat" as it is: hidden until the help button was used.
    // Escape closes the window then.
    void titlePanelLeavesKapatAlone()
    {
        TempRegion r;
        RunningZemira z(r.dir());
        fHelp->Timer1Timer();
        fHarita->show();
        DialogAnswerer answerer;
        bool kapatShown = true;
        answerer.onDialog = [&](QWidget *w) {
            kapatShown = fHelp->Button1->isVisible();
            QTest::keyClick(w, Qt::Key_Escape);
        };
        clickAt(fHarita->StaticText1, QPoint(5, 5));
        QCOMPARE(answerer.kinds, QStringList{"fHelp"});
        QVERIFY(!kapatShown);
        QVERIFY(!fHelp->isVisible());
    }

    void linksNameTheProject()
    {
        TempRegion r;
        RunningZemira z(r.dir());
        QVERIFY(fHelp->JvHotLink1->target().startsWith("mailto:"));
        QVERIFY(fHelp->JvHotLink2->target().startsWith("https://"));
        QVERIFY(fHelp->JvHotLink2->target().contains(fHelp->JvHotLink2->text()));
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
