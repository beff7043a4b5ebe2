// The string grid model: cell storage, filter syntax, sorting, row mapping and copy text.
#include "grids/model/StringGridModel.h"
#include "support/QtPrinting.h"

#include <QCollator>

#include <gtest/gtest.h>

#include <random>

namespace {

// A grid with one fixed row; body rows hold the given texts in column 0.
TStringGridModel columnGrid(const QStringList& texts) {
    TStringGridModel model;
    model.setColCount(2);
    model.setRowCount(int(texts.size()) + 1);
    model.setFixedRowCount(1);
    model.setCell(0, 0, u"Header");
    for (int i = 0; i < texts.size(); ++i) {
        model.setCell(0, i + 1, texts[i]);
        model.setCell(1, i + 1, QString::number(i));
    }
    return model;
}

// The column-0 texts of the shown body rows.
QStringList shownTexts(const TStringGridModel& model) {
    QStringList out;
    for (int d = model.fixedRowCount(); d < model.displayRowCount(); ++d)
        out << model.cell(0, model.realRowIndex(d));
    return out;
}

QStringList filtered(const QStringList& texts, const QString& condition, bool caseSensitive = true) {
    TStringGridModel model = columnGrid(texts);
    model.addFilterCondition(0, condition, caseSensitive);
    model.setFilterActive(true);
    return shownTexts(model);
}

} // namespace

TEST(CellStringTable, EveryTextComesBackUnchangedAndEqualTextsShareAHandle) {
    const QStringList texts = {"",
                               "a",
                               "abcd",
                               "abcde",
                               "0",
                               "01",
                               "00000",
                               "0000A",
                               "1000C",
                               "FFFFFFF",
                               "FFFFFFFF",
                               "10000000",
                               "999999999",
                               "1000000000",
                               "12345a",
                               "1000c",
                               "\u00C4\u00D6",
                               "E",
                               "-",
                               " ",
                               "?",
                               "<container>",
                               "MSysDb",
                               "0123456"};
    TCellStringTable table;
    std::vector<TCellStringTable::Handle> handles;
    for (const QString& t : texts)
        handles.push_back(table.intern(t));
    QString withNul = QStringLiteral("ab");
    withNul.append(QChar(0));
    const auto nulHandle = table.intern(withNul);
    for (int i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(table.text(handles[i]), texts[i]);
        EXPECT_EQ(table.intern(QString(texts[i])), handles[i]) << texts[i].toStdString();
        TCellStringTable::InlineBuffer buffer;
        EXPECT_EQ(table.view(handles[i], buffer), texts[i]);
        for (int j = 0; j < i; ++j)
            EXPECT_NE(handles[i], handles[j]) << texts[i].toStdString();
    }
    EXPECT_EQ(table.text(nulHandle), withNul);
}

TEST(CellStringTable, CompactionKeepsUsedTextsAndDropsTheRest) {
    TStringGridModel model;
    model.setColCount(1);
    model.setRowCount(3);
    model.setCell(0, 0, u"kept name");
    model.setCell(0, 1, u"dropped name");
    model.setCell(0, 2, u"other kept");
    model.setCell(0, 1, u"x");
    const auto before = model.strings().internedCount();
    model.compactStrings();
    EXPECT_EQ(model.strings().internedCount(), before - 1);
    EXPECT_EQ(model.cell(0, 0), "kept name");
    EXPECT_EQ(model.cell(0, 1), "x");
    EXPECT_EQ(model.cell(0, 2), "other kept");
    model.setCell(0, 1, u"dropped name"); // interned again after compaction
    EXPECT_EQ(model.cell(0, 1), "dropped name");
}

TEST(CellStringTable, ColumnsKeepTheirTextsAsTheyOutgrowAndRegainShortCodes) {
    // Cells are coded in one byte up to 256 distinct texts of a column, two up to 65,536, then stored
    // as handles; a column cut back, or compacted, is coded again from what it holds.
    const int n = 70000;
    auto name = [](int r) { return QStringLiteral("name %1").arg(r); };
    TStringGridModel model;
    model.setColCount(2);
    model.setRowCount(n);
    for (int r = 0; r < n; ++r) {
        model.setCell(0, r, name(r));
        model.setCell(1, r, QString::number(r % 300));
    }
    for (int r : {0, 255, 256, 65535, 65536, n - 1}) {
        EXPECT_EQ(model.cell(0, r), name(r));
        EXPECT_EQ(model.cell(1, r), QString::number(r % 300));
    }
    // A row's cells copied from another, across codes of every width.
    model.setColCount(4);
    model.setCell(2, 3, u"one");
    model.copyRowCells(3, 4, 0, 9);
    EXPECT_EQ(model.cell(0, 4), name(3));
    EXPECT_EQ(model.cell(1, 4), "3");
    EXPECT_EQ(model.cell(2, 4), "one");
    EXPECT_EQ(model.cell(3, 4), "");
    model.setCell(0, 4, name(4));
    model.setCell(1, 4, u"4");
    model.setCell(2, 4, u"");
    model.setRowCount(300);
    model.setColCount(2);
    model.setCell(0, 7, u"x");
    model.compactStrings();
    EXPECT_EQ(model.strings().internedCount(), 1u + 299); // the empty text and the names left
    for (int r : {0, 6, 7, 299}) {
        EXPECT_EQ(model.cell(0, r), r == 7 ? QStringLiteral("x") : name(r));
        EXPECT_EQ(model.cell(1, r), QString::number(r));
    }
    model.setCell(0, 7, name(7));
    EXPECT_EQ(model.cell(0, 7), name(7));
}

TEST(StringGridModel, CellsOutsideTheGridAreRefused) {
    TStringGridModel model;
    model.setColCount(3);
    model.setRowCount(4);
    EXPECT_THROW(model.cell(3, 0), std::out_of_range);
    EXPECT_THROW(model.setCell(0, 4, u"x"), std::out_of_range);
    EXPECT_THROW(model.cell(-1, 0), std::out_of_range);
    EXPECT_THROW(model.realRowIndex(4), std::out_of_range);
    EXPECT_EQ(model.displayRowIndex(4), -1);
}

TEST(StringGridModel, ResizingAndClearingKeepOtherCells) {
    TStringGridModel model;
    model.setColCount(2);
    model.setRowCount(3);
    model.setCell(1, 2, u"kept");
    model.setCell(0, 0, u"header");
    model.setRowCount(5);
    model.setColCount(4);
    EXPECT_EQ(model.cell(1, 2), "kept");
    EXPECT_EQ(model.cell(3, 4), "");
    model.clearRows(1, 99);
    EXPECT_EQ(model.cell(0, 0), "header");
    EXPECT_EQ(model.cell(1, 2), "");
}

// ---- filter syntax -------------------------------------------------------------------------------

TEST(FilterSyntax, HideConditionsOfThePermissionGrid) {
    const QStringList accounts = {"admin",    "Engine", "Creator",  "engine",
                                  "Engineer", "",       "Creators", "Users"};
    EXPECT_EQ(filtered(accounts, "!Engine & !Creator"),
              QStringList({"admin", "engine", "Engineer", "", "Creators", "Users"}));
    const QStringList objects = {"MSysDb", "MSys", "msysObjects", "XMSys", "", "Orders", "MSysACEs"};
    EXPECT_EQ(filtered(objects, "!MSys*"), QStringList({"msysObjects", "XMSys", "", "Orders"}));
    const QStringList hex = {"00000", "0000", "000000", "10000", "0000A", "", "00000 "};
    EXPECT_EQ(filtered(hex, "!00000"), QStringList({"0000", "000000", "10000", "0000A", "", "00000 "}));
}

TEST(FilterSyntax, WildcardsMatchTheWholeCellIncludingEmptyOnes) {
    const QStringList texts = {"", "x", "aXXbYc", "abYc", "abc", "zabYcz", "a*b?c"};
    EXPECT_EQ(filtered(texts, ""), QStringList({""}));
    EXPECT_EQ(filtered(texts, "***"), texts);
    EXPECT_EQ(filtered(texts, "!"), texts.mid(1));
    EXPECT_EQ(filtered(texts, "?"), QStringList({"x"}));
    EXPECT_EQ(filtered(texts, "a*b?c"), QStringList({"aXXbYc", "abYc", "a*b?c"}));
    EXPECT_EQ(filtered(texts, "*bY*"), QStringList({"aXXbYc", "abYc", "zabYcz"}));
}

TEST(FilterSyntax, OperatorsEvaluateLeftToRightWithoutPrecedence) {
    const QStringList texts = {"a", "b", "c"};
    // (a | b) & c, not a | (b & c): nothing passes.
    EXPECT_EQ(filtered(texts, "a | b & c"), QStringList());
    // (a & b) | c.
    EXPECT_EQ(filtered(texts, "a & b | c"), QStringList({"c"}));
    EXPECT_EQ(filtered(texts, "a;b^c"), texts);
    EXPECT_EQ(filtered(texts, "!a & !b ; a"), QStringList({"a", "c"}));
}

TEST(FilterSyntax, BlanksAroundOperatorsGoButInnerBlanksStay) {
    const QStringList texts = {"Perm All", "PermAll", "Engine", "Creator", " Engine"};
    EXPECT_EQ(filtered(texts, "   !Engine   &\t!Creator  "), QStringList({"Perm All", "PermAll", " Engine"}));
    EXPECT_EQ(filtered(texts, "  Perm All "), QStringList({"Perm All"}));
    EXPECT_EQ(filtered(texts, "Perm All | PermAll"), QStringList({"Perm All", "PermAll"}));
}

TEST(FilterSyntax, CaseFlag) {
    const QStringList texts = {"Engine", "ENGINE", "engine", "MSysDb", "msysdb"};
    EXPECT_EQ(filtered(texts, "!Engine"), QStringList({"ENGINE", "engine", "MSysDb", "msysdb"}));
    EXPECT_EQ(filtered(texts, "!engine", false), QStringList({"MSysDb", "msysdb"}));
    EXPECT_EQ(filtered(texts, "!MSYS*", false), QStringList({"Engine", "ENGINE", "engine"}));
}

TEST(FilterSyntax, AllConditionsMustHoldAndFixedRowsStay) {
    TStringGridModel model;
    model.setColCount(3);
    model.setRowCount(6);
    model.setFixedRowCount(1);
    const char* rows[][3] = {{"MSysDb", "admin", "1"},
                             {"Orders", "Engine", "2"},
                             {"Orders", "admin", "00000"},
                             {"Items", "Users", "3"},
                             {"MSysX", "Users", "4"}};
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 3; ++c)
            model.setCell(c, r + 1, QString::fromLatin1(rows[r][c]));
    model.setCell(0, 0, u"MSys header"); // a fixed row is never filtered
    model.addFilterCondition(0, "!MSys*");
    model.addFilterCondition(1, "!Engine & !Creator");
    model.addFilterCondition(2, "!00000");
    model.addFilterCondition(7, ""); // a column outside the grid reads as empty
    model.setFilterActive(true);
    EXPECT_EQ(model.displayRowCount(), 2);
    EXPECT_EQ(model.realRowIndex(0), 0);
    EXPECT_EQ(model.realRowIndex(1), 4);
    model.setFilterActive(false);
    EXPECT_EQ(model.displayRowCount(), 6);
}

TEST(FilterSyntax, VerdictsPerDistinctTextMatchEveryRow) {
    // Many rows sharing a few texts, inline (numbers, hex) and interned alike.
    TStringGridModel model;
    model.setColCount(2);
    const int n = 20000;
    model.setRowCount(n);
    model.setFixedRowCount(1);
    std::mt19937 random(7);
    for (int r = 1; r < n; ++r) {
        model.setCell(0, r, QString::number(random() % 500));
        model.setCell(
            1, r, random() % 3 ? QStringLiteral("00000") : QStringLiteral("Object %1").arg(random() % 50));
    }
    model.addFilterCondition(0, "!1*");
    model.addFilterCondition(1, "!00000 & !*7");
    model.setFilterActive(true);
    int expected = 0;
    for (int r = 1; r < n; ++r) {
        const QString a = model.cell(0, r), b = model.cell(1, r);
        const bool shown = !a.startsWith('1') && b != "00000" && !b.endsWith('7');
        expected += shown;
        EXPECT_EQ(model.displayRowIndex(r) >= 0, shown) << r;
    }
    EXPECT_EQ(model.displayRowCount() - 1, expected);
}

// ---- real and display rows -----------------------------------------------------------------------

TEST(RowMapping, HiddenRowsMapBothWays) {
    TStringGridModel model = columnGrid({"keep", "hide", "hide", "keep", "hide", "keep"});
    model.addFilterCondition(0, "keep");
    model.setFilterActive(true);
    ASSERT_EQ(model.displayRowCount(), 4);
    const int expectedReal[] = {0, 1, 4, 6};
    for (int d = 0; d < 4; ++d) {
        EXPECT_EQ(model.realRowIndex(d), expectedReal[d]);
        EXPECT_EQ(model.displayRowIndex(expectedReal[d]), d);
    }
    EXPECT_EQ(model.displayRowIndex(2), -1);
    EXPECT_TRUE(model.rowHidden(5));
    EXPECT_EQ(model.nearestDisplayRow(2), 2); // the next shown row after real 2 is real 4
    EXPECT_EQ(model.nearestDisplayRow(6), 3);
    EXPECT_EQ(model.nearestDisplayRow(99), 3); // clamped to the last row
    // Cells of hidden rows stay readable and writable by real index.
    model.setCell(1, 2, u"written while hidden");
    EXPECT_EQ(model.cell(1, 2), "written while hidden");
    // Growing keeps filtering: a new empty row fails "keep".
    model.setRowCount(8);
    EXPECT_EQ(model.displayRowCount(), 4);
    model.setRowCount(5);
    EXPECT_EQ(model.displayRowCount(), 3);
}

TEST(CopyText, ShownRowsWithTabsAndCrLf) {
    TStringGridModel model = columnGrid({"keep", "hide", "keep"});
    model.setCell(1, 0, u"Num");
    model.addFilterCondition(0, "keep");
    model.setFilterActive(true);
    EXPECT_EQ(model.copyText(), QString("Header\tNum\r\nkeep\t0\r\nkeep\t2\r\n"));
    model.setFilterActive(false);
    EXPECT_EQ(model.copyText(), QString("Header\tNum\r\nkeep\t0\r\nhide\t1\r\nkeep\t2\r\n"));
}

// ---- sorting -------------------------------------------------------------------------------------

namespace {

// Rows whose last column records the row's original contents, so moved rows can be checked whole.
TStringGridModel randomRows(int n, int keyCols, int distinct, unsigned seed) {
    TStringGridModel model;
    model.setColCount(keyCols + 1);
    model.setRowCount(n + 1);
    model.setFixedRowCount(1);
    const QStringList words = {"alpha",  "Alpha", "beta", "Bob", "bob",   "<container>",
                               "MSysDb", "Zeta",  "zed",  "E",   "e",     "-",
                               "00000",  "1000C", "12",   "9",   "Ärger", "apple"};
    std::mt19937 random(seed);
    for (int r = 1; r <= n; ++r) {
        QStringList parts;
        for (int c = 0; c < keyCols; ++c) {
            const QString text =
                distinct <= words.size() ? words[random() % distinct] : QString::number(random() % distinct);
            model.setCell(c, r, text);
            parts << text;
        }
        parts << QString::number(r);
        model.setCell(keyCols, r, parts.join('|'));
    }
    model.setCell(0, 0, u"zzz header stays");
    return model;
}

void expectSortedWholeRows(const TStringGridModel& model, const std::vector<int>& keys, int n) {
    QCollator collator(QLocale::c());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const int payload = model.colCount() - 1;
    EXPECT_EQ(model.cell(0, 0), "zzz header stays");
    std::vector<bool> seen(std::size_t(n + 1), false);
    for (int r = 1; r <= n; ++r) {
        const QStringList parts = model.cell(payload, r).split('|');
        for (int c = 0; c < payload; ++c)
            ASSERT_EQ(model.cell(c, r), parts[c]) << "row " << r << " was torn apart";
        const int original = parts.last().toInt();
        ASSERT_FALSE(seen[std::size_t(original)]);
        seen[std::size_t(original)] = true;
        if (r == 1) continue;
        int order = 0;
        for (int key : keys) {
            order = collator.compare(model.cell(key, r - 1), model.cell(key, r));
            if (order != 0) break;
        }
        ASSERT_LE(order, 0) << "rows " << r - 1 << " and " << r << " out of order";
        if (order == 0) { // ties keep their previous order
            ASSERT_LT(model.cell(payload, r - 1).split('|').last().toInt(), original);
        }
    }
}

} // namespace

TEST(Sort, MultiKeySortMovesWholeRowsCaseInsensitively) {
    const int n = 3000;
    TStringGridModel model = randomRows(n, 4, 18, 1);
    model.setCollationLocale(QLocale::c());
    model.setOnGetFormat([](int, TSortStyle& style) { style = TSortStyle::AlphaNoCase; });
    model.setMultiKeySort(true);
    for (int key : {2, 0, 3, 1})
        model.addSortKey(key);
    model.sortBody();
    expectSortedWholeRows(model, {2, 0, 3, 1}, n);
}

TEST(Sort, ManyDistinctKeysUseTheWideComparisonPaths) {
    // 13 bits per key: four keys plus the row index overflow 64 bits, five keys overflow by themselves.
    for (int keys : {4, 5}) {
        const int n = 9000;
        TStringGridModel model = randomRows(n, keys, 8191, 2);
        model.setCollationLocale(QLocale::c());
        model.setOnGetFormat([](int, TSortStyle& style) { style = TSortStyle::AlphaNoCase; });
        model.setMultiKeySort(true);
        std::vector<int> order;
        for (int k = 0; k < keys; ++k)
            order.push_back(k);
        for (int k : order)
            model.addSortKey(k);
        model.sortBody();
        expectSortedWholeRows(model, order, n);
    }
}

TEST(Sort, StylesMultiKeySwitchAndFixedRows) {
    const QStringList texts = {"b", "B", "a", "A", "10", "9"};
    auto sortedWith = [&](TSortStyle style, bool multiKey) {
        TStringGridModel model = columnGrid(texts);
        for (int r = 1; r <= texts.size(); ++r)
            model.setCell(1, r, QString::number(texts.size() - r)); // 5 .. 0
        model.setCollationLocale(QLocale::c());
        model.setOnGetFormat([style](int col, TSortStyle& s) { s = col == 0 ? style : TSortStyle::Numeric; });
        model.setMultiKeySort(multiKey);
        model.addSortKey(0);
        model.addSortKey(1);
        model.sortBody();
        EXPECT_EQ(model.cell(0, 0), "Header");
        return shownTexts(model);
    };
    QCollator noCase(QLocale::c());
    noCase.setCaseSensitivity(Qt::CaseInsensitive);
    QCollator withCase(QLocale::c());
    auto stableSorted = [&](auto less) {
        QStringList out = texts;
        std::stable_sort(out.begin(), out.end(), less);
        return out;
    };
    const QStringList byFirstKey =
        stableSorted([&](const QString& a, const QString& b) { return noCase.compare(a, b) < 0; });
    EXPECT_EQ(sortedWith(TSortStyle::AlphaNoCase, false), byFirstKey);
    // With multi-key on, the case-insensitive ties fall to column 1, which runs backwards.
    const QStringList bothKeys = stableSorted([&](const QString& a, const QString& b) {
        const int order = noCase.compare(a, b);
        return order != 0 ? order < 0 : texts.indexOf(a) > texts.indexOf(b);
    });
    EXPECT_EQ(sortedWith(TSortStyle::AlphaNoCase, true), bothKeys);
    EXPECT_NE(bothKeys, byFirstKey);
    EXPECT_EQ(sortedWith(TSortStyle::Alphabetic, false),
              stableSorted([&](const QString& a, const QString& b) { return withCase.compare(a, b) < 0; }));
    const QStringList numeric = sortedWith(TSortStyle::Numeric, false);
    EXPECT_EQ(numeric.mid(0, 2), QStringList({"9", "10"}));
    EXPECT_EQ(numeric.mid(2), byFirstKey.mid(2));
}

TEST(Sort, EmptyKeyListLeavesOrderAndFilterIsReapplied) {
    TStringGridModel model = columnGrid({"c", "hide", "a", "b"});
    model.sortBody();
    EXPECT_EQ(shownTexts(model), QStringList({"c", "hide", "a", "b"}));
    model.addFilterCondition(0, "!hide");
    model.setFilterActive(true);
    model.addSortKey(0);
    model.sortBody();
    EXPECT_EQ(shownTexts(model), QStringList({"a", "b", "c"}));
    EXPECT_EQ(model.cell(0, 4), "hide");
    EXPECT_EQ(model.displayRowIndex(4), -1);
}

TEST(Sort, LocaleCollationOrdersAccentsWithTheirLetters) {
    TStringGridModel model = columnGrid({"Zeta", "\u00C4rger", "apple", "Bob"});
    model.setCell(0, 2, QString::fromUtf8("\xC3\x84rger"));
    model.setCollationLocale(QLocale(QLocale::German, QLocale::Germany));
    model.setOnGetFormat([](int, TSortStyle& s) { s = TSortStyle::AlphaNoCase; });
    model.addSortKey(0);
    model.sortBody();
    EXPECT_EQ(shownTexts(model), QStringList({"apple", QString::fromUtf8("\xC3\x84rger"), "Bob", "Zeta"}));
}

TEST(Sort, LargeGridsSortAgainAndRowsCutAndGrownBackAreEmpty) {
    // Large enough for storage mapped from the kernel; rows of three words of one-byte codes, and a
    // payload column of handles. The second sort reuses the first one's room; its keys extend the first
    // one's, so that its ties are still in the original order.
    const int n = 100000;
    TStringGridModel model = randomRows(n, 17, 18, 3);
    model.setCollationLocale(QLocale::c());
    model.setOnGetFormat([](int, TSortStyle& style) { style = TSortStyle::AlphaNoCase; });
    model.setMultiKeySort(true);
    for (const std::vector<int>& keys : {std::vector<int>{16, 0}, std::vector<int>{16, 0, 2, 9}}) {
        model.clearSortKeys();
        for (int k : keys)
            model.addSortKey(k);
        model.sortBody();
        expectSortedWholeRows(model, keys, n);
    }
    const QString kept = model.cell(17, 10);
    for (int cut : {n / 2, 100}) { // memory kept, and memory given back
        model.setRowCount(cut + 1);
        model.setRowCount(n + 1);
        EXPECT_EQ(model.cell(17, 10), kept);
        for (int r : {cut + 1, n / 2 + 7, n})
            for (int c : {0, 8, 16, 17})
                ASSERT_EQ(model.cell(c, r), "") << "cell " << c << ", " << r;
    }
}

TEST(Sort, RowsInOrderByLeadingKeysMoveWithinTheirRuns) {
    // Object-major rows as the catalogue walk writes them: objects in order, accounts in the walk's order
    // in each. Sorted by (object, account), rows move within their object's run only; a run too long
    // for that makes the whole body sorted again, whatever runs were sorted before it.
    const QStringList accounts = {"Users", "admin", "Admins", "bob", "Bob", "carol"};
    for (const int longRun : {0, 70000}) {
        const int runs = 400;
        const int n = runs * int(accounts.size()) + longRun;
        TStringGridModel model;
        model.setColCount(3);
        model.setRowCount(n + 1);
        model.setFixedRowCount(1);
        model.setCell(0, 0, u"zzz header stays");
        std::mt19937 random(7);
        for (int r = 1; r <= n; ++r) {
            const int run = (r - 1) / int(accounts.size());
            const QString object = run < runs ? QStringLiteral("obj %1").arg(run, 4, 10, QLatin1Char('0'))
                                              : QStringLiteral("zz long");
            // Every third object lists its accounts in another order.
            const int shift = run % 3 == 0 ? 4 : 0;
            const QString account =
                run < runs ? accounts[(r - 1 + shift) % accounts.size()] : QString::number(random() % 1000);
            model.setCell(0, r, object);
            model.setCell(1, r, account);
            model.setCell(2, r, object + '|' + account + '|' + QString::number(r));
        }
        model.setCollationLocale(QLocale::c());
        model.setOnGetFormat([](int, TSortStyle& style) { style = TSortStyle::AlphaNoCase; });
        model.setMultiKeySort(true);
        model.addSortKey(0);
        model.addSortKey(1);
        model.sortBody();
        expectSortedWholeRows(model, {0, 1}, n);
        for (const int run : {0, 1}) { // "bob" and "Bob" tie: the order each run lists them in stays
            EXPECT_EQ(model.cell(1, 6 * run + 3), run == 0 ? "Bob" : "bob");
            EXPECT_EQ(model.cell(1, 6 * run + 4), run == 0 ? "bob" : "Bob");
        }
    }
}

TEST(CellStorage, EditsOfRowsSharingTheirCodesReadBackAsAPlainCopy) {
    // One-byte codes that rows share are kept once for all of them: every way of changing cells, the
    // grid's shape and its order must leave each row with its own cells. Column 0 outgrows one-byte
    // codes on the way; the second round holds more distinct rows than can be shared.
    for (const int variety : {3, 256}) {
        const int cols = 6, n = variety == 3 ? 3000 : 70000;
        std::mt19937 random(variety);
        auto text = [&](int col) {
            const int distinct = col == 0 ? 400 : variety;
            const std::uint32_t v = random() % std::uint32_t(distinct + 1);
            return v == 0 ? QString() : QStringLiteral("c%1 v%2").arg(col).arg(v);
        };
        TStringGridModel model;
        model.setColCount(cols);
        model.setRowCount(n);
        auto shadow =
            std::vector<std::vector<QString>>(std::size_t(n), std::vector<QString>(std::size_t(cols)));
        auto expectShadow = [&](const char* step) {
            ASSERT_EQ(model.rowCount(), int(shadow.size())) << step;
            ASSERT_EQ(model.colCount(), int(shadow[0].size())) << step;
            for (int r = 0; r < model.rowCount(); ++r)
                for (int c = 0; c < model.colCount(); ++c)
                    ASSERT_EQ(model.cell(c, r), shadow[std::size_t(r)][std::size_t(c)])
                        << step << ": cell " << c << ", " << r;
        };
        for (int r = 0; r < n; ++r) {
            std::vector<TCellStringTable::Handle> handles;
            for (int c = 0; c < cols; ++c) {
                shadow[std::size_t(r)][std::size_t(c)] = text(c);
                handles.push_back(model.internText(shadow[std::size_t(r)][std::size_t(c)]));
            }
            model.setRowHandles(r, handles.data(), cols);
        }
        expectShadow("rows written");
        for (int i = 0; i < 2000; ++i) {
            const int r = int(random() % std::uint32_t(n)), c = int(random() % cols);
            shadow[std::size_t(r)][std::size_t(c)] = text(c);
            model.setCell(c, r, shadow[std::size_t(r)][std::size_t(c)]);
            const int to = int(random() % std::uint32_t(n)), from = int(random() % cols);
            model.copyRowCells(r, to, from, 3);
            for (int k = from; k < std::min(cols, from + 3); ++k)
                shadow[std::size_t(to)][std::size_t(k)] = shadow[std::size_t(r)][std::size_t(k)];
        }
        expectShadow("cells set and copied");
        model.clearRows(n / 3, n / 3);
        for (int r = n / 3; r < 2 * (n / 3); ++r)
            shadow[std::size_t(r)].assign(cols, QString());
        expectShadow("rows cleared");
        model.setColCount(cols + 3);
        model.setColCount(cols - 1);
        for (auto& row : shadow)
            row.resize(cols - 1);
        expectShadow("columns added and dropped");
        model.setMultiKeySort(true);
        for (int key : {3, 0, 1})
            model.addSortKey(key);
        std::vector<QString> before;
        for (const auto& row : shadow)
            before.push_back(QStringList(row.begin(), row.end()).join('|'));
        model.sortBody();
        std::vector<QString> after;
        for (int r = 0; r < model.rowCount(); ++r) {
            for (int c = 0; c < model.colCount(); ++c)
                shadow[std::size_t(r)][std::size_t(c)] = model.cell(c, r);
            after.push_back(
                QStringList(shadow[std::size_t(r)].begin(), shadow[std::size_t(r)].end()).join('|'));
        }
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        ASSERT_EQ(before, after) << "sorting lost or tore rows";
        model.setRowCount(n / 4); // cut to a quarter: codes made again from the cells left
        shadow.resize(std::size_t(n / 4));
        model.compactStrings();
        expectShadow("rows cut and texts compacted");
        model.setCell(2, 5, u"after all");
        shadow[5][2] = QStringLiteral("after all");
        model.setRowCount(n);
        shadow.resize(std::size_t(n), std::vector<QString>(cols - 1));
        expectShadow("rows grown back");
    }
}

TEST(CellStorage, CodesNoRowHoldsAnyMoreAreShedOnTheWay) {
    // A few rows rewritten again and again leave shared codes that no row holds; they are shed on the
    // way, while the rows keep theirs.
    const int cols = 4, n = 3000;
    std::mt19937 random(5);
    TStringGridModel model;
    model.setColCount(cols);
    model.setRowCount(n);
    auto shadow = std::vector<std::vector<QString>>(std::size_t(n), std::vector<QString>(std::size_t(cols)));
    auto writeRow = [&](int r, std::uint32_t variety) {
        std::vector<TCellStringTable::Handle> handles;
        for (int c = 0; c < cols; ++c) {
            shadow[std::size_t(r)][std::size_t(c)] = QStringLiteral("v%1").arg(random() % variety);
            handles.push_back(model.internText(shadow[std::size_t(r)][std::size_t(c)]));
        }
        model.setRowHandles(r, handles.data(), cols);
    };
    for (int r = 0; r < n; ++r)
        writeRow(r, 4);
    for (int i = 0; i < 20000; ++i)
        writeRow(i % 8, 200);
    model.clearRows(0, n / 2);
    for (int r = 0; r < n / 2; ++r)
        shadow[std::size_t(r)][2] = shadow[std::size_t(r)][0] = shadow[std::size_t(r)][1] =
            shadow[std::size_t(r)][3] = QString();
    for (int i = 0; i < 5000; ++i)
        writeRow(n / 2 + i % 8, 200);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < cols; ++c)
            ASSERT_EQ(model.cell(c, r), shadow[std::size_t(r)][std::size_t(c)]) << "cell " << c << ", " << r;
}
