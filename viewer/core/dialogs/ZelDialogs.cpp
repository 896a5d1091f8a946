#include "ZelDialogs.h"

#include <QColorDialog>
#include <QFileInfo>
#include <QRegularExpression>

#include <QGuiApplication>
#include <QQueue>

#include <atomic>
#include <mutex>
#include <vector>

namespace {

std::mutex scriptMutex;
std::vector<ZelDialogs::Script*> scripts; // newest last
std::atomic<int> openDialogs{0};

// Counts one dialog as open for its lifetime.
class OpenDialog
{
public:
    OpenDialog() { ++openDialogs; }
    ~OpenDialog() { --openDialogs; }
    OpenDialog(const OpenDialog&) = delete;
    OpenDialog& operator=(const OpenDialog&) = delete;
};

} // namespace

struct ZelDialogs::Script::Data {
    QQueue<QVariant> answers;
    QList<Request> requests;
    std::function<void(const Request&)> whileOpen;
};

ZelDialogs::Script::Script() : d(new Data)
{
    std::lock_guard<std::mutex> lock(scriptMutex);
    scripts.push_back(this);
}

ZelDialogs::Script::~Script()
{
    {
        std::lock_guard<std::mutex> lock(scriptMutex);
        for (auto it = scripts.begin(); it != scripts.end(); ++it) {
            if (*it == this) {
                scripts.erase(it);
                break;
            }
        }
    }
    delete d;
}

void ZelDialogs::Script::answer(const QVariant& value)
{
    std::lock_guard<std::mutex> lock(scriptMutex);
    d->answers.enqueue(value);
}

void ZelDialogs::Script::whileOpen(std::function<void(const Request&)> action)
{
    std::lock_guard<std::mutex> lock(scriptMutex);
    d->whileOpen = std::move(action);
}

QList<ZelDialogs::Request> ZelDialogs::Script::requests() const
{
    std::lock_guard<std::mutex> lock(scriptMutex);
    return d->requests;
}

int ZelDialogs::Script::count() const
{
    std::lock_guard<std::mutex> lock(scriptMutex);
    return d->requests.size();
}

ZelDialogs::Request ZelDialogs::Script::last() const
{
    std::lock_guard<std::mutex> lock(scriptMutex);
    return d->requests.isEmpty() ? Request() : d->requests.last();
}

void ZelDialogs::Script::clear()
{
    std::lock_guard<std::mutex> lock(scriptMutex);
    d->requests.clear();
    d->answers.clear();
}

// Called with scriptMutex held.
QVariant ZelDialogs::Script::take(const Request& request)
{
    d->requests.append(request);
    if (!d->answers.isEmpty())
        return d->answers.dequeue();
    return defaultAnswer(request);
}

QVariant ZelDialogs::defaultAnswer(const Request& request)
{
    switch (request.kind) {
    case Kind::Message:
        if (request.defaultButton != QMessageBox::NoButton)
            return QVariant::fromValue(int(request.defaultButton));
        return QVariant::fromValue(int(request.buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok
                                                                                 : QMessageBox::NoButton));
    case Kind::OpenFileNames:
        return QStringList();
    case Kind::Color:
        return QColor();
    default:
        return QString();
    }
}

int ZelDialogs::openCount()
{
    return openDialogs;
}

bool ZelDialogs::scripted(const Request& request, QVariant* answer)
{
    std::function<void(const Request&)> whileOpen;
    bool answered = false;
    {
        std::lock_guard<std::mutex> lock(scriptMutex);
        if (!scripts.empty()) {
            *answer = scripts.back()->take(request);
            whileOpen = scripts.back()->d->whileOpen;
            answered = true;
        }
    }
    if (answered) {
        // Outside the lock: the action may lead to further dialogs.
        if (whileOpen)
            whileOpen(request);
        return true;
    }
    // Nobody can answer a modal dialog on the offscreen platform: a test that
    // forgot its script gets the default answer instead of hanging.
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        qWarning("ZelDialogs: unanswered dialog \"%s\" on the offscreen platform",
                 qPrintable(request.text.isEmpty() ? request.title : request.text));
        *answer = defaultAnswer(request);
        return true;
    }
    return false;
}

QMessageBox::StandardButton ZelDialogs::message(QMessageBox::Icon icon, QWidget* parent, const QString& title,
                                                const QString& text, QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton)
{
    Request request;
    request.kind = Kind::Message;
    request.icon = icon;
    request.hasParent = parent != nullptr;
    request.title = title;
    request.text = text;
    request.buttons = buttons;
    request.defaultButton = defaultButton;
    const OpenDialog open;
    QVariant answer;
    if (scripted(request, &answer))
        return QMessageBox::StandardButton(answer.toInt());

    QMessageBox box(icon, title, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    box.exec();
    // NoButton when the box was closed without a button.
    return box.standardButton(box.clickedButton());
}

QMessageBox::StandardButton ZelDialogs::information(QWidget* parent, const QString& title, const QString& text,
                                                    QMessageBox::StandardButtons buttons,
                                                    QMessageBox::StandardButton defaultButton)
{
    return message(QMessageBox::Information, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton ZelDialogs::warning(QWidget* parent, const QString& title, const QString& text,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton)
{
    return message(QMessageBox::Warning, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton ZelDialogs::critical(QWidget* parent, const QString& title, const QString& text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton)
{
    return message(QMessageBox::Critical, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton ZelDialogs::question(QWidget* parent, const QString& title, const QString& text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton)
{
    return message(QMessageBox::Question, parent, title, text, buttons, defaultButton);
}

ZelDialogs::Request ZelDialogs::fileRequest(Kind kind, QWidget* parent, const QString& caption, const QString& dir,
                                            const QString& filter, QFileDialog::Options options)
{
    Request request;
    request.kind = kind;
    request.hasParent = parent != nullptr;
    request.title = caption;
    request.dir = dir;
    request.filter = filter;
    request.options = options;
    return request;
}

QString ZelDialogs::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter, QString* selectedFilter, QFileDialog::Options options)
{
    const OpenDialog open;
    QVariant answer;
    if (scripted(fileRequest(Kind::OpenFileName, parent, caption, dir, filter, options), &answer))
        return answer.toString();
    return QFileDialog::getOpenFileName(parent, caption, dir, filter, selectedFilter, options);
}

QStringList ZelDialogs::getOpenFileNames(QWidget* parent, const QString& caption, const QString& dir,
                                         const QString& filter, QString* selectedFilter,
                                         QFileDialog::Options options)
{
    const OpenDialog open;
    QVariant answer;
    if (scripted(fileRequest(Kind::OpenFileNames, parent, caption, dir, filter, options), &answer))
        return answer.toStringList();
    return QFileDialog::getOpenFileNames(parent, caption, dir, filter, selectedFilter, options);
}

QString ZelDialogs::withFilterSuffix(const QString& name, const QString& filter, const QString& selectedFilter)
{
    if (name.isEmpty() || name.endsWith(QLatin1Char('.')) || !QFileInfo(name).suffix().isEmpty())
        return name;
    const QString chosen = selectedFilter.isEmpty() ? filter.section(QStringLiteral(";;"), 0, 0) : selectedFilter;
    // The first pattern of the form "*.suffix".
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([^\\s*?;()]+)"));
    const QRegularExpressionMatch match = pattern.match(chosen);
    return match.hasMatch() ? name + QLatin1Char('.') + match.captured(1) : name;
}

QString ZelDialogs::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter, QString* selectedFilter, QFileDialog::Options options)
{
    const OpenDialog open;
    QVariant answer;
    QString chosenFilter = selectedFilter ? *selectedFilter : QString();
    if (scripted(fileRequest(Kind::SaveFileName, parent, caption, dir, filter, options), &answer))
        return withFilterSuffix(answer.toString(), filter, chosenFilter);
    const QString name = QFileDialog::getSaveFileName(parent, caption, dir, filter, &chosenFilter, options);
    if (selectedFilter)
        *selectedFilter = chosenFilter;
    return withFilterSuffix(name, filter, chosenFilter);
}

QString ZelDialogs::getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir,
                                         QFileDialog::Options options)
{
    const OpenDialog open;
    QVariant answer;
    if (scripted(fileRequest(Kind::ExistingDirectory, parent, caption, dir, QString(), options), &answer))
        return answer.toString();
    return QFileDialog::getExistingDirectory(parent, caption, dir, options);
}

QColor ZelDialogs::getColor(const QColor& initial, QWidget* parent, const QString& title)
{
    Request request;
    request.kind = Kind::Color;
    request.hasParent = parent != nullptr;
    request.title = title;
    const OpenDialog open;
    QVariant answer;
    if (scripted(request, &answer))
        return answer.value<QColor>();
    return QColorDialog::getColor(initial, parent, title);
}
