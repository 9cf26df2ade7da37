#include "places/uGecmis.h"
#include "framework/formparts.h"
#include "framework/messages.h"
#include "places/editing.h"

#include <QDateTime>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

TfGecmis *fGecmis = nullptr;

namespace {

// A place in one line: name, type, sheet and position; "—" where there was none.
QString summary(const PlaceRow &p)
{
    if (!p.exists())
        return QStringLiteral("—");
    return QStringLiteral("%1 (%2), pafta %3, %4, %5")
        .arg(p.text(QStringLiteral("isim")), p.text(QStringLiteral("tip")), p.text(QStringLiteral("pafta")),
             p.text(QStringLiteral("px")), p.text(QStringLiteral("py")));
}

} // namespace

TfGecmis::TfGecmis(PlaceEdits &edits) : QWidget(nullptr, Qt::Tool), m_edits(edits)
{
    setObjectName(QStringLiteral("fGecmis"));
    setWindowTitle(QStringLiteral("Değişiklik Geçmişi"));
    setGeometry(200, 200, 720, 320);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(8);
    setFont(f);

    auto *layout = new QVBoxLayout(this);
    twGecmis = new QTableWidget(0, 5, this);
    twGecmis->setObjectName(QStringLiteral("twGecmis"));
    twGecmis->setHorizontalHeaderLabels(
        {QStringLiteral("Zaman"), QStringLiteral("Kullanıcı"), QStringLiteral("İşlem"), QStringLiteral("Önce"),
         QStringLiteral("Sonra")});
    twGecmis->setEditTriggers(QAbstractItemView::NoEditTriggers);
    twGecmis->setSelectionBehavior(QAbstractItemView::SelectRows);
    twGecmis->verticalHeader()->hide();
    twGecmis->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(twGecmis);
    auto *buttons = new QHBoxLayout;
    btnGeriAl = makeButton("btnGeriAl", this, QStringLiteral("Geri Al"), {0, 0, 75, 25});
    btnYenile = makeButton("btnYenile", this, QStringLiteral("Yenile"), {0, 0, 75, 25});
    btnKapat = makeButton("btnKapat", this, QStringLiteral("Kapat"), {0, 0, 75, 25});
    buttons->addWidget(btnGeriAl);
    buttons->addWidget(btnYenile);
    buttons->addStretch(1);
    buttons->addWidget(btnKapat);
    layout->addLayout(buttons);
    connect(btnYenile, &QPushButton::clicked, this, [this] { guarded([this] { Yenile(); }); });
    connect(btnKapat, &QPushButton::clicked, this, &QWidget::close);
    fGecmis = this;
}

TfGecmis::~TfGecmis()
{
    if (fGecmis == this)
        fGecmis = nullptr;
}

void TfGecmis::Yenile()
{
    const std::vector<HistoryEntry> entries = m_edits.history();
    twGecmis->setRowCount(int(entries.size()));
    for (int r = 0; r < int(entries.size()); ++r) {
        const HistoryEntry &e = entries[std::size_t(r)];
        const QDateTime when = QDateTime::fromString(e.when, Qt::ISODate);
        const QString what = e.undone ? QStringLiteral("%1 (geri alındı)").arg(e.what) : e.what;
        const QStringList cells{when.isValid() ? when.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"))
                                               : e.when,
                                e.user, what, summary(e.before), summary(e.after)};
        for (int c = 0; c < cells.size(); ++c)
            twGecmis->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    twGecmis->resizeColumnsToContents();
}
