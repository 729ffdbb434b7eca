// Each program's dialog template lives in each of its language modules, one copy per language.
// The copies must differ only in their texts: a control moved, added or renamed in one copy
// alone would give one language a different window.
#include <gtest/gtest.h>

#include <algorithm>

#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace {

// The template's lines with every text emptied; empty when the file cannot be read.
QStringList LayoutOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QString xml = QString::fromUtf8(file.readAll());
    static const QRegularExpression text(QStringLiteral("<string([^>]*)>[^<]*</string>"));
    xml.replace(text, QStringLiteral("<string\\1></string>"));
    return xml.split(QLatin1Char('\n'));
}

void ExpectSameLayout(const char* first, const char* second) {
    const QString folder = QStringLiteral(TAVRIN_LANG_SOURCE_DIR);
    const QStringList a = LayoutOf(folder + "/" + first + "/dialog102.ui");
    const QStringList b = LayoutOf(folder + "/" + second + "/dialog102.ui");
    ASSERT_FALSE(a.isEmpty()) << first;
    ASSERT_FALSE(b.isEmpty()) << second;
    for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
        ASSERT_EQ(a[i].toStdString(), b[i].toStdString())
            << first << " and " << second << " differ beyond their texts at line " << i + 1;
    EXPECT_EQ(a.size(), b.size()) << first << " and " << second;
}

TEST(DialogTemplates, TheLanguagesOfAProgramDifferOnlyInTheirTexts) {
    ExpectSameLayout("english", "chinese");
    ExpectSameLayout("Morvel_en", "Morvel_zh");
}

TEST(DialogTemplates, TextsAreEmptiedButAttributesAndLayoutKept) {
    // What the comparison sees of a template must still tell layouts apart.
    const QString en = QStringLiteral(TAVRIN_LANG_SOURCE_DIR) + "/english/dialog102.ui";
    const QStringList layout = LayoutOf(en);
    ASSERT_FALSE(layout.isEmpty());
    EXPECT_FALSE(layout.join('\n').contains(QStringLiteral("Package:")));
    EXPECT_TRUE(layout.join('\n').contains(QStringLiteral("name=\"1001\"")));
}

}  // namespace
