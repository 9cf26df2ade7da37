#include "places/uBilgigir.h"
#include "app/uGenel.h"
#include "framework/dataset.h"
#include "framework/dbedit.h"
#include "framework/dblookupcombo.h"
#include "framework/dbnavigator.h"
#include "framework/formparts.h"
#include "framework/messages.h"
#include "map/uHarita.h"

#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

TfBilgigir *fBilgigir = nullptr;

namespace {

class EnterFilter : public QObject {
public:
    explicit EnterFilter(TfBilgigir *owner) : QObject(owner), m_owner(owner) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        QChar c(13);
        guarded([&] { m_owner->DBEdit4KeyPress(c); });
        return false;
    }

private:
    TfBilgigir *m_owner;
};

DBEdit *edit(const char *name, QWidget *parent, const QString &field, QRect geometry)
{
    auto *e = new DBEdit(*fHarita->qHarita, field, parent);
    e->setObjectName(QLatin1String(name));
    e->setGeometry(geometry);
    return e;
}

} // namespace

TfBilgigir::TfBilgigir() : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("fBilgigir"));
    setWindowTitle(QStringLiteral("fBilgigir"));
    setGeometry(654, 297, 195, 261);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(8);
    setFont(f);

    Panel1 = fillWithPanel(this);

    Label1 = makeLabel("Label1", Panel1, QStringLiteral("Px, Py :   "), {8, 8});
    DBEdit1 = edit("DBEdit1", Panel1, QStringLiteral("px"), {60, 8, 61, 21});
    DBEdit2 = edit("DBEdit2", Panel1, QStringLiteral("py"), {120, 8, 61, 21});
    Label3 = makeLabel("Label3", Panel1, QStringLiteral("Pafta No : "), {8, 36}, 51);
    DBEdit3 = edit("DBEdit3", Panel1, QStringLiteral("pafta"), {60, 32, 121, 21});
    Label2 = makeLabel("Label2", Panel1, QStringLiteral("Tip :"), {8, 60});
    JvDBLookupCombo1 = new DBLookupCombo(*fHarita->qTip, QStringLiteral("ad"), fHarita->qHarita,
                                         QStringLiteral("tip"), Panel1);
    JvDBLookupCombo1->setObjectName(QStringLiteral("JvDBLookupCombo1"));
    JvDBLookupCombo1->setGeometry(60, 56, 121, 21);
    JvDBLookupCombo1->setMaxVisibleItems(8);
    DBEdit4 = edit("DBEdit4", Panel1, QStringLiteral("isim"), {4, 80, 177, 21});
    DBNavigator1 = new DBNavigator(*fHarita->qHarita, Panel1);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setGeometry(0, 200, 180, 25);
    setTabOrder(DBEdit1, DBEdit2);
    setTabOrder(DBEdit2, DBEdit3);
    setTabOrder(DBEdit3, JvDBLookupCombo1);
    setTabOrder(JvDBLookupCombo1, DBEdit4);
    setTabOrder(DBEdit4, DBNavigator1);

    DBEdit4->installEventFilter(new EnterFilter(this));
    fBilgigir = this;

    if (const auto &georef = fHarita->georef) {
        LabelKonum = makeLabel("LabelKonum", Panel1, QString(), {4, 108}, 177);
        if (georef->crs())
            LabelEnlemBoylam = makeLabel("LabelEnlemBoylam", Panel1, QString(), {4, 126}, 177);
        // Once after a burst of changes: a mark pass walks every row of qHarita.
        auto *later = new QTimer(this);
        later->setSingleShot(true);
        connect(later, &QTimer::timeout, this, [this] { guarded([&] { KonumGoster(); }); });
        connect(fHarita->qHarita, &Dataset::dataChanged, later, qOverload<>(&QTimer::start));
        KonumGoster();
    }
}

TfBilgigir::~TfBilgigir()
{
    if (fBilgigir == this)
        fBilgigir = nullptr;
}

void TfBilgigir::DBEdit4KeyPress(QChar &key)
{
    if (key == QChar(13))
        DBNavigator1->post();
}

void TfBilgigir::KonumGoster()
{
    const Dataset &d = *fHarita->qHarita;
    QStringList lines;
    if (d.isOpen() && d.recNo() >= 0 && !d.isNull(QStringLiteral("px")) && !d.isNull(QStringLiteral("py"))) {
        const QString sheet = d.asString(QStringLiteral("pafta"));
        const auto &sheets = uGenel::Sheets;
        const auto it = std::find_if(sheets.begin(), sheets.end(), [&](const paftarec &s) { return s.num == sheet; });
        if (it != sheets.end())
            lines = georefReadout({it->px0 + d.asInteger(QStringLiteral("px")), it->py0 + d.asInteger(QStringLiteral("py"))})
                        .split('\n');
    }
    LabelKonum->setText(lines.value(0));
    if (LabelEnlemBoylam)
        LabelEnlemBoylam->setText(lines.value(1));
}
