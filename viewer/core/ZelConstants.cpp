#include "ZelConstants.h"

#include <QStringList>

#include <initializer_list>
#include <utility>

namespace {

// A rich-text document of paragraphs without margins, each a bold key
// followed by its explanation.
QString helpDocument(std::initializer_list<std::pair<const char*, const char*>> lines)
{
    QString html = QStringLiteral(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" \"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
        "<html><head><meta name=\"qrichtext\" content=\"1\" /><style type=\"text/css\">\n"
        "p, li { white-space: pre-wrap; }\n"
        "</style></head><body style=\" font-family:'MS Shell Dlg 2'; font-size:8pt; font-weight:400; "
        "font-style:normal;\">\n");
    QStringList paragraphs;
    for (const auto& line : lines) {
        paragraphs << QStringLiteral(
                          "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; "
                          "-qt-block-indent:0; text-indent:0px;\">"
                          "<span style=\" font-family:'Ubuntu'; font-size:11pt; font-weight:600;\">%1</span>"
                          "<span style=\" font-family:'Ubuntu'; font-size:11pt;\">%2</span></p>")
                          .arg(QLatin1String(line.first), QLatin1String(line.second));
    }
    html += paragraphs.join(QLatin1Char('\n'));
    html += QStringLiteral("</body></html>");
    return html;
}

} // namespace

const QString ZelConstants::HeaderSectionStyleSheet = QStringLiteral(
    "::section {background-color: #dddddd;padding: 10px;color: black;text-align: center;font-family: "
    "arial;font-size: bold 14px; }");

const QString ZelConstants::PointEditorHelpText = helpDocument({
    {"Ctrl + Left click: ", "Add point on cursor position."},
    {"Right click: ", "Launch context menu to add/remove points."},
    {"Delete key: ", "Remove selected point."},
    {"Ctrl + wheel++: ", "Zoom in."},
    {"Ctrl + wheel--: ", "Zoom out."},
});

const QString ZelConstants::LutHelpText = helpDocument({
    {"Ctrl + Left click: ", "Edit LUTValue on cursor X position."},
    {"Hold Shift + Left click: ", "Draw LUTValue on cursor position."},
    {"Ctrl + wheel++: ", "Zoom in."},
    {"Ctrl + wheel--: ", "Zoom out."},
});

const QString ZelConstants::ContextMenuStyleSheet = QStringLiteral(
    "QMenu { background-color: white; margin: 2px; }\n"
    "QMenu::item { padding: 2px 10px 2px 40px; width: 160px; height: 30px; background-color: transparent; "
    "spacing: 10px; }\n"
    "QMenu::item:selected { border-color: darkblue; background: rgba(53, 120, 191, 150); color:white; }");
