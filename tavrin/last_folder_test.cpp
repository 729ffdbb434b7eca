// The remembered package folder in a settings file of the test's own.
#include "tavrin/last_folder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "tavrin/browser_test_support.h"

namespace {

TEST(LastFolder, RemembersTheFolderOfAnExistingPackageAcrossInstances) {
    browser_test::TempFolder tmp;
    const QString settings = QString::fromStdString((tmp.Path() / "cfg/Tavrin.conf").string());
    browser_test::WriteFile(tmp.Path() / "pkgs/a_log_2016-09-01_2016-09-10.tar", "x");
    const QString pkg =
        QString::fromStdString((tmp.Path() / "pkgs/a_log_2016-09-01_2016-09-10.tar").string());

    auditor::CLastFolder first(settings);
    EXPECT_EQ(first.Folder(), "");
    EXPECT_FALSE(first.Remember(QString::fromStdString((tmp.Path() / "pkgs/none.tar").string())));
    EXPECT_EQ(first.Folder(), "");
    EXPECT_TRUE(first.Remember(pkg));
    EXPECT_EQ(auditor::CLastFolder(settings).Folder(),
              QString::fromStdString((tmp.Path() / "pkgs").string()));

    // A folder that has gone is not offered.
    std::filesystem::remove_all(tmp.Path() / "pkgs");
    EXPECT_EQ(auditor::CLastFolder(settings).Folder(), "");
}

TEST(LastFolder, DefaultFileFollowsTheUserConfigurationFolder) {
    browser_test::TempFolder tmp;
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(tmp.Str()));
    EXPECT_EQ(auditor::DefaultSettingsFile(),
              QString::fromStdString(tmp.Str()) + "/Tavrin/Tavrin.conf");
    if (old.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", old);
}

}  // namespace
