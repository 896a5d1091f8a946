#pragma once

#include <QDomDocument>
#include <QDomElement>
#include <QString>

// Fills an empty document with the shape every assistant file shares: the
// XML declaration (version 1.0, UTF-8) and a root element of the given name
// carrying the XML Schema namespace attributes. Returns the root.
QDomElement createAssistantDocument(QDomDocument& document, const QString& rootName);

// Writes the document to the file, indented by 4, in the encoding its
// declaration names. The file is replaced atomically: on any failure the
// previous content stays and false is returned, with the reason in
// *errorString when given.
bool saveDomDocument(const QDomDocument& document, const QString& fileName,
                     QString* errorString = nullptr);

// Reads an assistant file into `document` when it is well-formed XML whose
// root element has the given name; false, and `document` untouched, otherwise.
bool loadAssistantDocument(const QString& fileName, const QString& rootName, QDomDocument& document);
