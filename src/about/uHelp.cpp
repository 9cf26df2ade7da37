#include "about/uHelp.h"
#include "framework/errors.h"
#include "framework/formparts.h"
#include "framework/messages.h"
#include "framework/quit.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

TfHelp *fHelp = nullptr;

namespace {

QFont makeFont(const QString &family, int pixels, bool bold)
{
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

QLabel *label(const char *name, QWidget *parent, const QString &text, QRect geometry, const QFont &f)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(f);
    l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    l->setWordWrap(true);
    l->setGeometry(geometry);
    return l;
}

} // namespace

HotLink::HotLink(const QString &name, const QString &caption, QString target, QWidget *parent)
    : QLabel(caption, parent), m_target(std::move(target))
{
    setObjectName(name);
    setFont(makeFont(QStringLiteral("Nimbus Sans"), 11, true));
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::PointingHandCursor);
}

void HotLink::setHover(bool on)
{
    QFont f = font();
    f.setUnderline(on);
    setFont(f);
    setStyleSheet(on ? QStringLiteral("color: blue") : QString());
}

void HotLink::enterEvent(QEnterEvent *)
{
    setHover(true);
}

void HotLink::leaveEvent(QEvent *)
{
    setHover(false);
}

void HotLink::mousePressEvent(QMouseEvent *)
{
    QDesktopServices::openUrl(QUrl(m_target));
}

TfHelp::TfHelp() : QDialog(nullptr, Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("fHelp"));
    setGeometry(385, 183, 313, 249);
    Panel1 = fillWithPanel(this);

    const QString sans = QStringLiteral("Nimbus Sans"); // a narrow sans serif, as designed
    Label4 = label("Label4", Panel1, QStringLiteral("Z E M I R A "), {80, 20, 160, 24}, makeFont("Tahoma", 19, true));
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label2 = label("Label2", Panel1, QStringLiteral("Türkiye Karayolları ve Yerleşim Bölgeleri"), {48, 60, 225, 33},
                   makeFont(sans, 13, true));
    Label1 = label("Label1", Panel1, QStringLiteral("Zemira geliştiricileri"), {64, 108, 185, 21}, makeFont(sans, 11, true));
    JvHotLink1 = new HotLink(QStringLiteral("JvHotLink1"), QStringLiteral(ZEMIRA_CONTACT_MAIL),
                             QStringLiteral("mailto:" ZEMIRA_CONTACT_MAIL), Panel1);
    JvHotLink1->setGeometry(64, 140, 186, 13);
    JvHotLink2 = new HotLink(QStringLiteral("JvHotLink2"), QUrl(QStringLiteral(ZEMIRA_WEB_URL)).host(),
                             QStringLiteral(ZEMIRA_WEB_URL), Panel1);
    JvHotLink2->setGeometry(84, 172, 141, 13);
    Label11 = label("Label11", Panel1, QStringLiteral("LÜTFEN BEKLEYİNİZ "), {32, 204, 241, 29}, makeFont(sans, 16, true));
    Button1 = makeButton("Button1", Panel1, QStringLiteral("Kapat"), {120, 208, 75, 25});
    Button1->setAutoDefault(false);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));

    connect(Button1, &QPushButton::clicked, this, [this] { guarded([this] { Button1Click(); }); });
    connect(Timer1, &QTimer::timeout, this, [this] { guarded([this] { Timer1Timer(); }); });
    fHelp = this;
}

TfHelp::~TfHelp()
{
    if (fHelp == this)
        fHelp = nullptr;
}

bool TfHelp::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        guarded([this] { FormActivate(); });
    return QDialog::event(e);
}

void TfHelp::FormActivate()
{
    if (SplashInterval <= 0)
        return;
    // A running countdown goes on: activated again, the window does not restart it.
    if (!Timer1->isActive() || Timer1->interval() != SplashInterval) {
        Timer1->setInterval(SplashInterval);
        Timer1->start();
    }
    Button1->hide();
    Label11->show();
}

void TfHelp::Timer1Timer()
{
    Timer1->stop();
    SplashInterval = 0;
    Label11->hide();
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    if (shown)
        show(); // changing the flags hid it; "Kapat" hides it for good
    Button1Click();
}

void TfHelp::Button1Click()
{
    if (isModal() && isVisible())
        done(QDialog::Rejected);
    else
        hide();
}

void TfHelp::ShowModal()
{
    if (isVisible())
        throw Error(QStringLiteral("Cannot make a visible window modal"));
    setModal(true);
    execModal(*this);
    setModal(false);
}
