#ifndef SIMCALLLOG_H
#define SIMCALLLOG_H

// Reads the simulated SDK's call log: the feature writes and command
// executions in the order they were made.

#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace zeltest {

// One line per write of the log text: "<feature>=<value> <rc>" for value
// writes, "<feature>! <rc>" for executed commands. Only the features named
// are kept when a list is given.
inline QStringList featureWrites(const QString& log, const QStringList& features = QStringList())
{
    static const QRegularExpression line(
        QStringLiteral("^OrvFeature(SetValue\\w*|CommandExecute)\\(module=[^,]*, feature=\"([^\"]*)\""
                       "(?:, value=\"?([^\",]*)\"?)?.*\\) = (-?\\d+)$"));
    QStringList writes;
    for (const QString& text : log.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = line.match(text.trimmed());
        if (!m.hasMatch() || (!features.isEmpty() && !features.contains(m.captured(2))))
            continue;
        if (m.captured(1) == QLatin1String("CommandExecute"))
            writes << m.captured(2) + QStringLiteral("! ") + m.captured(4);
        else
            writes << m.captured(2) + QLatin1Char('=') + m.captured(3) + QLatin1Char(' ') + m.captured(4);
    }
    return writes;
}

} // namespace zeltest

#endif // SIMCALLLOG_H
