#include "overview_controls.h"
#include "app/uGenel.h"
#include "map/coords.h"

#include <QCheckBox>
#include <QCursor>
#include <QHBoxLayout>
#include <QSettings>
#include <QToolTip>

#include <optional>

namespace {

QSettings settings()
{
    return QSettings(QStringLiteral("zemira"), QStringLiteral("zemira"));
}

// First match, as the sheet index finds sheets by number.
int currentSheetIndex()
{
    for (size_t i = 0; i < uGenel::Sheets.size(); ++i)
        if (uGenel::Sheets[i].num == uGenel::CurrentSheet)
            return int(i);
    return -1;
}

// A stored sheet pixel as a stored region position; none on a sheet the index does not hold.
std::optional<QPoint> regionPoint(const QString &sheet, int px, int py)
{
    for (const paftarec &p : uGenel::Sheets)
        if (p.num == sheet)
            return QPoint(coords::clampToInt(int64_t(p.px0) + px), coords::clampToInt(int64_t(p.py0) + py));
    return std::nullopt;
}

} // namespace

OverviewControls::OverviewControls(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("OverviewControls"));
    QFont small = font();
    small.setPixelSize(10);
    setFont(small);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(3, 1, 3, 1);
    row->setSpacing(6);
    CheckBoxSheets = addBox(QStringLiteral("CheckBoxSheets"), QStringLiteral("Paftalar"),
                            QStringLiteral("Paftaların sınırları ve numaraları"), QStringLiteral("paftalar"));
    CheckBoxCurrentSheet = addBox(QStringLiteral("CheckBoxCurrentSheet"), QStringLiteral("Bu pafta"),
                                  QStringLiteral("Gösterilen pafta"), QStringLiteral("buPafta"));
    CheckBoxPlaces = addBox(QStringLiteral("CheckBoxPlaces"), QStringLiteral("Yerler"),
                            QStringLiteral("Yerler; sık oldukları yerde seyreltilmiş"), QStringLiteral("yerler"));
    row->addStretch(1);
    connect(&m_dots, &PlaceDots::changed, this, [this] {
        ++m_dotsVersion;
        emit changed();
    });
    connect(&m_dots, &PlaceDots::failed, this, &OverviewControls::failed);
}

QCheckBox *OverviewControls::addBox(const QString &name, const QString &text, const QString &tip, const QString &key)
{
    auto *box = new QCheckBox(text, this);
    box->setObjectName(name);
    box->setToolTip(tip);
    // Focus stays with the main window's controls; the boxes are only clicked.
    box->setFocusPolicy(Qt::NoFocus);
    const QString settingsKey = QStringLiteral("kucukHarita/") + key;
    box->setChecked(settings().value(settingsKey, false).toBool());
    connect(box, &QCheckBox::toggled, this, [this, settingsKey](bool on) {
        settings().setValue(settingsKey, on);
        emit changed();
    });
    layout()->addWidget(box);
    return box;
}

overview_layers::Shown OverviewControls::shown() const
{
    return {CheckBoxSheets->isChecked(), CheckBoxCurrentSheet->isChecked(), CheckBoxPlaces->isChecked()};
}

void OverviewControls::setDatabase(const QString &target)
{
    m_database = target;
}

void OverviewControls::drawOn(QImage &canvas, double s)
{
    const overview_layers::Shown layers = shown();
    if (!layers.any() || s <= 0)
        return;
    const int unit = overview_layers::cellUnits(s);
    // Read only once the dots are asked for, and again only for another scale.
    if (layers.places)
        m_dots.load(m_database, unit);
    const int current = currentSheetIndex();
    const DrawnFrom from{layers, current, m_dotsVersion, s, canvas.size()};
    if (from != m_drawnFrom || m_drawn.isNull()) {
        overview_layers::draw(canvas, layers, uGenel::Sheets, current, m_dots.cells(), m_dots.unit(), s);
        m_drawn = canvas;
        m_drawnFrom = from;
    } else {
        canvas = m_drawn;
    }
}

void OverviewControls::placeSaved(const QString &sheet, int px, int py)
{
    if (const std::optional<QPoint> at = regionPoint(sheet, px, py))
        m_dots.add(*at);
}

void OverviewControls::placeChanged(const QString &sheet, int px, int py)
{
    if (const std::optional<QPoint> at = regionPoint(sheet, px, py))
        m_dots.recheck(*at);
}

void OverviewControls::nameSheet(QWidget *picture, int index)
{
    const bool onSheet = index >= 0 && size_t(index) < uGenel::Sheets.size();
    const QString name = onSheet ? uGenel::Sheets[size_t(index)].num : QString();
    if (name == picture->toolTip())
        return;
    picture->setToolTip(name);
    // The overview is a tool window that is seldom the active one.
    picture->setAttribute(Qt::WA_AlwaysShowToolTips);
    // A tip already shown follows the pointer to the next sheet at once.
    if (QToolTip::isVisible()) {
        if (name.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(QCursor::pos(), name, picture);
    }
}
