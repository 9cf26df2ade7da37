// Start-up of the main window: the start-up file, the connection, the datasets, the first sheet.
#include "app/datapath.h"
#include "app/startupfile.h"
#include "app/uGenel.h"
#include "app/accesshint.h"
#include "data/accessimport.h"
#include "data/postgres.h"
#include "framework/dataset.h"
#include "framework/errors.h"
#include "framework/messages.h"
#include "framework/quit.h"
#include "map/coords.h"
#include "map/uHarita.h"
#include "overview/overview_controls.h"
#include "overview/uKucukHarita.h"

#include <QFrame>

#include <QFile>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>

#include <memory>

TfHarita *fHarita = nullptr;

MainMap *mainMap()
{
    return fHarita;
}

TfHarita::TfHarita()
{
    setObjectName(QStringLiteral("fHarita"));
    fHarita = this;
    buildDatasets();
    buildControls();
    // Ready before start-up can fail, so a half-started window still marks clicks.
    MarkRadius = 10;
    drawMarker();
    wireHandlers();
    guarded([this] { FormCreate(); });
}

TfHarita::~TfHarita()
{
    if (fHarita == this)
        fHarita = nullptr;
}

void TfHarita::buildDatasets()
{
    qHarita = new Dataset(QStringLiteral("qHarita"), ADOConnection1, this);
    qHarita->setSql(QStringLiteral("select * from harita order by px"));
    qHarita->setPagedOrder(QStringLiteral("px")); // a gazetteer may hold millions of places
    qPafta = new Dataset(QStringLiteral("qPafta"), ADOConnection1, this);
    qPafta->setSql(QStringLiteral("select * from pafta order by num"));
    qTip = new Dataset(QStringLiteral("qTip"), ADOConnection1, this);
    qTip->setSql(QStringLiteral("select * from tipler order by ad"));
    qAra = new Dataset(QStringLiteral("qAra"), ADOConnection1, this);
    qTemp = new Dataset(QStringLiteral("qTemp"), ADOConnection1, this);

    qHarita->beforePost = [this](Dataset &d) { qHaritaBeforePost(d); };
    qHarita->afterPost = [this](Dataset &d) {
        if (fKucukHarita)
            fKucukHarita->Layers->placeSaved(d.asString(QStringLiteral("pafta")), d.asInteger(QStringLiteral("px")),
                                             d.asInteger(QStringLiteral("py")));
        qHaritaAfterPost(d);
    };
    connect(qHarita, &Dataset::dataChanged, this, [this](const QString &f) { guarded([&] { dHaritaDataChange(f); }); });
    connect(qAra, &Dataset::dataChanged, this, [this](const QString &f) { guarded([&] { dAraDataChange(f); }); });
}

void TfHarita::FormCreate()
{
    using namespace uGenel;
    StartupConfig config;
    QFile file(resolveDataFile(QString(), QStringLiteral("HARITA.TXT")));
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly))
            throw Error(QStringLiteral("HARITA.TXT okunamadı: %1").arg(file.errorString()));
        const QStringList lines = readStartupLines(file.readAll());
        file.close();
        try {
            parseStartupLines(lines, config);
        } catch (const Error &) {
            // Set as far as read; the sheet label shows them only once all lines converted.
            DataDir = config.dataDir;
            CurrentSheet = config.currentSheet;
            OverviewSpan = config.overviewSpan;
            throw;
        }
        DataDir = config.dataDir;
        CurrentSheet = config.currentSheet;
        OverviewSpan = config.overviewSpan;
        ScaleDivisor = config.scaleDivisor;
        ShowSheetName();
    } else {
        showMessage(QStringLiteral("HARITA.TXT DOSYASI BULUNAMADI"));
        requestQuit();
        DataDir.clear();
        CurrentSheet.clear();
        OverviewSpan = 0;
        ScaleDivisor = 0;
    }

    connectDatabase(config.databaseFile);

    qHarita->open();
    qPafta->open();
    qTip->open();
    // A georeferencing row that cannot be used is reported; the region still works without it.
    guarded([this] { georef = Georef::read(ADOConnection1.database()); });
    if (georef)
        showGeorefReadout();

    if (ScaleDivisor == 0)
        ScaleDivisor = 1;
    if (ScaleDivisor != 1)
        Button4->hide();
    else
        Button4->setEnabled(true); // add mode is offered wherever stored and shown pixels coincide

    setupLayers();
}

void TfHarita::connectDatabase(const QString &databaseFile)
{
    const QString &dir = uGenel::DataDir;
    if (isAccessDatabase(databaseFile)) {
        showMessage(accessImportMessage(dir, databaseFile));
        requestQuit();
        throw Abort();
    }
    const QString target = Connection::isPostgresUri(databaseFile) ? databaseFile : resolveDataFile(dir, databaseFile);
    std::exception_ptr failure;
    try {
        // Made only when a file's search index is being built, which takes a while.
        std::unique_ptr<QProgressDialog> progress;
        ADOConnection1.open(target, [&](int percent) {
            if (!progress) {
                progress = std::make_unique<QProgressDialog>(QStringLiteral("Yer adları arama için dizinleniyor…"),
                                                             QString(), 0, 100, this);
                progress->setObjectName(QStringLiteral("IndexProgress"));
                progress->setWindowModality(Qt::WindowModal);
            }
            progress->setValue(percent);
        });
    } catch (const MissingTables &) {
        // The file is there and opens: a missing table is the datasets' failure, reported
        // as such, and the program runs on.
        throw;
    } catch (...) {
        failure = std::current_exception();
    }
    if (!ADOConnection1.isOpen()) {
        // The path as the user wrote it, separator doubled after the folder.
        showMessage(QStringLiteral("Veritabanı bulunamadı. Yolun geçerliliğini kontrol edin: ") + dir + '/'
                    + withoutPassword(databaseFile));
        requestQuit();
        if (failure)
            std::rethrow_exception(failure);
        throw Abort();
    }
}

void TfHarita::setupLayers()
{
    const QSize overlay = coords::initialOverlaySize(ScrollBox1->size(), uGenel::ScaleDivisor);
    Image2->setGeometry(QRect(QPoint(0, 0), overlay));
    OverlayBitmap = transparentBitmap(overlay);
    Image2->setPicture(OverlayBitmap);

    AddMode = false;
    LoadSheetIndex();
    SelectSheet(-1);

    MarkRadius = 10;
    Image2Temizle();
    drawMarker();

    ShowSheetName();
    Image1->move(0, 0);
}

void TfHarita::drawMarker()
{
    QImage marker = transparentBitmap(QSize(30, 30));
    QPainter painter(&marker);
    painter.setPen(QPen(QColor(255, 0, 0), 3));
    painter.drawEllipse(QRect(0, 0, 2 * MarkRadius, 2 * MarkRadius));
    painter.end();
    Image3->setPicture(marker);
    Image3->hide();
}

void TfHarita::Button7Click()
{
    if (mayEnd())
        requestQuit();
}
