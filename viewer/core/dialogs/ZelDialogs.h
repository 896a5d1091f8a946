#ifndef ZELDIALOGS_H
#define ZELDIALOGS_H

#include <QColor>
#include <QFileDialog>
#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

// Every message box and file dialog of the viewer goes through this class.
// The program shows the real Qt dialogs; a test installs a ZelDialogs::Script,
// which answers them instead and records what was asked.
class ZelDialogs
{
public:
    enum class Kind {
        Message,            // a message box of any icon
        OpenFileName,
        OpenFileNames,
        SaveFileName,
        ExistingDirectory,
        Color
    };

    // One request as the caller made it.
    struct Request {
        Kind kind = Kind::Message;
        QMessageBox::Icon icon = QMessageBox::NoIcon;   // message boxes only
        bool hasParent = false;
        QString title;                                  // title or caption
        QString text;                                   // message boxes only
        QMessageBox::StandardButtons buttons = QMessageBox::NoButton;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QString dir;                                    // file dialogs only
        QString filter;                                 // file dialogs only
        QFileDialog::Options options;                   // file dialogs only
    };

    // While alive, answers every dialog from its queue instead of showing it.
    // An answer is a QMessageBox::StandardButton for a message box, a QString
    // for a file or folder dialog, a QStringList for a multi-file dialog and a
    // QColor for a colour dialog (an invalid colour: cancelled).
    // With an empty queue a message box answers its default button (or Ok
    // when it has one, else NoButton) and a file dialog answers as cancelled.
    // Scripts nest: the newest one answers. On the offscreen platform a
    // dialog without a script gets the default answer and a warning.
    class Script
    {
    public:
        Script();
        ~Script();
        Script(const Script&) = delete;
        Script& operator=(const Script&) = delete;

        void answer(const QVariant& value);
        // Runs while each dialog this script answers is open, as the time
        // the operator spends in it; it may run an event loop as the dialog
        // would.
        void whileOpen(std::function<void(const Request&)> action);
        QList<Request> requests() const;
        int count() const;
        Request last() const;
        void clear();

    private:
        friend class ZelDialogs;
        QVariant take(const Request& request);

        struct Data;
        Data* d;
    };

    static QMessageBox::StandardButton message(QMessageBox::Icon icon, QWidget* parent,
                                               const QString& title, const QString& text,
                                               QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                               QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static QMessageBox::StandardButton information(QWidget* parent, const QString& title, const QString& text,
                                                   QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                                   QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text,
                                               QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                               QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static QMessageBox::StandardButton critical(QWidget* parent, const QString& title, const QString& text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                                QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
                                                QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir = QString(),
                                   const QString& filter = QString(), QString* selectedFilter = nullptr,
                                   QFileDialog::Options options = QFileDialog::Options());
    static QStringList getOpenFileNames(QWidget* parent, const QString& caption, const QString& dir = QString(),
                                        const QString& filter = QString(), QString* selectedFilter = nullptr,
                                        QFileDialog::Options options = QFileDialog::Options());
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir = QString(),
                                   const QString& filter = QString(), QString* selectedFilter = nullptr,
                                   QFileDialog::Options options = QFileDialog::Options());
    static QString getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir = QString(),
                                        QFileDialog::Options options = QFileDialog::ShowDirsOnly);

    // A colour chosen in a modal colour dialog; an invalid colour when the
    // operator cancels.
    static QColor getColor(const QColor& initial = Qt::white, QWidget* parent = nullptr,
                           const QString& title = QString());

    // A name typed without a suffix gets the first suffix of the selected
    // filter (the first filter when none is selected), as the save dialog
    // does on Windows: "shot" with "BMP (*.BMP)" becomes "shot.BMP".
    static QString withFilterSuffix(const QString& name, const QString& filter, const QString& selectedFilter);

    // Dialogs open now (shown, or being answered by a script). Each runs an
    // event loop of its own while its caller waits.
    static int openCount();

private:
    // True when a script (or the offscreen platform) answered; the answer is
    // then in *answer.
    static bool scripted(const Request& request, QVariant* answer);
    static QVariant defaultAnswer(const Request& request);
    static Request fileRequest(Kind kind, QWidget* parent, const QString& caption, const QString& dir,
                               const QString& filter, QFileDialog::Options options);
};

#endif // ZELDIALOGS_H
