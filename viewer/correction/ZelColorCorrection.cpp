#include "ZelColorCorrection.h"
#include "ui_ZelColorCorrection.h"

#include "ZelAppSettings.h"
#include "ZelDialogs.h"
#include "ZelFeatureManager.h"
#include "ZelUtil.h"

#include <Eigen/Dense>

#include <QAction>
#include <QFileInfo>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSceneMouseEvent>
#include <QPen>
#include <QSettings>
#include <QHeaderView>
#include <QTableWidgetItem>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kPatches = 24;
constexpr int kColumns = 6;
constexpr int kRows = 4;
// Least patches a fit takes: twice the four unknowns of each output, so
// that no single patch decides the matrix.
constexpr int kMinFitPatches = 8;

const QString kTitle = QStringLiteral("Color Correction");

QPen dashedWhite(int width)
{
    QPen pen(Qt::white, width, Qt::DashLine, Qt::SquareCap, Qt::BevelJoin);
    return pen;
}

QString rgbText(const QColor& c)
{
    return QStringLiteral("%1,%2,%3").arg(c.red()).arg(c.green()).arg(c.blue());
}

// A channel at black or at the 8-bit maximum: the light it saw is unknown.
bool atLimit(int value) { return value <= 0 || value >= 255; }
bool isClipped(QRgb c) { return atLimit(qRed(c)) || atLimit(qGreen(c)) || atLimit(qBlue(c)); }

} // namespace

// ---- chart scene ----

CustomScene::CustomScene(QObject* parent)
    : QGraphicsScene(parent)
{
}

void CustomScene::newChart()
{
    delete m_chart;
    m_chart = new QGraphicsRectItem;
    m_chart->setPen(dashedWhite(2));
    addItem(m_chart);
}

void CustomScene::reset()
{
    m_chart = nullptr;
    clear();
}

QList<QGraphicsRectItem*> CustomScene::patches() const
{
    QList<QGraphicsRectItem*> squares;
    if (!m_chart)
        return squares;
    for (QGraphicsItem* child : m_chart->childItems()) {
        if (auto* square = qgraphicsitem_cast<QGraphicsRectItem*>(child))
            squares << square;
    }
    return squares;
}

void CustomScene::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        newChart();
        m_press = event->scenePos();
        m_drag = QRectF(m_press, QSizeF(0, 0));
        update();
    }
    QGraphicsScene::mousePressEvent(event);
}

void CustomScene::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    // The view tracks the mouse: only a drag draws.
    if (event->buttons() & Qt::LeftButton) {
        newChart();
        const QPointF at = event->scenePos();
        m_drag = QRectF(m_press.x(), m_press.y(), at.x() - m_press.x(), at.y() - m_press.y());
        layoutChart();
    }
    QGraphicsScene::mouseMoveEvent(event);
}

void CustomScene::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_chart) {
        newChart();
        const QPointF at = event->scenePos();
        m_drag = QRectF(m_press.x(), m_press.y(), at.x() - m_press.x(), at.y() - m_press.y());
        layoutChart();
    }
    QGraphicsScene::mouseReleaseEvent(event);
}

void CustomScene::layoutChart()
{
    const int w = int(m_drag.width());
    const int h = int(m_drag.height());
    if (w < 0 || h < 0)
        return;  // charts are drawn from top left to bottom right only
    const int x0 = int(m_drag.x());
    const int y0 = int(m_drag.y());
    const int cw = w / kColumns;
    const int ch = h / kRows;
    const int s = w / 18;
    m_chart->setRect(x0, y0, w, h);
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            const QRect cell(x0 + c * cw, y0 + r * ch, cw, ch);
            QRect square(0, 0, s, s);
            square.moveCenter(cell.center());
            auto* item = new QGraphicsRectItem(square, m_chart);
            item->setPen(dashedWhite(8));
            // Measured inside the square as drawn.
            item->setData(0, square.topLeft());
        }
    }
    update();
}

// ---- window ----

ZelColorCorrection::ZelColorCorrection(ZelFeatureManager* remoteDevice, QString cameraName, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , ui(new Ui::ZelColorCorrection)
    , m_remote(remoteDevice)
    , m_chartScene(new CustomScene(this))
    , m_resultScene(new QGraphicsScene(this))
{
    ui->setupUi(this);
    readProfiles(ZelAppSettings::instance()->colorProfiles);
    setWindowTitle(QStringLiteral("Color Correction (") + cameraName + QLatin1Char(')'));

    QVariant enabled;
    if (m_remote && m_remote->GetValue("ColorTransformationEnable", enabled) && enabled.isValid())
        ui->EnableCCM->setChecked(enabled.toBool());

    auto* live = new QAction(QStringLiteral("Import Live Image"), this);
    auto* local = new QAction(QStringLiteral("Import Local Image"), this);
    connect(live, &QAction::triggered, this, &ZelColorCorrection::importLiveImg);
    connect(local, &QAction::triggered, this, &ZelColorCorrection::on_loadLocalImg_clicked);
    ui->ImportSourceImg->addAction(local);
    ui->ImportSourceImg->addAction(live);
    ui->ImportSourceImg->setDefaultAction(live);

    ui->tableWidget->setEnabled(true);
    ui->tableWidget->setStyleSheet(QStringLiteral("background-color: rgba( 255, 255, 255, 50% );"));
    ui->tableWidget->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // The four rows fill the table: no empty band below them.
    ui->tableWidget->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // The row headers keep a plain look of their own under that background.
    ui->tableWidget->verticalHeader()->setStyleSheet(
        QStringLiteral("::section { background-color: #dddddd; color: black; padding: 0 6px; }"));
    ui->textBrowser->setStyleSheet(QStringLiteral("background-color: rgba( 255, 255, 255, 0% );"));
    showMode(0);
}

ZelColorCorrection::~ZelColorCorrection()
{
    freeHeld();
    delete ui;
}

void ZelColorCorrection::freeHeld()
{
    std::free(m_held.pixels);
    m_held = ORV_BUFFER_INFO{};
}

void ZelColorCorrection::readProfiles(QSettings* store)
{
    if (!store)
        return;
    m_profiles.clear();
    ui->Profile->clear();
    const QStringList groups = store->childGroups();
    for (const QString& group : groups)
        ui->Profile->addItem(group);
    for (const QString& group : groups) {
        Profile profile;
        profile.name = group;
        store->beginGroup(group);
        for (const QString& key : store->childKeys()) {
            const QStringList value = store->value(key).toStringList();
            if (value.isEmpty())
                continue;
            profile.colours << QColor(value.at(0));
            profile.weights << (value.size() > 1 ? value.at(1).toDouble() : 1.0);
        }
        store->endGroup();
        m_profiles << profile;
    }
}

void ZelColorCorrection::showMode(int mode)
{
    m_viewMode = mode;
    const bool source = mode == 0;
    ui->groupBox_2->setVisible(!source);
    ui->GenerateCCM->setVisible(source);
    ui->EnableCCM->setVisible(source);
    ui->Profile->setVisible(source);
}

void ZelColorCorrection::on_Viewer_currentIndexChanged(int index)
{
    showMode(index);
    updateView();
}

void ZelColorCorrection::on_Profile_currentIndexChanged(int index) { m_profileIndex = index; }

void ZelColorCorrection::updateView()
{
    QGraphicsScene* scene = m_viewMode == 0 ? static_cast<QGraphicsScene*>(m_chartScene) : m_resultScene;
    if (ui->graphicsView->scene() != scene)
        ui->graphicsView->setScene(scene);
    ui->graphicsView->fitInView(scene->sceneRect(), Qt::KeepAspectRatio);
}

void ZelColorCorrection::resizeEvent(QResizeEvent* event)
{
    updateView();
    QWidget::resizeEvent(event);
}

void ZelColorCorrection::showSource(const QImage& image)
{
    m_source = image;
    m_pixmap = QPixmap::fromImage(image);
    m_chartScene->reset();
    m_chartScene->addPixmap(m_pixmap);
    m_chartScene->setSceneRect(image.rect());
    ui->graphicsView->setScene(m_chartScene);
    ui->graphicsView->fitInView(m_chartScene->sceneRect(), Qt::KeepAspectRatio);
}

bool ZelColorCorrection::loadLocalImage()
{
    const QStringList files = ZelDialogs::getOpenFileNames(nullptr, QStringLiteral("image paths"));
    if (files.isEmpty())
        return false;
    const QString path = files.last();
    const QString folder = QFileInfo(path).absolutePath();
    if (folder != m_imageFolder) {
        ZelAppSettings::instance()->setValue(QStringLiteral("Directory"), QStringLiteral("PDCSettingsFileDir"), folder);
        m_imageFolder = folder;
    }
    const QImage image(path);
    if (image.isNull()) {
        ZelDialogs::critical(this, QStringLiteral("Load Image"), path + QStringLiteral("Failed!"));
        return false;
    }
    if (image.format() != QImage::Format_RGB32)
        return false;
    showSource(image);
    return true;
}

void ZelColorCorrection::on_loadLocalImg_clicked()
{
    loadLocalImage();
    ui->Viewer->setCurrentIndex(0);
}

void ZelColorCorrection::setSourceImage(ORV_BUFFER_INFO* image)
{
    if (!image)
        return;
    const quint64 needed = quint64(image->width) * image->height * 4;
    if (!ZelUtil::IsColorFormat(image->pixelType) || !image->pixels || needed == 0 || image->size < needed) {
        ZelDialogs::information(this, kTitle, QStringLiteral("Image Format Not Supported"));
        std::free(image->pixels);
        image->pixels = nullptr;
        return;
    }
    freeHeld();
    // Blue, green, red and an ignored byte: Qt's 32-bit RGB in memory.
    const QImage wrapped(static_cast<const uchar*>(image->pixels), int(image->width), int(image->height),
                         int(image->width) * 4, QImage::Format_RGB32);
    m_held = *image;
    image->pixels = nullptr;  // the block is ours now
    showSource(wrapped.copy());
    ui->Viewer->setCurrentIndex(0);
}

void ZelColorCorrection::setMeasuredColours(const QVector<QColor>& colours)
{
    m_measured = colours;
    m_clipped.clear();
    for (const QColor& c : colours)
        m_clipped << isClipped(c.rgb());
}

void ZelColorCorrection::measurePatches()
{
    m_measured.clear();
    m_clipped.clear();
    m_corrected.clear();
    const QImage image = m_source;
    for (QGraphicsRectItem* square : m_chartScene->patches()) {
        const int w = int(square->rect().width());
        const int h = int(square->rect().height());
        const QPoint o = square->data(0).toPoint();
        if (w <= 0 || h <= 0) {
            m_measured << QColor(0, 0, 0);
            m_clipped << true;
            continue;
        }
        qint64 red = 0, green = 0, blue = 0;
        // A pixel outside the image, or with a channel at a limit, makes
        // the patch's mean wrong: the patch is clipped.
        bool clipped = false;
        for (int i = 0; i < h; ++i) {
            const int y = o.y() + i;
            if (y < 0 || y >= image.height()) {
                clipped = true;
                continue;
            }
            const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int j = 0; j < w; ++j) {
                const int x = o.x() + j;
                if (x < 0 || x >= image.width()) {
                    clipped = true;
                    continue;  // outside the image counts as black
                }
                red += qRed(line[x]);
                green += qGreen(line[x]);
                blue += qBlue(line[x]);
                clipped = clipped || isClipped(line[x]);
            }
        }
        const qint64 n = qint64(w) * h;
        m_measured << QColor(int(red / n), int(green / n), int(blue / n), 255);
        m_clipped << clipped;
    }
}

bool ZelColorCorrection::fitMatrix()
{
    if (m_measured.size() != kPatches || m_profileIndex < 0 || m_profileIndex >= m_profiles.size())
        return false;
    const Profile& profile = m_profiles.at(m_profileIndex);
    if (profile.colours.size() < kPatches || profile.weights.size() < kPatches) {
        ZelDialogs::critical(this, kTitle,
                             QStringLiteral("Generate CCM Failed! The profile \"%1\" holds fewer than 24 colors.")
                                 .arg(profile.name));
        return false;
    }

    // Weighted least squares: each patch's row, the constant included,
    // counts with the patch's weight. A clipped patch counts with none: its
    // measured colour is not what the camera saw.
    Eigen::MatrixXd a(kPatches, 4), b(kPatches, 3);
    QVector<bool> leftOutPatches(kPatches, false);
    int leftOut = 0, used = 0;
    for (int k = 0; k < kPatches; ++k) {
        const QColor& m = m_measured.at(k);
        const QColor& ref = profile.colours.at(k);
        const bool clipped = m_clipped.value(k);
        const double w = clipped ? 0.0 : profile.weights.at(k);
        leftOutPatches[k] = clipped;
        leftOut += clipped ? 1 : 0;
        used += w != 0.0 ? 1 : 0;
        a.row(k) << w * m.red(), w * m.green(), w * m.blue(), w;
        b.row(k) << w * ref.red(), w * ref.green(), w * ref.blue();
    }
    if (used < kMinFitPatches) {
        ZelDialogs::critical(this, kTitle,
                             QStringLiteral("Generate CCM Failed! %1 of the 24 patches are clipped (a channel at 0 "
                                            "or 255) and %2 are left for the fit; it needs at least %3. Lower the "
                                            "exposure or gain, or draw the chart over the colour chart, and "
                                            "import the image again.")
                                 .arg(leftOut)
                                 .arg(used)
                                 .arg(kMinFitPatches));
        return false;
    }
    const Eigen::JacobiSVD<Eigen::MatrixXd> svd(a, Eigen::ComputeThinU | Eigen::ComputeThinV);
    const Eigen::MatrixXd x = svd.solve(b);  // singular values under the threshold are not inverted
    if (svd.rank() < 4 || !x.allFinite()) {
        ZelDialogs::critical(this, kTitle,
                             QStringLiteral("Generate CCM Failed! The chart's patches are too much alike for a "
                                            "correction matrix: draw the chart over the colour chart."));
        return false;
    }

    m_leftOut = leftOutPatches;
    m_matrix.clear();
    for (int o = 0; o < 3; ++o)
        for (int i = 0; i < 3; ++i)
            m_matrix << x(i, o);
    for (int o = 0; o < 3; ++o)
        m_matrix << x(3, o);

    m_corrected.clear();
    for (const QColor& m : m_measured) {
        int v[3];
        for (int o = 0; o < 3; ++o) {
            const double out = x(0, o) * m.red() + x(1, o) * m.green() + x(2, o) * m.blue() + x(3, o);
            // Truncated; rounding noise just under a whole level keeps that level.
            v[o] = int(std::floor(std::clamp(out, 0.0, 255.0) + 1e-7));
        }
        m_corrected << QColor(v[0], v[1], v[2], 255);
    }
    return true;
}

void ZelColorCorrection::on_GenerateCCM_clicked()
{
    if (m_pixmap.isNull())
        return;
    const QList<QGraphicsRectItem*> squares = m_chartScene->patches();
    if (!squares.isEmpty() && squares.first()->rect().width() < 1) {
        ZelDialogs::critical(this, kTitle,
                             QStringLiteral("Generate CCM Failed! The chart is too small: draw it at least 18 "
                                            "pixels wide."));
        return;
    }
    measurePatches();
    if (!fitMatrix())
        return;
    fillResultScene();
    fillMatrixTable();
    ui->labelLeftOut->setText(leftOutText());
    ui->Viewer->setCurrentIndex(1);
}

void ZelColorCorrection::fillResultScene()
{
    m_resultScene->clear();
    auto* parent = new QGraphicsRectItem;
    parent->setPen(Qt::NoPen);
    const QVector<QColor> references =
        m_profileIndex >= 0 && m_profileIndex < m_profiles.size() ? m_profiles.at(m_profileIndex).colours
                                                                  : QVector<QColor>();
    auto square = [parent](int column, int row, const QColor* colour, const QString& tip) {
        auto* item = new QGraphicsRectItem(50 * column, 50 * row, 50, 50, parent);
        item->setPen(Qt::NoPen);
        if (colour) {
            item->setBrush(*colour);
            item->setToolTip(tip + rgbText(*colour));
        }
    };
    for (int k = 0; k < kPatches; ++k) {
        const int column = 2 * (k % kColumns), row = 2 * (k / kColumns);
        const QColor* reference = k < references.size() ? &references.at(k) : nullptr;
        const QColor* measured = k < m_measured.size() ? &m_measured.at(k) : nullptr;
        const QColor* corrected = k < m_corrected.size() ? &m_corrected.at(k) : nullptr;
        square(column, row, reference, QStringLiteral("reference: "));
        square(column + 1, row, measured, QStringLiteral("uncorrected: "));
        square(column, row + 1, corrected, QStringLiteral("corrected: "));
        square(column + 1, row + 1, corrected, QStringLiteral("corrected: "));
    }
    // A patch left out of the fit has its measured colour crossed out.
    for (int k = 0; k < kPatches && k < m_leftOut.size(); ++k) {
        if (!m_leftOut.at(k))
            continue;
        const QRectF measured(100 * (k % kColumns) + 50, 100 * (k / kColumns), 50, 50);
        for (const QPen& pen : {QPen(Qt::black, 5), QPen(Qt::white, 2)}) {
            for (const QLineF& line : {QLineF(measured.topLeft(), measured.bottomRight()),
                                       QLineF(measured.topRight(), measured.bottomLeft())}) {
                auto* item = new QGraphicsLineItem(line, parent);
                item->setPen(pen);
            }
        }
    }
    QPen frame(Qt::black, 12, Qt::SolidLine, Qt::FlatCap);
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            auto* item = new QGraphicsRectItem(100 * c, 100 * r, 100, 100, parent);
            item->setPen(frame);
        }
    }
    m_resultScene->addItem(parent);
    m_resultScene->setSceneRect(m_resultScene->itemsBoundingRect());
}

int ZelColorCorrection::leftOutCount() const
{
    return int(std::count(m_leftOut.cbegin(), m_leftOut.cend(), true));
}

QString ZelColorCorrection::leftOutText() const
{
    const int n = leftOutCount();
    if (n == 0)
        return QStringLiteral("All 24 patches used in the fit.");
    return QStringLiteral("%1 of 24 patches left out of the fit (crossed out): a channel is clipped at 0 or 255.")
        .arg(n);
}

void ZelColorCorrection::fillMatrixTable()
{
    for (int i = 0; i < m_matrix.size() && i < 12; ++i) {
        // Fixed decimals: the fit's rounding noise reads 0.0000, never
        // 4.26806e-16 or -0.0000.
        const double value = std::round(m_matrix.at(i) * 1e4) / 1e4;
        auto* item = new QTableWidgetItem(QString::number(value == 0 ? 0.0 : value, 'f', 4));
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        ui->tableWidget->setItem(i / 3, i % 3, item);
    }
}

void ZelColorCorrection::on_pushButton_clicked()
{
    auto failed = [this](const QString& what) {
        ZelDialogs::critical(this, QStringLiteral("Upload CCM To Camera"),
                             QStringLiteral("Upload Failed! %1 could not be written; Enable CCM was left as it was.")
                                 .arg(what));
    };
    if (!m_remote || !m_remote->SetValue("ColorTransformationSelector", QVariant(qint64(4)))) {
        failed(QStringLiteral("ColorTransformationSelector"));
        return;
    }
    for (int i = 0; i < m_matrix.size(); ++i) {
        if (!m_remote->SetValue("ColorTransformationValueSelector", QVariant(qint64(i)))) {
            failed(QStringLiteral("ColorTransformationValueSelector %1").arg(i));
            return;
        }
        if (!m_remote->SetValue("ColorTransformationValue", QVariant(m_matrix.at(i)))) {
            failed(QStringLiteral("ColorTransformationValue %1").arg(i));
            return;
        }
    }
    ui->EnableCCM->setChecked(true);
}

void ZelColorCorrection::on_EnableCCM_stateChanged(int state)
{
    if (m_remote)
        m_remote->SetValue("ColorTransformationEnable", QVariant(state == Qt::Checked));
}
