// Place search: the statement, the result grid, jumping to the current result.
#include "app/uGenel.h"
#include "data/connection.h"
#include "data/searchindex.h"
#include "framework/dataset.h"
#include "framework/dblookupcombo.h"
#include "framework/textconv.h"
#include "map/coords.h"
#include "map/uHarita.h"
#include "places/statements.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

void TfHarita::Button1Click()
{
    const QString sql = statements::search(edPaftano->text(), leAraText(), edAra->text());
    Memo1->setPlainText(sql);
    // The index only narrows the places the shown statement's LIKEs check, so the rows
    // are the same; on PostgreSQL the server uses its own index for the shown text.
    const QString narrowing = ADOConnection1.isPostgres()
        ? QString()
        : searchindex::narrowing(ADOConnection1.database(), '%' + trimText(edAra->text()) + '%');
    qAra->close();
    qAra->setSql(narrowing.isEmpty() ? sql
                                     : statements::search(edPaftano->text(), leAraText(), edAra->text(), narrowing));
    // Read a page at a time: the grid and the first place show once the matching keys are known.
    qAra->setPagedOrder(QStringLiteral("px"),
                        statements::searchCondition(edPaftano->text(), leAraText(), edAra->text(), narrowing));
    qAra->open();
}

QString TfHarita::leAraText() const
{
    return leAra->currentText();
}

void TfHarita::edAraKeyPress(QChar &key)
{
    if (key == QChar(13))
        Button1Click();
}

void TfHarita::dAraDataChange(const QString &field)
{
    if (!field.isEmpty() || !qAra->isOpen() || qAra->isNull(QStringLiteral("pafta")))
        return;
    const int x = coords::divide(qAra->asInteger(QStringLiteral("px")), uGenel::ScaleDivisor);
    const int y = coords::divide(qAra->asInteger(QStringLiteral("py")), uGenel::ScaleDivisor);
    const int i = FindSheet(qAra->asString(QStringLiteral("pafta")));
    // A place on a sheet the index does not know leaves the map where it is.
    if (i < 0)
        return;
    ShowSheetPoint(i, x, y);
    PlaceMarker(ScrollBox1->width() / 2, ScrollBox1->height() / 2);
}
