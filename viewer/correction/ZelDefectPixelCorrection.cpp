#include "ZelDefectPixelCorrection.h"

#include "ZelAppSettings.h"
#include "ZelDialogs.h"
#include "ZelFeatureManager.h"
#include "ZelPixmapLabel.h"
#include "ZelUtil.h"
#include "ZelWaitCursor.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QSettings>
#include <QTabWidget>
#include <QTextStream>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

constexpr quint32 regControl = 0x10004000;
constexpr quint32 regMapSelect = 0x10004014;
constexpr quint32 regMapClear = 0x10004018;
constexpr quint32 regMapSize = 0x1000401C;
constexpr quint32 regMapMaxSize = 0x10004020;
constexpr quint32 regMapWords = 0x10025000;

const char* const featureEnable = "DefectPixelCorrectionEnable_Control";
const char* const featureMapSelect = "DefectPixelCorrection_MapSelect";

template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// A file's bytes and their digest; no value when it cannot be read.
struct FileContent {
    QByteArray bytes;
    QByteArray digest;
};

std::optional<FileContent> readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    FileContent c{file.readAll(), {}};
    c.digest = QCryptographicHash::hash(c.bytes, QCryptographicHash::Sha1);
    return c;
}

// Threshold fields: a decimal integer up to `limit`, else the old value.
void applyThreshold(QLineEdit* edit, int& threshold, int limit)
{
    bool ok = false;
    const int value = edit->text().toInt(&ok, 10);
    if (!ok || value < 0 || value > limit)
        edit->setText(QString::number(threshold));
    else
        threshold = value;
}

} // namespace

ZelDefectPixelCorrection::ZelDefectPixelCorrection(ZelFeatureManager* deviceRegisters, ZelFeatureManager* remoteDevice,
                                                   QString cameraName, bool registerMode, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_access(deviceRegisters, remoteDevice, true, QStringLiteral("PDCSettingsFileDir")),
      m_registerMode(registerMode)
{
    buildForm();
    setWindowTitle(QStringLiteral("Defect Pixel Correction (") + cameraName + QLatin1Char(')'));
    setAttribute(Qt::WA_DeleteOnClose);

    QVariant filter(0);
    if (m_access.getFeature("PixelColorFilter", filter) && filter.toLongLong() != 0) {
        m_color = true;
        ui.tabWidget->removeTab(1);
    }
    readMatchPatterns(ZelAppSettings::instance()->defectMatches);
    QVariant revision(3);
    if (m_access.getFeature("DefectPixelCorrection_Revision", revision))
        m_revision = revision.toInt();
}

ZelDefectPixelCorrection::~ZelDefectPixelCorrection() = default;

void ZelDefectPixelCorrection::buildForm()
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("ZelDefectPixelCorrection"));
    resize(543, 620);
    setMinimumSize(543, 620);
    setLocale(QLocale(QLocale::English, QLocale::Germany));

    ui.tabWidget = named(new QTabWidget(this), "tabWidget");
    auto buildTab = [this](int set) {
        const bool dark = set == 1;
        QWidget* tab = named(new QWidget, dark ? "tabDarkInput" : "tabBrightInput");
        auto* layout = new QVBoxLayout(tab);
        QLabel* paths = named(new QLabel(QStringLiteral(" Image Paths:"), tab), dark ? "label_2" : "label_11");
        QListWidget* list = named(new QListWidget(tab), dark ? "listDarkImagePath" : "listBrightImagePath");
        list->setMaximumHeight(80);
        list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        QPushButton* add = named(new QPushButton(QStringLiteral("Add"), tab),
                                 dark ? "btnAddDarkImage" : "btnAddBrightImage");
        QPushButton* remove = named(new QPushButton(QStringLiteral("Delete"), tab),
                                    dark ? "btnDeleteDarkImage" : "btnDeleteBrightImage");
        remove->setEnabled(false);
        auto* buttons = new QVBoxLayout;
        buttons->addWidget(add);
        buttons->addWidget(remove);
        buttons->addStretch();
        auto* listRow = new QHBoxLayout;
        listRow->addWidget(list);
        listRow->addLayout(buttons);
        QLabel* meanLabel = named(new QLabel(QStringLiteral("Resulting Mean Image:"), tab),
                                  dark ? "label_5" : "label_10");
        QFrame* frame = named(new QFrame(tab), dark ? "frameMeanImageDark" : "frameMeanImageBright");
        frame->setFrameShape(QFrame::StyledPanel);
        frame->setFrameShadow(QFrame::Plain);
        auto* frameLayout = new QVBoxLayout(frame);
        frameLayout->setContentsMargins(0, 0, 0, 0);
        ZelPixmapLabel* mean = named(new ZelPixmapLabel(frame), dark ? "lblMeanImageDark" : "lblMeanImageBright");
        mean->setFrameShape(QFrame::StyledPanel);
        mean->setFrameShadow(QFrame::Plain);
        mean->setAlignment(Qt::AlignCenter);
        mean->setText(QString());
        frameLayout->addWidget(mean);
        QLabel* thresholdLabel =
            named(new QLabel(dark ? QStringLiteral("Absolute Threshold:") : QStringLiteral("Relative Threshold In %:"),
                             tab),
                  dark ? "label_3" : "label_12");
        QLineEdit* threshold = named(new QLineEdit(tab), dark ? "txtAbsoluteThreshold" : "txtRelativeThreshold");
        threshold->setMaximumWidth(100);
        if (!dark)
            threshold->setMaxLength(3);
        threshold->setInputMask(QStringLiteral("000"));
        threshold->setText(dark ? QStringLiteral("16") : QStringLiteral("12"));
        auto* thresholdRow = new QHBoxLayout;
        thresholdRow->addWidget(thresholdLabel);
        thresholdRow->addWidget(threshold);
        thresholdRow->addStretch();
        layout->addWidget(paths);
        layout->addLayout(listRow);
        layout->addWidget(meanLabel);
        layout->addWidget(frame, 1);
        layout->addLayout(thresholdRow);
        if (dark) {
            ui.tabDarkInput = tab;
            ui.label_2 = paths;
            ui.listDarkImagePath = list;
            ui.btnAddDarkImage = add;
            ui.btnDeleteDarkImage = remove;
            ui.label_5 = meanLabel;
            ui.frameMeanImageDark = frame;
            ui.lblMeanImageDark = mean;
            ui.label_3 = thresholdLabel;
            ui.txtAbsoluteThreshold = threshold;
        } else {
            ui.tabBrightInput = tab;
            ui.label_11 = paths;
            ui.listBrightImagePath = list;
            ui.btnAddBrightImage = add;
            ui.btnDeleteBrightImage = remove;
            ui.label_10 = meanLabel;
            ui.frameMeanImageBright = frame;
            ui.lblMeanImageBright = mean;
            ui.label_12 = thresholdLabel;
            ui.txtRelativeThreshold = threshold;
        }
        return tab;
    };
    ui.tabWidget->addTab(buildTab(1), QStringLiteral("Dark Image Input Parameters"));
    ui.tabWidget->addTab(buildTab(2), QStringLiteral("Bright Image Input Parameters"));
    ui.tabWidget->setCurrentIndex(1);

    ui.btnGenerateMap = named(new QPushButton(QStringLiteral("Generate Map"), this), "btnGenerateMap");
    ui.btnGenerateMap->setMinimumSize(100, 30);
    ui.btnGenerateMap->setToolTip(
        QStringLiteral("<html><head/><body><p>generate map from the  resulting dark and bright mean images. </p><p><br/>"
                       "</p></body></html>"));
    auto* generateRow = new QHBoxLayout;
    generateRow->addStretch();
    generateRow->addWidget(ui.btnGenerateMap);

    ui.label_13 = named(new QLabel(QStringLiteral("Defect Pixel Count:"), this), "label_13");
    ui.txtDefectPixelCount = named(new QLineEdit(this), "txtDefectPixelCount");
    ui.txtDefectPixelCount->setEnabled(false);
    ui.btnUploadMapToCam = named(new QPushButton(QStringLiteral("Upload Map To Camera"), this), "btnUploadMapToCam");
    ui.btnUploadMapToCam->setMinimumSize(115, 30);
    ui.btnUploadMapToCam->setEnabled(false);
    ui.btnSaveMapToFile = named(new QPushButton(QStringLiteral("Save Map To File "), this), "btnSaveMapToFile");
    ui.btnSaveMapToFile->setMinimumSize(12, 30);
    ui.btnSaveMapToFile->setEnabled(false);
    auto* mapRow = new QHBoxLayout;
    mapRow->addWidget(ui.label_13);
    mapRow->addWidget(ui.txtDefectPixelCount);
    mapRow->addWidget(ui.btnUploadMapToCam);
    mapRow->addWidget(ui.btnSaveMapToFile);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ui.tabWidget, 1);
    layout->addLayout(generateRow);
    layout->addLayout(mapRow);
    ZelUtil::FitToContents(this);
    QMetaObject::connectSlotsByName(this);
}

// ---- camera settings ----

void ZelDefectPixelCorrection::setBigEndian(bool bigEndian)
{
    m_access.setBigEndian(bigEndian);
}

bool ZelDefectPixelCorrection::isParamLocked()
{
    return m_access.isParamLocked();
}

bool ZelDefectPixelCorrection::getMapSelect(QVariant& value)
{
    return m_access.readSetting(featureMapSelect, regMapSelect, m_registerMode, value);
}

void ZelDefectPixelCorrection::setMapSelect(const QVariant& value)
{
    m_access.writeSetting(featureMapSelect, regMapSelect, m_registerMode, value);
}

void ZelDefectPixelCorrection::getCorrectionEnabled(bool& enabled)
{
    if (m_registerMode) {
        quint32 word = 0;
        if (m_access.readWord(regControl, word))
            enabled = (word & 1) != 0;
        return;
    }
    QVariant value;
    if (m_access.getFeature(featureEnable, value))
        enabled = value.toLongLong() != 0;
}

bool ZelDefectPixelCorrection::setCorrectionEnabled(bool enabled)
{
    if (!m_registerMode)
        return m_access.setFeature(featureEnable, QVariant(qint64(enabled ? 1 : 0)));
    quint32 word = 0;
    if (!m_access.readWord(regControl, word))
        return false;
    word = enabled ? (word | 1u) : (word & ~1u);
    return m_access.writeWord(regControl, word);
}

bool ZelDefectPixelCorrection::readMapSize(QVariant& value)
{
    return m_access.readSetting("DefectPixelCorrection_MapSize", regMapSize, m_registerMode, value);
}

bool ZelDefectPixelCorrection::readMapMaxSize(QVariant& value)
{
    return m_access.readSetting("DefectPixelCorrection_MapMaxSize", regMapMaxSize, m_registerMode, value);
}

bool ZelDefectPixelCorrection::clearCameraMap(const QVariant& map)
{
    return m_access.writeWord(regMapClear, quint32(map.toLongLong()));
}

// ---- the map ----

void ZelDefectPixelCorrection::clearMap()
{
    QVariant capacity;
    m_capacity = readMapMaxSize(capacity)
                     ? ZelCorrectionMapAccess::clampCount(capacity.toLongLong(), ZelCorrectionMapAccess::maxMapWords)
                     : 0;
    m_map.clear();
    m_map.reserve(int(m_capacity));
    m_hasMap = true;
    ui.btnUploadMapToCam->setEnabled(false);
    ui.btnSaveMapToFile->setEnabled(false);
}

bool ZelDefectPixelCorrection::addEntry(int x, int y, int value)
{
    if (quint32(m_map.size()) >= m_capacity)
        return false;
    for (const ZelDefectPixel& p : qAsConst(m_map)) {
        if (p.x == x && p.y == y)
            return true;
    }
    m_map.append(ZelDefectPixel{x, y, value});
    return true;
}

bool ZelDefectPixelCorrection::downloadMap()
{
    clearMap();
    QVariant size;
    const quint32 count =
        readMapSize(size) ? ZelCorrectionMapAccess::clampCount(size.toLongLong(), m_capacity) : 0;
    QVector<quint32> words;
    if (!m_access.readWords(regMapWords, count, words))
        return false;
    for (quint32 word : qAsConst(words)) {
        if (word == ZelDefectPixel::endMarker)
            break;
        const ZelDefectPixel p = ZelDefectPixel::decode(m_revision, word);
        addEntry(p.x, p.y, p.value);
    }
    return true;
}

bool ZelDefectPixelCorrection::uploadFailed(const QString& title, const QString& text)
{
    // Closes the camera window's progress display.
    emit actionViewerUpdateProcessBar(false, 100);
    ZelDialogs::information(this, title, text);
    return false;
}

bool ZelDefectPixelCorrection::uploadMap()
{
    QVariant select;
    if (!getMapSelect(select)) {
        ZelDialogs::information(this, QString(), QStringLiteral("get selected map failed!"));
        return false;
    }
    const quint32 selected = quint32(select.toLongLong());
    if (selected == 0) {
        ZelDialogs::information(this, QStringLiteral(" Upload Defect Pixel Map "),
                                QStringLiteral(" Upload Failed:  upload to factory map protected !"));
        return false;
    }
    if (!m_hasMap) {
        ZelDialogs::information(this, QStringLiteral("Upload Defect Pixel Map "),
                                QStringLiteral("upload failed: empty map"));
        return false;
    }

    // Encode the whole map before the camera's map is touched.
    const int count = m_map.size();
    QVector<quint32> words;
    words.reserve(count);
    int skipped = 0;
    for (int i = 0; i < count; ++i) {
        emit actionViewerUpdateProcessBar(false, int(float(i) * 100.0f / float(count)));
        quint32 word = 0;
        if (m_map[i].encode(m_revision, word))
            words.append(word);
        else
            ++skipped;
    }
    if (count > 0 && words.isEmpty()) {
        return uploadFailed(QStringLiteral(" Upload Defect Pixel Map "),
                            QStringLiteral(" Upload Failed: none of the %1 entries fits the camera's map").arg(count));
    }

    if (!clearCameraMap(select))
        return uploadFailed(QStringLiteral(" Clear map failed         "), QStringLiteral("Protected map"));
    if (!m_access.writeWords(regMapWords, words.constData(), size_t(words.size())))
        return uploadFailed(QStringLiteral(" Upload Defect Pixel Map "), QStringLiteral(" Upload Failed"));
    clearMap();

    if (m_registerMode) {
        quint32 control = 0;
        if (m_access.readWord(regControl, control))
            m_access.writeWord(regControl, control | 1u);
    } else {
        m_access.setFeature(featureEnable, QVariant(qint64(1)));
    }

    if (skipped > 0) {
        emit actionViewerUpdateProcessBar(false, 100);
        ZelDialogs::warning(this, QStringLiteral(" Upload Defect Pixel Map "),
                            QStringLiteral("%1 of %2 entries do not fit the camera's map and were not uploaded")
                                .arg(skipped)
                                .arg(count));
        return false;
    }
    emit actionViewerUpdateProcessBar(true, 100);
    return true;
}

bool ZelDefectPixelCorrection::exportMap()
{
    const QString name = ZelDialogs::getSaveFileName(nullptr, QStringLiteral("Export Map "), m_access.storedFolder(),
                                                     QStringLiteral("txt (*.txt)"));
    QFile file(name);
    if (name.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&file);
    for (const ZelDefectPixel& p : qAsConst(m_map))
        out << p.x << ';' << p.y << ';' << p.value << '\n';
    out.flush();
    // A full disk shows only when the buffered bytes reach the file.
    const bool written = out.status() == QTextStream::Ok && file.flush() && file.error() == QFileDevice::NoError;
    file.close();
    if (!written || file.error() != QFileDevice::NoError)
        return false;
    m_access.rememberFolder(name);
    return true;
}

namespace {

// A text map read whole: the entries that the camera's map would hold, in
// file order, and what would be lost. A position repeated in the file counts
// as one entry.
struct ParsedMap {
    QVector<ZelDefectPixel> kept;
    qint64 entries = 0;        // positions in the file
    qint64 outside = 0;        // of them outside the sensor
    qint64 overflow = 0;       // on the sensor, beyond the map's capacity
    qint64 badLine = 0;        // the first line that is no entry, or 0
    bool comment = false;      // that line begins with "#"
};

// One field of an entry: a decimal integer, white space around it allowed.
bool entryField(const QByteArray& field, qint32& value)
{
    const QByteArray text = field.trimmed();
    // toInt() stops at a NUL byte: every byte must be the number's own.
    const int digits = text.startsWith('+') || text.startsWith('-') ? 1 : 0;
    if (text.size() == digits ||
        !std::all_of(text.begin() + digits, text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    bool ok = false;
    value = text.toInt(&ok, 10);
    return ok;
}

ParsedMap parseMap(QIODevice& file, QSize sensor, quint32 capacity)
{
    // Longer lines are no entry; reading them in pieces keeps the memory small.
    constexpr qint64 maxLine = 256;
    ParsedMap parsed;
    QSet<qint64> kept;
    std::vector<qint64> outside, beyond;
    const auto key = [](qint32 x, qint32 y) { return qint64((quint64(quint32(y)) << 32) | quint32(x)); };
    for (qint64 number = 1; !file.atEnd(); ++number) {
        QByteArray line = file.readLine(maxLine);
        if (line.size() >= maxLine - 1 && !line.endsWith('\n')) {
            parsed.badLine = number;
            return parsed;
        }
        if (number == 1 && line.startsWith("\xEF\xBB\xBF"))
            line.remove(0, 3);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith('#')) {
            parsed.badLine = number;
            parsed.comment = true;
            return parsed;
        }
        const QList<QByteArray> fields = line.split(';');
        ZelDefectPixel p;
        if (fields.size() != 3 || !entryField(fields[0], p.x) || !entryField(fields[1], p.y) ||
            !entryField(fields[2], p.value)) {
            parsed.badLine = number;
            return parsed;
        }
        const qint64 k = key(p.x, p.y);
        if (p.x < 0 || p.y < 0 || p.x >= sensor.width() || p.y >= sensor.height()) {
            outside.push_back(k);
            continue;
        }
        if (kept.contains(k))
            continue;
        if (quint32(parsed.kept.size()) < capacity) {
            kept.insert(k);
            parsed.kept.append(p);
        } else {
            beyond.push_back(k);
        }
    }
    const auto distinct = [](std::vector<qint64>& keys) {
        std::sort(keys.begin(), keys.end());
        return qint64(std::unique(keys.begin(), keys.end()) - keys.begin());
    };
    parsed.outside = distinct(outside);
    parsed.overflow = distinct(beyond);
    parsed.entries = parsed.kept.size() + parsed.outside + parsed.overflow;
    return parsed;
}

} // namespace

QSize ZelDefectPixelCorrection::sensorSize() const
{
    // Positions the map word can hold at all.
    const int limit = m_revision == 4 ? 0x4000 : 0x10000;
    QVariant width, height;
    if (!(m_access.getFeature("WidthMax", width) && m_access.getFeature("HeightMax", height)) &&
        !(m_access.getFeature("Width", width) && m_access.getFeature("Height", height)))
        return QSize(limit, limit);
    return QSize(int(qBound<qint64>(0, width.toLongLong(), limit)), int(qBound<qint64>(0, height.toLongLong(), limit)));
}

bool ZelDefectPixelCorrection::importMap()
{
    const QString name = ZelDialogs::getOpenFileName(nullptr, QStringLiteral("Import Map"), m_access.storedFolder(),
                                                     QStringLiteral("txt (*.txt)"));
    if (name.isEmpty())
        return false;
    const QString shown = QDir::toNativeSeparators(name);
    QWidget* owner = ZelCorrectionMapAccess::messageParent(this);
    const auto refuse = [&](const QString& why) {
        ZelDialogs::critical(owner, QStringLiteral("Load Map"), shown + QStringLiteral("\n\n") + why);
        return false;
    };
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("The file cannot be read: %1").arg(file.errorString()));

    // The whole file is read before the map changes.
    QVariant capacityValue;
    const quint32 capacity =
        readMapMaxSize(capacityValue)
            ? ZelCorrectionMapAccess::clampCount(capacityValue.toLongLong(), ZelCorrectionMapAccess::maxMapWords)
            : 0;
    const QSize sensor = sensorSize();
    ParsedMap parsed;
    {
        ZelWaitCursor wait;
        parsed = parseMap(file, sensor, capacity);
    }
    if (file.error() != QFileDevice::NoError)
        return refuse(QStringLiteral("The file cannot be read: %1").arg(file.errorString()));
    file.close();
    if (parsed.comment)
        return refuse(QStringLiteral("Line %1 begins with \"#\"; the map is not loaded.").arg(parsed.badLine));
    if (parsed.badLine > 0)
        return refuse(QStringLiteral("Line %1 is not a defect pixel entry \"x;y;value\"; the map is not loaded.")
                          .arg(parsed.badLine));
    if (parsed.entries == 0)
        return refuse(QStringLiteral("The file holds no defect pixel entry; the camera's map is left as it is."));

    QStringList losses;
    if (parsed.outside > 0)
        losses << QStringLiteral("%1 lie outside the sensor of %2 × %3 pixels")
                      .arg(parsed.outside)
                      .arg(sensor.width())
                      .arg(sensor.height());
    if (parsed.overflow > 0)
        losses << QStringLiteral("%1 do not fit the camera's map of %2 entries").arg(parsed.overflow).arg(capacity);
    if (parsed.kept.isEmpty())
        return refuse(QStringLiteral("None of the %1 entries can be loaded: %2.")
                          .arg(parsed.entries)
                          .arg(losses.join(QStringLiteral(", "))));
    if (!losses.isEmpty()) {
        const QString question = QStringLiteral("%1\n\n%2 of the %3 entries would be lost: %4.\n\nLoad the other %5?")
                                     .arg(shown)
                                     .arg(parsed.outside + parsed.overflow)
                                     .arg(parsed.entries)
                                     .arg(losses.join(QStringLiteral(", ")))
                                     .arg(parsed.kept.size());
        if (ZelDialogs::question(owner, QStringLiteral("Load Map"), question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) != QMessageBox::Yes)
            return false;
    }

    clearMap();
    for (const ZelDefectPixel& p : qAsConst(parsed.kept))
        addEntry(p.x, p.y, p.value);
    m_access.rememberFolder(name);
    if (m_revision == 4) {
        // The map may come from another session: the camera tells its size.
        QVariant width(m_width), height(m_height);
        m_access.getFeature("Width", width);
        m_access.getFeature("Height", height);
        assignPatternCodes(width.toInt(), height.toInt());
    }
    return true;
}

// ---- match patterns ----

void ZelDefectPixelCorrection::readMatchPatterns(QSettings* store)
{
    if (!store)
        return;
    store->sync();
    m_patterns.clear();
    const QStringList groups = store->childGroups();
    for (const QString& group : groups) {
        store->beginGroup(group);
        const QStringList keys = store->childKeys();
        ZelDefectMatchPattern pattern{};
        bool valid = keys.size() == 6;
        for (int r = 0; valid && r < 5; ++r) {
            const QStringList row = store->value(keys[r]).toStringList();
            valid = row.size() == 5;
            for (int c = 0; valid && c < 5; ++c)
                pattern.cells[5 * r + c] = row[c].toInt(nullptr, 10);
        }
        if (valid) {
            const QVariant code = store->value(keys[5]);
            const QString text =
                code.userType() == QMetaType::QStringList ? code.toStringList().value(0) : code.toString();
            pattern.code = text.toInt(&valid, 10);
        }
        store->endGroup();
        if (!valid) {
            m_patterns.clear();
            return;
        }
        m_patterns.append(pattern);
    }
}

int ZelDefectPixelCorrection::matchPattern(const int cells[25]) const
{
    for (const ZelDefectMatchPattern& pattern : m_patterns) {
        bool match = true;
        for (int i = 0; match && i < 25; ++i)
            match = pattern.cells[i] == -1 || pattern.cells[i] == cells[i];
        if (match)
            return pattern.code;
    }
    return -1;
}

void ZelDefectPixelCorrection::assignPatternCodes(int sensorWidth, int sensorHeight)
{
    // Rows and columns of the neighbourhood that lie outside the sensor.
    auto outside = [](int position, int size, bool marks[5]) {
        for (int i = 0; i < 5; ++i)
            marks[i] = false;
        if (position == 0)
            marks[0] = marks[1] = true;
        else if (position == 1)
            marks[0] = true;
        if (qint64(position) == qint64(size) - 2)
            marks[4] = true;
        else if (qint64(position) == qint64(size) - 1)
            marks[3] = marks[4] = true;
    };
    for (ZelDefectPixel& e : m_map) {
        int cells[25] = {};
        bool columns[5], rows[5];
        outside(e.x, sensorWidth, columns);
        outside(e.y, sensorHeight, rows);
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 5; ++c)
                if (rows[r] || columns[c])
                    cells[5 * r + c] = 1;
        for (const ZelDefectPixel& m : qAsConst(m_map)) {
            // In 64 bits: no coordinate overflows at the ends of its range.
            const qint64 dx = qint64(m.x) - e.x, dy = qint64(m.y) - e.y;
            if (dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2)
                cells[5 * (dy + 2) + (dx + 2)] = 1;
        }
        const int code = matchPattern(cells);
        if (code >= 0)
            e.value = code;
    }
}

// ---- generation ----

void ZelDefectPixelCorrection::addEntriesOf(const ZelDefectImageSet& set)
{
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x)
            if (set.isDefect(x, y))
                addEntry(x, y, 0);
}

bool ZelDefectPixelCorrection::missingImages()
{
    // The wait cursor of the generation gives way to the message.
    QApplication::restoreOverrideCursor();
    ZelDialogs::information(this, QStringLiteral(" Generate Map  "),
                            QStringLiteral(" generate map failed: missing image parameters"));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    return false;
}

bool ZelDefectPixelCorrection::generateFromDarkAndBright()
{
    const QImage dark = ui.lblMeanImageDark->image();
    const QImage bright = ui.lblMeanImageBright->image();
    if (dark.isNull() && bright.isNull()) {
        return missingImages();
    }
    clearMap();
    const bool darkFound = m_dark.detectDefects(dark, true);
    const bool brightFound = m_bright.detectDefects(bright, false);
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            if ((darkFound && m_dark.isDefect(x, y)) || (brightFound && m_bright.isDefect(x, y)))
                addEntry(x, y, 0);
        }
    }
    return true;
}

void ZelDefectPixelCorrection::on_btnGenerateMap_clicked()
{
    ZelWaitCursor wait;
    ui.btnUploadMapToCam->setEnabled(false);
    ui.btnSaveMapToFile->setEnabled(false);
    ui.txtDefectPixelCount->clear();
    if (m_color) {
        const QImage dark = ui.lblMeanImageDark->image();
        if (dark.isNull()) {
            missingImages();
            return;
        }
        clearMap();
        m_dark.detectDefects(dark, true);
        addEntriesOf(m_dark);
    } else if (!generateFromDarkAndBright()) {
        return;
    }
    if (m_revision == 4)
        assignPatternCodes(m_width, m_height);
    QApplication::restoreOverrideCursor();
    ZelDialogs::information(this, QStringLiteral("Generate Map"), QStringLiteral("Map successfully generated "));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ui.btnSaveMapToFile->setEnabled(true);
    ui.txtDefectPixelCount->setText(QString::number(m_map.size()));
    ui.btnUploadMapToCam->setEnabled(true);
}

void ZelDefectPixelCorrection::on_btnSaveMapToFile_clicked()
{
    if (exportMap())
        ZelDialogs::information(this, QStringLiteral("Save Map"), QStringLiteral("save to file  successful!"));
    else
        ZelDialogs::critical(this, QStringLiteral("Save Map"), QStringLiteral("save to file failed!"));
}

void ZelDefectPixelCorrection::on_btnUploadMapToCam_clicked()
{
    if (m_access.mayUpload(this))
        uploadMap();
}

// ---- images ----

void ZelDefectPixelCorrection::addImageFiles(int set)
{
    const QStringList paths = ZelDialogs::getOpenFileNames(nullptr, QStringLiteral("image paths"), m_access.folder(),
                                                           QStringLiteral("bmp (*.bmp)"));
    if (paths.isEmpty())
        return;
    QListWidget* list = listOf(set);
    for (const QString& path : paths) {
        if (!list->findItems(path, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty())
            continue;
        if (addImage(path, set))
            list->addItem(path);
    }
    m_access.rememberFolder(paths.first());
}

bool ZelDefectPixelCorrection::addImage(const QString& path, int set)
{
    const std::optional<FileContent> content = readFile(path);
    QImage image;
    if (content)
        image.loadFromData(content->bytes);
    if (image.isNull()) {
        ZelDialogs::critical(this, QStringLiteral("Load Image"), path + QStringLiteral("Failed!"));
        return false;
    }
    if (image.format() != QImage::Format_Indexed8 && image.format() != QImage::Format_RGB32) {
        ZelDialogs::information(this, QStringLiteral("Load Image"), path + QStringLiteral(": Image Format Not Supported!"));
        return false;
    }
    if (m_width != 0 && m_height != 0 && (image.width() != m_width || image.height() != m_height)) {
        ZelDialogs::information(this, QStringLiteral("Load Image:"), path + QStringLiteral(": incompatible image!"));
        return false;
    }
    ZelDefectImageSet& images = setOf(set);
    if (images.number() >= ZelDefectImageSet::maxImages) {
        ZelDialogs::information(this, QStringLiteral("Load Image"),
                                path + QStringLiteral(": a mean holds at most %1 images!").arg(ZelDefectImageSet::maxImages));
        return false;
    }
    m_width = image.width();
    m_height = image.height();

    ZelPixmapLabel* label = labelOf(set);
    QImage mean = label->image();
    if (mean.isNull())
        mean = image.convertToFormat(QImage::Format_Grayscale8);
    if (!images.accumulate(mean, image, +1)) {
        ZelDialogs::critical(this, QStringLiteral("Load Image"), QStringLiteral("Out of memory!"));
        return false;
    }
    label->setImage(mean);
    m_fileDigests[set - 1].insert(path, content->digest);
    return true;
}

void ZelDefectPixelCorrection::removeImage(const QString& path, int set)
{
    const QByteArray added = m_fileDigests[set - 1].take(path);
    const std::optional<FileContent> content = readFile(path);
    // A file changed since it was added was never part of the mean.
    if (!content || content->digest != added)
        return;
    QImage image;
    if (!image.loadFromData(content->bytes))
        return;
    if ((m_width != 0 || m_height != 0) && (image.width() != m_width || image.height() != m_height))
        return;
    ZelPixmapLabel* label = labelOf(set);
    QImage mean = label->image();
    setOf(set).accumulate(mean, image, -1);
    label->setImage(mean);
}

void ZelDefectPixelCorrection::removeSelectedImages(int set)
{
    QListWidget* list = listOf(set);
    const QList<QListWidgetItem*> selected = list->selectedItems();
    for (QListWidgetItem* item : selected) {
        removeImage(item->text(), set);
        delete item;
    }
}

void ZelDefectPixelCorrection::deleteImages(int set)
{
    removeSelectedImages(set);
    QListWidget* list = listOf(set);
    if (list->selectedItems().isEmpty())
        deleteOf(set)->setEnabled(false);
    if (list->count() > 0)
        return;
    setOf(set).reset();
    m_fileDigests[set - 1].clear();
    labelOf(set)->setImage(QImage());
    labelOf(set)->clear();
    if (listOf(set == 1 ? 2 : 1)->count() == 0)
        m_width = m_height = 0;
}

void ZelDefectPixelCorrection::itemPressed(int set, QListWidgetItem* item)
{
    deleteOf(set)->setEnabled(true);
    listOf(set)->setCurrentItem(item);
}

void ZelDefectPixelCorrection::on_btnAddDarkImage_clicked()
{
    ZelWaitCursor wait;
    addImageFiles(1);
}

void ZelDefectPixelCorrection::on_btnAddBrightImage_clicked()
{
    ZelWaitCursor wait;
    addImageFiles(2);
}

void ZelDefectPixelCorrection::on_btnDeleteDarkImage_clicked() { deleteImages(1); }
void ZelDefectPixelCorrection::on_btnDeleteBrightImage_clicked() { deleteImages(2); }
void ZelDefectPixelCorrection::on_listDarkImagePath_itemPressed(QListWidgetItem* item) { itemPressed(1, item); }
void ZelDefectPixelCorrection::on_listBrightImagePath_itemPressed(QListWidgetItem* item) { itemPressed(2, item); }

void ZelDefectPixelCorrection::on_txtAbsoluteThreshold_editingFinished()
{
    applyThreshold(ui.txtAbsoluteThreshold, m_dark.absoluteThreshold, 255);
}

void ZelDefectPixelCorrection::on_txtRelativeThreshold_editingFinished()
{
    applyThreshold(ui.txtRelativeThreshold, m_bright.relativeThreshold, 100);
}
