// The help's key tables against the menu table the menu window is built
// from: every key the Windows and Help menus and the Virtual Morvelant's File
// menu carry is in the help with its item's caption, and the help names no
// key the menus do not carry. A key added, moved or renamed in the menus
// fails here until the help says so.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QString>

#include <map>

#include "shell/MenuTable.h"

namespace morvelant {
namespace {

using KeyTable = std::map<QString, QString>;  // key text ("Shift+F1") -> caption

// The caption as the menu shows it: no mnemonic marks, no "* " in front.
QString Shown(const char* caption) {
    QString text = QString::fromLatin1(caption);
    if (text.startsWith(QLatin1String("* "))) text.remove(0, 2);
    text.replace(QLatin1String("&&"), QLatin1String("\x01"));
    text.remove(u'&');
    text.replace(QLatin1String("\x01"), QLatin1String("&"));
    return text;
}

// The tables of the help's "Keys" section by their second column's heading.
std::map<QString, KeyTable> HelpKeyTables() {
    QFile file(QStringLiteral(MORVELANT_SOURCE_DIR "/doc/EditorHelp.html"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QString html = QString::fromUtf8(file.readAll());
    const qsizetype keys = html.indexOf(QLatin1String("<h2 id=\"keys\">"));
    EXPECT_GE(keys, 0);
    html = html.mid(keys);
    html.replace(QLatin1String("&amp;"), QLatin1String("&"));
    html.replace(QLatin1String("&#39;"), QLatin1String("'"));
    std::map<QString, KeyTable> tables;
    static const QRegularExpression table(QStringLiteral("<table>(.*?)</table>"),
                                          QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression heading(QStringLiteral("<tr><th>Key</th><th>(.*?)</th></tr>"));
    static const QRegularExpression row(QStringLiteral("<tr><td>(.*?)</td><td>(.*?)</td></tr>"));
    static const QRegularExpression kbd(QStringLiteral("</kbd>\\+<kbd>"));
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    static const QRegularExpression aside(QStringLiteral("\\s*\\(.*\\)$"));
    for (auto t = table.globalMatch(html); t.hasNext();) {
        const QString body = t.next().captured(1);
        const QString title = heading.match(body).captured(1);
        KeyTable& rows = tables[title];
        for (auto r = row.globalMatch(body); r.hasNext();) {
            const auto m = r.next();
            QString key = m.captured(1);
            key.replace(kbd, QStringLiteral("+"));
            key.remove(tags);
            QString caption = m.captured(2).remove(tags).remove(aside);
            EXPECT_TRUE(rows.emplace(key, caption).second) << key.toStdString() << " twice in " << title.toStdString();
        }
    }
    return tables;
}

// The keys of the items of `menus` in the menu table, with their captions.
KeyTable MenuKeys(std::initializer_list<std::string_view> menus) {
    KeyTable keys;
    for (const MenuItemSpec& item : MainMenuItems())
        for (std::string_view menu : menus)
            if (item.parent != nullptr && menu == item.parent && item.shortcut != nullptr && *item.shortcut != 0)
                keys.emplace(QString::fromLatin1(item.shortcut), Shown(item.caption));
    return keys;
}

TEST(HelpKeys, TheHelpsKeyTablesAreTheMenuTablesKeys) {
    const std::map<QString, KeyTable> help = HelpKeyTables();
    KeyTable windows = MenuKeys({"MainFormWindowsMenu", "MainFormHelpMenu"});
    ASSERT_TRUE(windows.count(QStringLiteral("F1")));
    windows[QStringLiteral("F1")] = QStringLiteral("this help");
    const struct {
        const char* heading;
        KeyTable menu;
    } tables[] = {
        {"Window", windows},
        {"In the Virtual Morvelant's File menu", MenuKeys({"MainFormFileMenu"})},
    };
    for (const auto& t : tables) {
        SCOPED_TRACE(t.heading);
        const auto found = help.find(QString::fromLatin1(t.heading));
        ASSERT_NE(found, help.end());
        for (const auto& [key, caption] : t.menu) {
            const auto row = found->second.find(key);
            if (row == found->second.end()) {
                ADD_FAILURE() << key.toStdString() << " (" << caption.toStdString() << ") is not in the help";
                continue;
            }
            EXPECT_EQ(row->second, caption) << key.toStdString();
        }
        for (const auto& [key, caption] : found->second)
            EXPECT_TRUE(t.menu.count(key)) << key.toStdString() << " (" << caption.toStdString()
                                           << ") is in the help but in no menu";
    }
}

}  // namespace
}  // namespace morvelant
