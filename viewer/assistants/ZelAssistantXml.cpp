#include "ZelAssistantXml.h"

#include <QDomDocument>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>

QDomElement createAssistantDocument(QDomDocument& document, const QString& rootName)
{
    document.appendChild(
        document.createProcessingInstruction("xml", "version=\"1.0\" encoding=\"UTF-8\""));
    QDomElement root = document.createElement(rootName);
    root.setAttribute("xmlns:xsd", "http://www.w3.org/2001/XMLSchema");
    root.setAttribute("xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance");
    document.appendChild(root);
    return root;
}

bool saveDomDocument(const QDomDocument& document, const QString& fileName, QString* errorString)
{
    auto fail = [errorString](const QString& reason) {
        if (errorString)
            *errorString = reason;
        return false;
    };
    if (document.isNull())
        return fail(QStringLiteral("The document is empty."));

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return fail(file.errorString());

    QTextStream stream(&file);
    document.save(stream, 4, QDomNode::EncodingFromDocument);
    stream.flush();
    if (stream.status() != QTextStream::Ok || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

bool loadAssistantDocument(const QString& fileName, const QString& rootName, QDomDocument& document)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QDomDocument parsed;
    if (!parsed.setContent(&file, false) || parsed.documentElement().tagName() != rootName)
        return false;
    document = parsed;
    return true;
}
