// Where the settings file and the jingle folder are looked up: TAVRELA_HOME, then the
// executable's folder when it holds the settings file, then the machine's folder.
#include "program_folder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tavrela {
namespace {

TEST(ProgramFolder, ChosenInItsOrder) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QDir dir(root.path());
    ASSERT_TRUE(dir.mkpath(QStringLiteral("host/bin")) && dir.mkpath(QStringLiteral("usr/bin")) &&
                dir.mkpath(QStringLiteral("home")) && dir.mkpath(QStringLiteral("etc/tavrela")) &&
                dir.mkpath(QStringLiteral("dirbin/BaseZelvo.ini")));
    QFile settings(dir.filePath(QStringLiteral("host/bin/BaseZelvo.ini")));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[BANCO]\nCAMINHO=/srv/z.fdb\n");
    settings.close();

    const QString hostBin = dir.filePath(QStringLiteral("host/bin"));
    const QString usrBin = dir.filePath(QStringLiteral("usr/bin"));
    const QString system = dir.filePath(QStringLiteral("etc/tavrela"));
    const QString home = dir.filePath(QStringLiteral("home"));
    struct Case {
        const char* name;
        QString home;
        QString executableFolder;
        QString expected;
    };
    const Case cases[] = {
        {"home_wins_over_a_settings_file", home, hostBin, home},
        {"home_wins_over_the_system", home, usrBin, home},
        {"home_made_absolute_and_clean", QStringLiteral("/srv//playout/"), usrBin,
         QStringLiteral("/srv/playout")},
        {"executable_folder_with_settings", {}, hostBin, hostBin},
        {"executable_folder_with_settings_and_trailing_slash", {}, hostBin + "/", hostBin},
        {"installed_without_settings", {}, usrBin, system},
        {"a_folder_named_like_the_settings_is_not_one", {},
         dir.filePath(QStringLiteral("dirbin")), system},
        {"missing_executable_folder", {}, dir.filePath(QStringLiteral("gone")), system},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(programFolderFrom(c.home, c.executableFolder, system), c.expected) << c.name;
    }
}

} // namespace
} // namespace tavrela
