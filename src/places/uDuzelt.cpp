#include "places/uDuzelt.h"
#include "framework/dataset.h"
#include "framework/formparts.h"
#include "framework/messages.h"
#include "framework/quit.h"
#include "framework/textconv.h"
#include "map/uHarita.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <utility>

TfDuzelt *fDuzelt = nullptr;

namespace {

const QString kIsim = QStringLiteral("isim");
const QString kTip = QStringLiteral("tip");
const QString kPx = QStringLiteral("px");
const QString kPy = QStringLiteral("py");

QLineEdit *lineEdit(const char *name, QWidget *parent, QRect geometry)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setGeometry(geometry);
    return e;
}

// What the user typed for a column; an untouched field keeps the stored value exactly.
void take(PlaceRow &row, const QString &column, const QString &text, bool number)
{
    if (text == row.text(column))
        return;
    if (number)
        row.set(column, qlonglong(strToInt(trimText(text))));
    else
        row.set(column, text);
}

} // namespace

TfDuzelt::TfDuzelt(PlaceEdits &edits) : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint), m_edits(edits)
{
    setObjectName(QStringLiteral("fDuzelt"));
    setWindowTitle(QStringLiteral("Yer Düzelt"));
    setGeometry(654, 297, 195, 261);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(8);
    setFont(f);

    Panel1 = fillWithPanel(this);
    Label1 = makeLabel("Label1", Panel1, QStringLiteral("Ad : "), {8, 8});
    edIsim = lineEdit("edIsim", Panel1, {60, 8, 121, 21});
    Label2 = makeLabel("Label2", Panel1, QStringLiteral("Tip :"), {8, 36});
    cbTip = new QComboBox(Panel1);
    cbTip->setObjectName(QStringLiteral("cbTip"));
    cbTip->setGeometry(60, 32, 121, 21);
    cbTip->setMaxVisibleItems(8);
    Label3 = makeLabel("Label3", Panel1, QStringLiteral("Px, Py :   "), {8, 60});
    edPx = lineEdit("edPx", Panel1, {60, 56, 61, 21});
    edPy = lineEdit("edPy", Panel1, {120, 56, 61, 21});
    Label4 = makeLabel("Label4", Panel1, QStringLiteral("Pafta No : "), {8, 84});
    lbPafta = makeLabel("lbPafta", Panel1, QString(), {70, 84}, 111);
    lbDurum = makeLabel("lbDurum", Panel1, QString(), {8, 104}, 177);
    lbDurum->setWordWrap(true);
    lbDurum->setFixedHeight(56);
    lbDurum->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    btnKaydet = makeButton("btnKaydet", Panel1, QStringLiteral("Kaydet"), {8, 168, 85, 25});
    btnSil = makeButton("btnSil", Panel1, QStringLiteral("Sil"), {96, 168, 85, 25});
    btnGeriAl = makeButton("btnGeriAl", Panel1, QStringLiteral("Geri Al"), {8, 196, 85, 25});
    btnGecmis = makeButton("btnGecmis", Panel1, QStringLiteral("Geçmiş"), {96, 196, 85, 25});
    btnKapat = makeButton("btnKapat", Panel1, QStringLiteral("Kapat"), {96, 228, 85, 25});
    btnKaydet->setDefault(true);
    connect(btnKaydet, &QPushButton::clicked, this, [this] { guarded([this] { btnKaydetClick(); }); });
    connect(btnSil, &QPushButton::clicked, this, [this] { guarded([this] { btnSilClick(); }); });
    connect(btnKapat, &QPushButton::clicked, this, &QWidget::close);
    for (QLineEdit *e : {edIsim, edPx, edPy})
        connect(e, &QLineEdit::returnPressed, this, [this] { guarded([this] { btnKaydetClick(); }); });
    fDuzelt = this;
}

TfDuzelt::~TfDuzelt()
{
    if (fDuzelt == this)
        fDuzelt = nullptr;
}

void TfDuzelt::showPlace(const QVariant &id, const QString &note)
{
    const PlaceRow place = m_edits.read(id);
    if (!place.exists())
        throw Error(QStringLiteral("Bu yer veritabanında yok; başka bir kullanıcı silmiş olabilir."));
    fill(place);
    if (!m_placed && fHarita) {
        // Beside the main window where the screen has room, so it does not hide the map.
        m_placed = true;
        const QRect main = fHarita->frameGeometry();
        const QScreen *screen = fHarita->screen();
        if (screen && main.right() + 8 + width() <= screen->availableGeometry().right())
            move(main.right() + 8, main.top() + 60);
    }
    lbDurum->setText(note.isEmpty() ? QStringLiteral("Taşımak için yeri haritada sol tuşla tutup sürükleyin.")
                                    : note);
    show();
    raise();
}

void TfDuzelt::fill(const PlaceRow &place)
{
    m_place = place;
    edIsim->setText(place.text(kIsim));
    cbTip->clear();
    cbTip->addItem(QString());
    if (fHarita && fHarita->qTip->isOpen())
        for (int r = 0; r < fHarita->qTip->recordCount(); ++r)
            cbTip->addItem(fHarita->qTip->textAt(r, fHarita->qTip->fieldIndex(QStringLiteral("ad"))));
    if (cbTip->findText(place.text(kTip)) < 0)
        cbTip->addItem(place.text(kTip));
    cbTip->setCurrentIndex(cbTip->findText(place.text(kTip)));
    edPx->setText(place.text(kPx));
    edPy->setText(place.text(kPy));
    lbPafta->setText(place.text(QStringLiteral("pafta")));
    btnKaydet->setEnabled(true);
    btnSil->setEnabled(true);
}

void TfDuzelt::setLanding(int px, int py)
{
    edPx->setText(QString::number(px));
    edPy->setText(QString::number(py));
    lbDurum->setText(QStringLiteral("Yeni yer: Px %1, Py %2. Kaydet ile kaydedilir.").arg(px).arg(py));
}

PlaceRow TfDuzelt::typed() const
{
    PlaceRow row = m_place;
    take(row, kIsim, edIsim->text(), false);
    take(row, kTip, cbTip->currentText(), false);
    take(row, kPx, edPx->text(), true);
    take(row, kPy, edPy->text(), true);
    return row;
}

void TfDuzelt::btnKaydetClick()
{
    if (!m_place.exists())
        return;
    const PlaceRow mine = typed();
    if (mine == m_place) {
        lbDurum->setText(QStringLiteral("Değişiklik yok."));
        return;
    }
    try {
        m_edits.change(m_place, mine);
    } catch (const PlaceChangedMeanwhile &e) {
        conflict(e, mine);
        return;
    }
    const PlaceRow was = m_place;
    fill(m_edits.read(was.id));
    lbDurum->setText(QStringLiteral("Kaydedildi: %1.").arg(PlaceEdits::describe(was, mine)));
    emit placeWritten(was.id, was);
}

void TfDuzelt::btnSilClick()
{
    if (!m_place.exists())
        return;
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(),
                    QStringLiteral("\"%1\" adlı yer silinsin mi?\nTip: %2, Pafta No: %3, Px, Py: %4, %5")
                        .arg(m_place.text(kIsim), m_place.text(kTip), m_place.text(QStringLiteral("pafta")),
                             m_place.text(kPx), m_place.text(kPy)));
    box.setObjectName(QStringLiteral("SilOnay"));
    QAbstractButton *yes = box.addButton(QStringLiteral("Sil"), QMessageBox::AcceptRole);
    box.setDefaultButton(box.addButton(QStringLiteral("Vazgeç"), QMessageBox::RejectRole));
    if (quitRequested())
        return;
    box.exec();
    if (box.clickedButton() != yes)
        return;
    try {
        m_edits.remove(m_place);
    } catch (const PlaceChangedMeanwhile &e) {
        conflict(e, m_place);
        return;
    }
    const PlaceRow was = std::exchange(m_place, PlaceRow());
    lbDurum->setText(QStringLiteral("\"%1\" silindi. Geri Al ile geri getirilir.").arg(was.text(kIsim)));
    btnKaydet->setEnabled(false);
    btnSil->setEnabled(false);
    emit placeWritten(was.id, was);
}

// The fresh row comes in; what the user typed stays in the fields, to be saved again on purpose.
void TfDuzelt::conflict(const PlaceChangedMeanwhile &e, const PlaceRow &mine)
{
    const PlaceRow was = m_place;
    QStringList theirs;
    if (e.fresh.exists()) {
        const QStringList shown{kIsim, kTip, kPx, kPy, QStringLiteral("pafta")};
        for (const QString &c : shown)
            if (e.fresh.text(c) != m_place.text(c))
                theirs << QStringLiteral("%1: \"%2\"").arg(c, e.fresh.text(c));
        fill(e.fresh);
        if (mine.text(kIsim) != was.text(kIsim))
            edIsim->setText(mine.text(kIsim));
        if (mine.text(kTip) != was.text(kTip))
            cbTip->setCurrentText(mine.text(kTip));
        if (mine.text(kPx) != was.text(kPx) || mine.text(kPy) != was.text(kPy)) {
            edPx->setText(mine.text(kPx));
            edPy->setText(mine.text(kPy));
        }
        lbDurum->setText(QStringLiteral("Yazdıklarınız yerinde; Kaydet ile yeniden kaydedebilirsiniz."));
    } else {
        m_place = PlaceRow();
        btnKaydet->setEnabled(false);
        btnSil->setEnabled(false);
        lbDurum->setText(QStringLiteral("Bu yer silinmiş."));
    }
    QString text = e.text();
    if (!theirs.isEmpty())
        text += QStringLiteral("\nBaşka kullanıcının kaydettiği değerler:\n") + theirs.join('\n');
    showMessage(text);
    emit placeWritten(was.id, was);
}
