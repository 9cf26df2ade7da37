#include "places/uOnaySor.h"
#include "framework/formparts.h"
#include "places/nearby.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

TfOnaySor *fOnaySor = nullptr;

TfOnaySor::TfOnaySor() : QDialog(nullptr)
{
    setObjectName(QStringLiteral("fOnaySor"));
    setWindowTitle(QStringLiteral("fOnaySor"));
    setGeometry(468, 304, 377, 231);
    Label1 = makeLabel("Label1", this, QStringLiteral("Bir kayıt bulundu :  "), {12, 8}, 97);
    Label4 = makeLabel("Label4", this, QStringLiteral("Tip : "), {12, 28});
    Label2 = makeLabel("Label2", this, QString(), {68, 28}, 245);
    Label5 = makeLabel("Label5", this, QStringLiteral("Ad : "), {12, 56});
    Label3 = makeLabel("Label3", this, QString(), {68, 56}, 249);
    Label6 = makeLabel("Label6", this, QStringLiteral("Komşu paftalar : "), {12, 84});
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(100, 84, 265, 54);
    Button1 = makeButton("Button1", this, QStringLiteral("Kayıt Ekle"), {56, 144, 75, 25});
    Button2 = makeButton("Button2", this, QStringLiteral("Vazgeç"), {248, 144, 75, 25});
    connect(Button1, &QPushButton::clicked, this, [this] { done(1); });
    connect(Button2, &QPushButton::clicked, this, [this] { done(2); });
    showAdjoining({});
    fOnaySor = this;
}

void TfOnaySor::showAdjoining(const QList<NearbyPlace> &places)
{
    ListBox1->clear();
    for (const NearbyPlace &p : places)
        ListBox1->addItem(QStringLiteral("%1 : %2, %3").arg(p.sheet, p.tip, p.isim));
    Label6->setVisible(!places.isEmpty());
    ListBox1->setVisible(!places.isEmpty());
}

TfOnaySor::~TfOnaySor()
{
    if (fOnaySor == this)
        fOnaySor = nullptr;
}

void TfOnaySor::reject()
{
    done(2);
}
