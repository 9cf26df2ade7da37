#pragma once
#include <QDialog>
#include <QLabel>

class QFrame;
class QPushButton;
class QTimer;

// A link label: bold, centred, hand cursor, blue and underlined under the mouse;
// a click hands its target to the desktop (a failure is ignored).
class HotLink : public QLabel {
    Q_OBJECT
public:
    HotLink(const QString &name, const QString &caption, QString target, QWidget *parent);
    const QString &target() const { return m_target; }

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void setHover(bool on);
    QString m_target;
};

// The splash at start-up, and the about window afterwards.
class TfHelp : public QDialog {
    Q_OBJECT
public:
    TfHelp();
    ~TfHelp() override;

    void FormActivate();
    void Timer1Timer();
    void Button1Click();
    // Shows the window modally; a window already on screen cannot be made modal.
    void ShowModal();

    int SplashInterval = 0;

    QFrame *Panel1 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label1 = nullptr;
    HotLink *JvHotLink1 = nullptr;
    HotLink *JvHotLink2 = nullptr;
    QLabel *Label11 = nullptr;
    QPushButton *Button1 = nullptr;
    QTimer *Timer1 = nullptr;

protected:
    bool event(QEvent *event) override;
};

extern TfHelp *fHelp;
