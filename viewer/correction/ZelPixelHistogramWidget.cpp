#include "ZelPixelHistogramWidget.h"
#include "ui_ZelPixelHistogramWidget.h"

#include "ZelPixelExtractionThread.h"
#include "ZelPixelHistogramData.h"
#include "ZelPixelHistogramModel.h"
#include "ZelPixelHistogramStatModel.h"
#include "ZelUtil.h"

#include <QHeaderView>
#include <QPixmapCache>

namespace {

void prepareTable(QTableView* table)
{
    table->setStyleSheet(QStringLiteral("QHeaderView::section { background-color:rgb(240, 240, 240) }"));
    table->verticalHeader()->hide();
    table->horizontalHeader()->setHighlightSections(false);
    table->setSortingEnabled(false);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
}

} // namespace

ZelPixelHistogramWidget::ZelPixelHistogramWidget(QString cameraName, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , ui(new Ui::ZelPixelHistogramWidget)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Pixel Histogram (") + cameraName + QStringLiteral(")"));
    setAttribute(Qt::WA_DeleteOnClose);

    model = new ZelPixelHistogramModel(ui->tableViewPixel);
    ui->tableViewPixel->setModel(model);
    ui->graphView->setModel(model);
    statModel = new ZelPixelHistogramStatModel(ui->tableViewStat);
    ui->tableViewStat->setModel(statModel);
    prepareTable(ui->tableViewPixel);
    prepareTable(ui->tableViewStat);
    ui->tableViewStat->horizontalHeader()->setFixedHeight(28);
    ui->tableViewStat->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);

    extractionThread = new ZelPixelExtractionThread;
    connect(extractionThread, &ZelPixelExtractionThread::pixelCountReady, this,
            &ZelPixelHistogramWidget::onPixelCountExtracted, Qt::DirectConnection);
    extractionThread->Start(QThread::InheritPriority);
    for (QSpinBox* box : {ui->spinOffsetX, ui->spinOffsetY, ui->spinWidth, ui->spinHeight})
        connect(box, QOverload<int>::of(&QSpinBox::valueChanged), this, &ZelPixelHistogramWidget::onSpinBoxValueChanged);
    connect(ui->graphView, &ZelPixelHistogramPlot::pixelStatChanged, this, &ZelPixelHistogramWidget::onPixelStatChanged);
}

ZelPixelHistogramWidget::~ZelPixelHistogramWidget()
{
    // The thread stops before anything it reports to goes.
    delete extractionThread;
    delete ui;
    // The tables' style sheet gives each window palettes of its own, so the
    // style caches their drawn headers, cells and scroll bars under keys no
    // later window uses: some 200 KB a window, held until the cache's 10 MB
    // limit pushes them out. They go with the window; the cache refills
    // from what the windows still open draw.
    QPixmapCache::clear();
}

ZelPixelHistogramPlot* ZelPixelHistogramWidget::plot() const
{
    return ui->graphView;
}

quint64 ZelPixelHistogramWidget::AdjustedFormat(quint64 format, qint64 pixelSize)
{
    if (pixelSize != 10 && pixelSize != 12)
        return format;
    const bool ten = pixelSize == 10;
    switch (uint32_t(format)) {
    case 0x01100007: return ten ? 0x01100003 : 0x01100005;  // Mono16
    case 0x0110002E: return ten ? 0x0110000C : 0x01100010;  // BayerGR16
    case 0x0110002F: return ten ? 0x0110000D : 0x01100011;  // BayerRG16
    case 0x01100030: return ten ? 0x0110000E : 0x01100012;  // BayerGB16
    case 0x01100031: return ten ? 0x0110000F : 0x01100013;  // BayerBG16
    default: return format;
    }
}

QRect ZelPixelHistogramWidget::spinBoxAoi() const
{
    return QRect(ui->spinOffsetX->value(), ui->spinOffsetY->value(), ui->spinWidth->value(), ui->spinHeight->value());
}

QRect ZelPixelHistogramWidget::requestedAoi() const
{
    return ui->chkFullAOI->isChecked() ? fullImage : spinBoxAoi();
}

void ZelPixelHistogramWidget::updateImage(const ORV_BUFFER_INFO& record, qint64 newPixelSize)
{
    const quint64 format = ZelUtil::GetStreamPixelFormat(uint32_t(record.pixelType), uint32_t(record.pixelType >> 32));
    if (fullImage.width() == int(record.width) && fullImage.height() == int(record.height)
        && format == pixelFormat && newPixelSize == pixelSize) {
        extractionThread->setImage(record, QRect(), 0);
        return;
    }
    reinitialise(int(record.width), int(record.height), format, newPixelSize);
    pixelFormat = format;
    pixelSize = newPixelSize;
    countedAoi = requestedAoi();
    extractionThread->setImage(record, countedAoi, newPixelSize);
}

void ZelPixelHistogramWidget::reinitialise(int width, int height, quint64 format, qint64 newPixelSize)
{
    const quint64 shown = AdjustedFormat(format, newPixelSize);
    statModel->setHeaderData(0, Qt::Horizontal, shown, ZelPixelHistogramModel::PixelFormatRole);
    model->setHeaderData(0, Qt::Horizontal, shown, ZelPixelHistogramModel::PixelFormatRole);
    ui->tableViewPixel->resizeColumnsToContents();
    fullImage = QRect(0, 0, width, height);
    if (ui->chkFullAOI->isChecked())
        showInBoxes(fullImage);
    boundBoxes();
}

void ZelPixelHistogramWidget::showInBoxes(const QRect& aoi)
{
    const QSignalBlocker blockX(ui->spinOffsetX);
    const QSignalBlocker blockY(ui->spinOffsetY);
    const QSignalBlocker blockWidth(ui->spinWidth);
    const QSignalBlocker blockHeight(ui->spinHeight);
    // Ranges first, so no box clamps a value that the next one allows.
    ui->spinOffsetX->setRange(0, qMax(0, aoi.left()));
    ui->spinOffsetY->setRange(0, qMax(0, aoi.top()));
    ui->spinWidth->setRange(1, qMax(1, aoi.width()));
    ui->spinHeight->setRange(1, qMax(1, aoi.height()));
    ui->spinOffsetX->setValue(aoi.left());
    ui->spinOffsetY->setValue(aoi.top());
    ui->spinWidth->setValue(aoi.width());
    ui->spinHeight->setValue(aoi.height());
}

void ZelPixelHistogramWidget::boundBoxes()
{
    if (fullImage.isNull())
        return;
    // As a camera bounds its AOI: offset + size never beyond the image. The
    // AOI is sent once, by the caller, not per clamped box.
    const QSignalBlocker blockX(ui->spinOffsetX);
    const QSignalBlocker blockY(ui->spinOffsetY);
    const QSignalBlocker blockWidth(ui->spinWidth);
    const QSignalBlocker blockHeight(ui->spinHeight);
    // A smaller image keeps the AOI's size where it fits and moves it in.
    const auto bound = [](QSpinBox* offset, QSpinBox* size, int extent) {
        size->setRange(1, qMax(1, extent));
        offset->setRange(0, qMax(0, extent - size->value()));
        size->setRange(1, qMax(1, extent - offset->value()));
    };
    bound(ui->spinOffsetX, ui->spinWidth, fullImage.width());
    bound(ui->spinOffsetY, ui->spinHeight, fullImage.height());
}

void ZelPixelHistogramWidget::sendAoi(const QRect& aoi)
{
    countedAoi = aoi;
    extractionThread->setAOI(aoi);
}

void ZelPixelHistogramWidget::on_chkFullAOI_toggled(bool checked)
{
    for (QSpinBox* box : {ui->spinOffsetX, ui->spinOffsetY, ui->spinWidth, ui->spinHeight})
        box->setEnabled(!checked);
    if (checked && !fullImage.isNull()) {
        showInBoxes(fullImage);
        boundBoxes();
    }
    sendAoi(checked ? fullImage : spinBoxAoi());
}

void ZelPixelHistogramWidget::onSpinBoxValueChanged(int)
{
    // With the full image chosen the boxes only follow the image's size.
    if (ui->chkFullAOI->isChecked())
        return;
    boundBoxes();
    sendAoi(spinBoxAoi());
}

void ZelPixelHistogramWidget::onPixelCountExtracted(QRect rect, qulonglong* pixelCountData0, qulonglong* pixelCountData1,
                                                    qulonglong* pixelCountData2, quint64 format, int length)
{
    qulonglong* const sources[3] = {pixelCountData0, pixelCountData1, pixelCountData2};
    std::lock_guard<std::mutex> lock(countsMutex);
    for (int c = 0; c < 3; ++c) {
        if (sources[c] && length > 0)
            latestCounts[c].assign(sources[c], sources[c] + length);
        else
            latestCounts[c].clear();
    }
    latestAoi = rect;
    latestFormat = format;
    // One hand-over waits at most: a fast camera replaces its counts.
    if (!applyQueued) {
        applyQueued = true;
        QMetaObject::invokeMethod(this, "_applyLatestCounts", Qt::QueuedConnection);
    }
}

void ZelPixelHistogramWidget::_applyLatestCounts()
{
    std::vector<qulonglong> counts[3];
    QRect aoi;
    quint64 format;
    {
        std::lock_guard<std::mutex> lock(countsMutex);
        applyQueued = false;
        for (int c = 0; c < 3; ++c)
            counts[c].swap(latestCounts[c]);
        aoi = latestAoi;
        format = latestFormat;
    }
    // Counts of an earlier format or AOI are stale.
    if (format != pixelFormat || aoi != countedAoi || counts[0].empty())
        return;
    ZelPixelHistogramData data;
    data.aoi = aoi;
    data.pixelCountData0 = counts[0].data();
    data.pixelCountData1 = counts[1].empty() ? nullptr : counts[1].data();
    data.pixelCountData2 = counts[2].empty() ? nullptr : counts[2].data();
    data.length = int(counts[0].size());
    model->setData(QModelIndex(), QVariant::fromValue(data), ZelPixelHistogramModel::CountsRole);
}

void ZelPixelHistogramWidget::onPixelStatChanged(int col, double average, int modalPixel, int modalPixelCount)
{
    const int row = col - 1;
    statModel->setData(statModel->index(row, 1), average);
    statModel->setData(statModel->index(row, 2), qulonglong(modalPixelCount));
    statModel->setData(statModel->index(row, 3), uint(modalPixel));
}
