#include "places/uOnaySor.h"

#include <QLabel>
#include <QPushButton>

TfOnaySor *fOnaySor = nullptr;

namespace {
QLabel *label(const char *name, QWidget *parent, const QString &text, QPoint at, int width = 0)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->move(at);
    l->adjustSize();
    if (width > 0)
        l->setFixedWidth(width);
    return l;
}
}

TfOnaySor::TfOnaySor() : QDialog(nullptr)
{
    setObjectName(QStringLiteral("fOnaySor"));
    setWindowTitle(QStringLiteral("fOnaySor"));
    setGeometry(468, 304, 377, 231);
    Label1 = label("Label1", this, QStringLiteral("Bir kayıt bulundu :  "), {12, 8}, 97);
    Label4 = label("Label4", this, QStringLiteral("Tip : "), {12, 28});
    Label2 = label("Label2", this, QString(), {68, 28}, 245);
    Label5 = label("Label5", this, QStringLiteral("Ad : "), {12, 56});
    Label3 = label("Label3", this, QString(), {68, 56}, 249);
    Button1 = new QPushButton(QStringLiteral("Kayıt Ekle"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(56, 144, 75, 25);
    Button2 = new QPushButton(QStringLiteral("Vazgeç"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(248, 144, 75, 25);
    connect(Button1, &QPushButton::clicked, this, [this] { done(1); });
    connect(Button2, &QPushButton::clicked, this, [this] { done(2); });
    fOnaySor = this;
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
