#include "ZelDialogs.h"

#include <gtest/gtest.h>

#include <QApplication>

TEST(ZelDialogsScript, RecordsMessagesAndAnswersFromItsQueue)
{
    ZelDialogs::Script script;
    script.answer(QMessageBox::No);

    EXPECT_EQ(ZelDialogs::question(nullptr, "Reload", "Are you sure?"), QMessageBox::No);
    // Queue empty: a box answers its default button, else Ok when it has one.
    EXPECT_EQ(ZelDialogs::question(nullptr, "Reload", "Again?", QMessageBox::Yes | QMessageBox::No,
                                   QMessageBox::Yes),
              QMessageBox::Yes);
    EXPECT_EQ(ZelDialogs::critical(nullptr, "Save Image", "Save Failed!"), QMessageBox::Ok);
    EXPECT_EQ(ZelDialogs::question(nullptr, QString(), "No default"), QMessageBox::NoButton);

    const QList<ZelDialogs::Request> requests = script.requests();
    ASSERT_EQ(requests.size(), 4);
    EXPECT_EQ(requests[0].kind, ZelDialogs::Kind::Message);
    EXPECT_EQ(requests[0].icon, QMessageBox::Question);
    EXPECT_EQ(requests[0].title, "Reload");
    EXPECT_EQ(requests[0].text, "Are you sure?");
    EXPECT_EQ(requests[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_FALSE(requests[0].hasParent);
    EXPECT_EQ(requests[2].icon, QMessageBox::Critical);
    EXPECT_EQ(requests[2].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(script.last().text, "No default");
}

TEST(ZelDialogsScript, AnswersFileDialogs)
{
    ZelDialogs::Script script;
    script.answer(QStringLiteral("/tmp/image.png"));
    script.answer(QStringList({"/tmp/a.xml", "/tmp/b.xml"}));
    script.answer(QStringLiteral("/tmp/images"));

    EXPECT_EQ(ZelDialogs::getSaveFileName(nullptr, "Save image", "/tmp", "PNG (*.PNG)"), "/tmp/image.png");
    EXPECT_EQ(ZelDialogs::getOpenFileNames(nullptr, "Import", "/tmp", "xml (*.xml)"),
              QStringList({"/tmp/a.xml", "/tmp/b.xml"}));
    EXPECT_EQ(ZelDialogs::getExistingDirectory(nullptr, "Open Directory", "/tmp"), "/tmp/images");
    // Nothing queued: the dialog was cancelled.
    EXPECT_TRUE(ZelDialogs::getOpenFileName(nullptr, "Load Settings", "/tmp", "txt (*.txt)").isNull());

    const QList<ZelDialogs::Request> requests = script.requests();
    ASSERT_EQ(requests.size(), 4);
    EXPECT_EQ(requests[0].kind, ZelDialogs::Kind::SaveFileName);
    EXPECT_EQ(requests[0].title, "Save image");
    EXPECT_EQ(requests[0].dir, "/tmp");
    EXPECT_EQ(requests[0].filter, "PNG (*.PNG)");
    EXPECT_EQ(requests[1].kind, ZelDialogs::Kind::OpenFileNames);
    EXPECT_EQ(requests[2].kind, ZelDialogs::Kind::ExistingDirectory);
    EXPECT_TRUE(requests[2].options.testFlag(QFileDialog::ShowDirsOnly));
    EXPECT_EQ(requests[3].kind, ZelDialogs::Kind::OpenFileName);
    EXPECT_EQ(requests[3].title, "Load Settings");
}

TEST(ZelDialogsScript, AnswersColourDialogs)
{
    ZelDialogs::Script script;
    script.answer(QColor(Qt::red));
    EXPECT_EQ(ZelDialogs::getColor(), QColor(Qt::red));
    // Nothing queued: cancelled, an invalid colour.
    EXPECT_FALSE(ZelDialogs::getColor(Qt::blue).isValid());
    ASSERT_EQ(script.count(), 2);
    EXPECT_EQ(script.last().kind, ZelDialogs::Kind::Color);
    EXPECT_FALSE(script.last().hasParent);
}

TEST(ZelDialogsScript, NewestScriptAnswers)
{
    ZelDialogs::Script outer;
    {
        ZelDialogs::Script inner;
        ZelDialogs::information(nullptr, "Inner", "one");
        EXPECT_EQ(inner.count(), 1);
        EXPECT_EQ(outer.count(), 0);
        inner.clear();
        EXPECT_EQ(inner.count(), 0);
    }
    ZelDialogs::warning(nullptr, "Outer", "two");
    ASSERT_EQ(outer.count(), 1);
    EXPECT_EQ(outer.last().icon, QMessageBox::Warning);
    EXPECT_EQ(outer.last().title, "Outer");
}

TEST(ZelDialogsOffscreen, UnscriptedDialogDoesNotHang)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "core_ZelDialogs_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    ASSERT_EQ(app->platformName(), "offscreen");

    EXPECT_EQ(ZelDialogs::question(nullptr, "Upload", "Store?", QMessageBox::Yes | QMessageBox::No, QMessageBox::No),
              QMessageBox::No);
    EXPECT_TRUE(ZelDialogs::getOpenFileName(nullptr, "Import Map", "/tmp", "txt (*.txt)").isNull());
    EXPECT_FALSE(ZelDialogs::getColor().isValid());
}

TEST(ZelDialogsSaveName, TakesTheSuffixOfTheSelectedFilter)
{
    const QString images = QStringLiteral("BMP (*.BMP);;PNG (*.PNG);;RAW (*.RAW)");
    const struct {
        const char* typed;
        const char* selected;
        const char* expected;
    } cases[] = {
        {"/tmp/shot", "", "/tmp/shot.BMP"},
        {"/tmp/shot", "PNG (*.PNG)", "/tmp/shot.PNG"},
        {"/tmp/shot.png", "RAW (*.RAW)", "/tmp/shot.png"},
        {"/tmp/v1.2/shot", "", "/tmp/v1.2/shot.BMP"},
        {"/tmp/Bild äö", "", "/tmp/Bild äö.BMP"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ZelDialogs::withFilterSuffix(QString::fromUtf8(c.typed), images, QString::fromUtf8(c.selected)),
                  QString::fromUtf8(c.expected))
            << c.typed << " / " << c.selected;
    }
    // A filter without a plain suffix adds nothing.
    EXPECT_EQ(ZelDialogs::withFilterSuffix("/tmp/any", "All (*)", QString()), "/tmp/any");

    // A scripted answer goes through the same rule.
    ZelDialogs::Script script;
    script.answer(QStringLiteral("/tmp/settings"));
    EXPECT_EQ(ZelDialogs::getSaveFileName(nullptr, "Save Settings", "/tmp", "txt (*.txt)"), "/tmp/settings.txt");
    EXPECT_TRUE(ZelDialogs::getSaveFileName(nullptr, "Save Settings", "/tmp", "txt (*.txt)").isNull());
}
