// grid_scale: the string grid at the size of a large permissions catalogue.
//
// 1,000,000 rows x 31 cells shaped like permission rows (row number, container, object name, U/G,
// account, two 5-digit hex values, T/F/-, O/-, 22 permission letters). Measures filling, memory
// per row (RSS growth), the 4-key sorts of the permissions grid, its 3-condition hide filter, and
// painting one screen offscreen at several scroll positions. Then the same on QStandardItemModel /
// QTableView at 100,000 rows as the baseline.
//
// Every figure is also stated as a multiple of a calibration measured in the same process before and
// after the run, with the minor page faults of each phase.
//
// Run: QT_QPA_PLATFORM=offscreen build/bench/grid_scale/grid_scale [rows]
#include "grids/control/StringGrid.h"

#include "support/BenchYardstick.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>

#include <cstdio>
#include <random>

namespace {

constexpr int Cols = 31;

long rssKiB() {
    QFile f("/proc/self/statm");
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLong() * 4 : 0;
}

// The vocabulary of the generated catalogue; a reader reuses container, object and account names
// across rows and formats numbers per row.
struct Catalogue {
    QStringList containers = {"Databases", "Forms",  "Modules", "Relationships",  "Reports",
                              "Scripts",   "SysRel", "Tables",  "DataAccessPages"};
    QStringList accounts;
    QStringList kinds;
    QStringList hex;
    QStringList letters = {" ", "i", "I", "e", "e", "J", "E", "E", "E", "-", "?"};
    std::vector<std::pair<int, QString>> objects; // (container, name); name "<container>" for its row

    explicit Catalogue(int rows) {
        const char* base[] = {"admin", "Admins", "Users", "Engine", "Creator"};
        for (const char* b : base)
            accounts << b;
        for (int i = 1; accounts.size() < 30; ++i)
            accounts << QString("user%1").arg(i, 2, 10, QChar('0'));
        for (int i = 0; i < accounts.size(); ++i)
            kinds << (i == 1 || i == 2 || i % 4 == 0 ? "G" : "U");
        std::mt19937 random(11);
        for (int i = 0; i < 4096; ++i)
            hex << QString::asprintf("%05X", unsigned(random() % 0xFFFFF));
        const int docs = (rows + int(accounts.size()) - 1) / int(accounts.size());
        for (int i = 0; i < docs; ++i) {
            const int c = i % int(containers.size());
            if (i < containers.size())
                objects.push_back({c, "<container>"});
            else if (i % 20 == 0)
                objects.push_back({c, QString("MSysObject%1").arg(i)});
            else
                objects.push_back({c, QString("%1 %2").arg(containers[c].left(5)).arg(i, 6, 10, QChar('0'))});
        }
    }
};

void fillPermissionRows(TStringGridModel& model, const Catalogue& cat, int rows) {
    std::mt19937 random(5);
    const QString zero = "00000";
    const QString dash = "-";
    for (int r = 1; r <= rows; ++r) {
        const int i = r - 1;
        const auto& object = cat.objects[std::size_t(i / cat.accounts.size())];
        const int account = i % int(cat.accounts.size());
        const unsigned bits = random();
        model.setCell(0, r, QString::number(r));
        model.setCell(1, r, cat.containers[object.first]);
        model.setCell(2, r, object.second);
        model.setCell(3, r, cat.kinds[account]);
        model.setCell(4, r, cat.accounts[account]);
        model.setCell(5, r, bits & 1 ? zero : cat.hex[(bits >> 1) & 4095]);
        model.setCell(6, r, cat.hex[(bits >> 13) & 4095]);
        model.setCell(7, r, object.second == "<container>" ? (bits & 2 ? "T" : "F") : dash);
        model.setCell(8, r, account == 0 ? "O" : dash);
        for (int c = 9; c < Cols; ++c)
            model.setCell(c, r, cat.letters[(bits >> (c - 9)) % 11]);
    }
}

double ms(QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

const char* const Captions[Cols] = {
    "Num",         "Container",   "Object Name",   "User/Group",     "UGName",        "Perm Exp",
    "Perm All",    "Cnt.Inherit", "Owner",         "Create",         "Delete",        "ReadSec",
    "WriteSec",    "WriteOwner",  "ReadDef",       "WriteDef",       "RetrieveData",  "InsertData",
    "ReplaceData", "DeleteData",  "FrmRptReadDef", "FrmRptWriteDef", "FrmRptExecute", "MacReadDef",
    "MacWriteDef", "MacExecute",  "ModReadDef",    "ModWriteDef",    "DBOpen",        "DBExclusive",
    "DBAdmin"};
const int Widths[Cols] = {32, 64, 96, 20, 80, 40, 40, 20, 20, 17, 17, 17, 17, 17, 17, 17,
                          17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17};

void benchGrid(int rows, bench::Report& report) {
    std::printf("== TStringGrid, %d rows x %d cells ==\n", rows, Cols);
    const Catalogue cat(rows);
    TStringGrid grid;
    TStringGridModel& model = grid.model();
    grid.resize(1000, 700);
    grid.setColCount(Cols);
    grid.setFixedColCount(9);
    grid.setFixedRowHeight(90);
    for (int c = 0; c < Cols; ++c) {
        grid.setColWidth(c, Widths[c]);
        const bool rotated = c == 3 || (c >= 5 && c != 4);
        grid.setCell(c, 0, rotated ? QString(" ") + Captions[c] : QString(Captions[c]));
        grid.setCellRotated(c, 0, rotated);
    }
    grid.setOnGetFormat([](int, TSortStyle& s) { s = TSortStyle::AlphaNoCase; });
    grid.setOnGetCellColor([](int row, int col, QColor& color) {
        if (row >= 1 && col >= 9) color = QColor(184, 255, 204);
    });
    grid.setOnGetAlignment([&model](int row, int col, Qt::Alignment& a) {
        if (row == 0 && model.cellRotated(col, 0)) a = Qt::AlignRight;
    });
    grid.show();

    const long before = rssKiB();
    QElapsedTimer t;
    t.start();
    bench::Phase fillPhase;
    grid.beginUpdate();
    model.setRowCount(rows + 1);
    fillPermissionRows(model, cat, rows);
    grid.endUpdate();
    fillPhase.stop();
    report.add("grid fill", fillPhase);
    const double fill = ms(t);
    const long after = rssKiB();
    std::printf("fill %d cells: %.0f ms\n", rows * Cols, fill);
    std::printf("memory: %.1f bytes/row by RSS growth (%.1f by the model's own count), %u interned texts\n",
                double(after - before) * 1024.0 / rows, double(model.memoryUsage()) / rows,
                model.strings().internedCount());

    for (auto [name, keys] : {std::pair{"Group/User (3,4,1,2)", std::vector<int>{3, 4, 1, 2}},
                              std::pair{"Contnr/Object (1,2,3,4)", std::vector<int>{1, 2, 3, 4}}}) {
        for (QLocale locale : {QLocale(), QLocale(QLocale::English, QLocale::UnitedStates)}) {
            model.setCollationLocale(locale);
            model.clearSortKeys();
            for (int k : keys)
                model.addSortKey(k);
            model.setMultiKeySort(true);
            t.start();
            bench::Phase sortPhase;
            model.sortBody();
            sortPhase.stop();
            report.add(std::string("sort ") + name + " " + locale.name().toStdString(), sortPhase);
            std::printf("sort %s, locale %s: %.0f ms\n", name, qPrintable(locale.name()), ms(t));
        }
    }

    t.start();
    bench::Phase filterPhase;
    model.clearFilterConditions();
    model.addFilterCondition(2, "!MSys*");
    model.addFilterCondition(4, "!Engine & !Creator");
    model.addFilterCondition(5, "!00000");
    model.setFilterActive(true);
    filterPhase.stop();
    report.add("filter, 3 hide conditions", filterPhase);
    std::printf("filter, 3 hide conditions: %.0f ms (%d of %d rows shown)\n", ms(t),
                model.displayRowCount() - 1, rows);

    QImage image(grid.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    auto paintAt = [&](const char* label, int top, int left) {
        grid.setTopRow(top);
        grid.setLeftCol(left);
        grid.viewport()->render(&image); // warm-up of glyph caches at this position
        QElapsedTimer p;
        p.start();
        const int repeats = 10;
        for (int i = 0; i < repeats; ++i)
            grid.viewport()->render(&image);
        std::printf("paint one screen (%dx%d) at %s (row %d, col %d): %.2f ms\n", image.width(),
                    image.height(), label, grid.topRow(), grid.leftCol(), ms(p) / repeats);
    };
    paintAt("top, filtered", 1, 9);
    paintAt("middle, filtered", grid.displayRowCount() / 2, 18);
    paintAt("end, filtered", grid.displayRowCount(), 30);
    model.setFilterActive(false);
    paintAt("top, unfiltered", 1, 9);
    paintAt("middle, unfiltered", rows / 2, 14);
    paintAt("end, unfiltered", rows, 30);

    t.start();
    bench::Phase copyPhase;
    const QString copied = grid.copyText();
    copyPhase.stop();
    report.add("copy text", copyPhase);
    std::printf("copy text of all %d rows: %.0f ms (%lld characters)\n", rows, ms(t),
                (long long)copied.size());
}

class HideFilter : public QSortFilterProxyModel {
protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const QAbstractItemModel* m = sourceModel();
        const QString object = m->index(row, 2, parent).data().toString();
        const QString account = m->index(row, 4, parent).data().toString();
        const QString exp = m->index(row, 5, parent).data().toString();
        return !object.startsWith("MSys") && account != "Engine" && account != "Creator" && exp != "00000";
    }
};

void benchStandardItemModel(int rows) {
    std::printf("== QStandardItemModel / QTableView baseline, %d rows x %d cells ==\n", rows, Cols);
    const Catalogue cat(rows);
    TStringGridModel source; // the same rows, read back as texts
    source.setColCount(Cols);
    source.setRowCount(rows + 1);
    fillPermissionRows(source, cat, rows);

    const long before = rssKiB();
    QElapsedTimer t;
    t.start();
    auto* model = new QStandardItemModel(rows, Cols);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < Cols; ++c)
            model->setItem(r, c, new QStandardItem(source.cell(c, r + 1)));
    const double fill = ms(t);
    const long after = rssKiB();
    std::printf("fill %d cells: %.0f ms\n", rows * Cols, fill);
    std::printf("memory: %.1f bytes/row by RSS growth\n", double(after - before) * 1024.0 / rows);

    // Four stable single-key sorts, least significant key first, give the 4-key order.
    t.start();
    for (int key : {2, 1, 4, 3})
        model->sort(key);
    std::printf("sort Group/User (3,4,1,2) as 4 stable sorts: %.0f ms\n", ms(t));

    HideFilter proxy;
    t.start();
    proxy.setSourceModel(model);
    std::printf("filter, 3 hide conditions (QSortFilterProxyModel): %.0f ms (%d rows shown)\n", ms(t),
                proxy.rowCount());

    QTableView view;
    view.setModel(&proxy);
    view.resize(1000, 700);
    view.verticalHeader()->setDefaultSectionSize(16);
    view.verticalHeader()->hide();
    for (int c = 0; c < Cols; ++c)
        view.setColumnWidth(c, Widths[c]);
    view.show();
    QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    for (int at : {0, proxy.rowCount() / 2, proxy.rowCount() - 1}) {
        view.scrollTo(proxy.index(at, 0), QAbstractItemView::PositionAtTop);
        view.viewport()->render(&image);
        QElapsedTimer p;
        p.start();
        for (int i = 0; i < 10; ++i)
            view.viewport()->render(&image);
        std::printf("paint one screen at row %d: %.2f ms\n", at, ms(p) / 10);
    }
    view.setModel(nullptr);
    proxy.setSourceModel(nullptr);
    // Not deleted: QStandardItemModel's destructor looks up every item's index, which takes minutes
    // at this size. The process ends right after.
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    bench::Report report;
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(10, atoi(argv[1])) : 1000000;
    benchGrid(rows, report);
    benchStandardItemModel(std::max(10, rows / 10));
    std::printf("peak memory: %ld MiB\n", bench::peakRssMiB());
    report.print();
    return 0;
}
