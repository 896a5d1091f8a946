#pragma once

#include <QStringList>

class QCompleter;
class QLineEdit;
class QObject;

// The process-wide list of known feature names the name fields complete from.
const QStringList& knownFeatureNameList();

// Gives the line edit a completer (parent: owner) that offers every name
// containing the typed text, without regard to case, in a popup.
QCompleter* attachFeatureNameCompleter(QLineEdit* edit, const QStringList& names, QObject* owner);
