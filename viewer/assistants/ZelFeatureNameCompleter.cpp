#include "ZelFeatureNameCompleter.h"

#include "ZelKnownFeatureNames.h"

#include <QCompleter>
#include <QLineEdit>
#include <QStringListModel>

const QStringList& knownFeatureNameList()
{
    static const QStringList names = allKnownFeatureNames();
    return names;
}

QCompleter* attachFeatureNameCompleter(QLineEdit* edit, const QStringList& names, QObject* owner)
{
    auto* completer = new QCompleter(owner);
    completer->setModel(new QStringListModel(names, completer));
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setFilterMode(Qt::MatchContains);
    edit->setCompleter(completer);
    return completer;
}
