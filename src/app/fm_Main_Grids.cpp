// The main window's two grids: reading the permission catalogue and the users/groups matrix, their
// view options, hints, copy buttons and clear operations.
#include "app/fm_Main.h"

#include "ui_fm_Main.h"

#include "grids/PermsGrid.h"
#include "grids/UGGrid.h"
#include "grids/model/PermsGridWriter.h"
#include "jet/dm_Inspect.h"
#include "ui/Cursor.h"

#include <QLineEdit>
#include <QRadioButton>

namespace {

// Runs a read that talks to DAO and turns object-layer failures into the component's error with the
// message rule of DAO calls.
template <class F> void daoRead(F&& f) {
    DAOCall([&] { f(); });
}

QString qtext(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// The grid events both grids share: mouse events drive the helper's column resizing (which the pointer
// leaving the grid or a popup menu gives up), and a right click makes the clicked cell current before
// the popup menu opens.
void ForwardGridEvents(QObject* context, TStringGrid& grid, TASGHelper& helper) {
    QObject::connect(
        &grid, &TStringGrid::mouseDown, context,
        [&helper](Qt::MouseButton b, TShiftState s, int x, int y) { helper.HandleMouseDown(b, s, x, y); });
    QObject::connect(&grid, &TStringGrid::mouseMove, context,
                     [&helper](TShiftState s, int x, int y) { helper.HandleMouseMove(s, x, y); });
    QObject::connect(
        &grid, &TStringGrid::mouseUp, context,
        [&helper](Qt::MouseButton b, TShiftState s, int x, int y) { helper.HandleMouseUp(b, s, x, y); });
    QObject::connect(&grid, &TStringGrid::rightClickCell, context,
                     [&grid](int row, int col) { SelectClickedCell(grid, row, col); });
    QObject::connect(&grid, &TStringGrid::mouseLeave, context, [&helper] { helper.HandleMouseLeave(); });
    QObject::connect(&grid, &TStringGrid::aboutToShowPopup, context, [&helper] { helper.HandlePopup(); });
}

} // namespace

void TForm1::SetupPermissionsGrid() {
    TStringGrid& grid = *ui->asg_Perms;
    QFont body(QStringLiteral("Tahoma"));
    body.setPixelSize(11);
    grid.setBodyFont(body);
    QFont header(QStringLiteral("Arial"));
    header.setPixelSize(11);
    grid.setHeaderFont(header);
    grid.setShowHints(true);
    grid.setHintColor(QColor(Qt::yellow));
    grid.setAccessibleName(QStringLiteral("Permissions"));
    grid.setPopupMenu(pu_Perms);
    grid.setOnGetCellColor(&PermsCellColor);
    grid.setOnGetAlignment(&PermsCellAlignment);
    grid.setOnGridHint([&grid](int row, int col, QString& hint) { hint = PermsCellHint(grid, row, col); });
    grid.setOnGetFormat(&SetTextCompareStyle);
    ForwardGridEvents(this, grid, *m_permHelper);
    connect(&grid, &TStringGrid::aboutToShowPopup, this, &TForm1::pu_PermsPopup);

    connect(ui->ck_PermHideSysObj, &QCheckBox::clicked, this, &TForm1::ck_PermHideSomethingClick);
    connect(ui->ck_PermHidePerm0, &QCheckBox::clicked, this, &TForm1::ck_PermHideSomethingClick);
    connect(ui->rb_PermSortObject, &QRadioButton::clicked, this,
            [this] { rb_PermSortClick(ui->rb_PermSortObject); });
    connect(ui->rb_PermSortUG, &QRadioButton::clicked, this, [this] { rb_PermSortClick(ui->rb_PermSortUG); });
    connect(ui->bt_PermCopy, &QPushButton::clicked, this, &TForm1::bt_PermCopyClick);
    m_permHelper->QuickFilterColumns = {colContainer, colObjectName, colUGName};
    connect(ui->tx_PermFilter, &QLineEdit::textChanged, this,
            [this](const QString& text) { QuickFilterChanged(*m_permHelper, text); });
}

// The quick filter narrows the rows as the user types, inside the helper's update bracket, so the
// current cell and the scrolling behave as for the hide options.
void TForm1::QuickFilterChanged(TASGHelper& helper, const QString& text) {
    if (Loading || helper.QuickFilterText == text) return;
    WithUpdate(helper, [&] {
        helper.QuickFilterText = text;
        helper.InvalidateFilter();
    });
}

void TForm1::SetupUsersGroupsGrid() {
    TStringGrid& grid = *ui->asg_UG;
    QFont body(QStringLiteral("Tahoma"));
    body.setPointSize(8);
    grid.setBodyFont(body);
    grid.setHeaderFont(body); // the group captions and user names too: they share the 64-pixel columns
    grid.setDefaultRowHeight(15);
    grid.setGridLineColor(QColor(Qt::lightGray));
    grid.setColCount(5);
    grid.setRowCount(5);
    grid.setFixedColCount(1);
    grid.setFixedRowCount(1);
    grid.setAccessibleName(QStringLiteral("Users and groups"));
    grid.setPopupMenu(pu_UserGroups);
    grid.setOnGetFormat(&SetTextCompareStyle);
    ForwardGridEvents(this, grid, *m_ugHelper);
    connect(&grid, &TStringGrid::aboutToShowPopup, this, &TForm1::pu_UserGroupsPopup);
    connect(ui->ck_UGHideSysObj, &QCheckBox::clicked, this, &TForm1::ck_UGHideSysObjClick);
    connect(ui->bt_UGCopy, &QPushButton::clicked, this, &TForm1::bt_UGCopyClick);
    m_ugHelper->QuickFilterColumns = {0};
    connect(ui->tx_UGFilter, &QLineEdit::textChanged, this,
            [this](const QString& text) { QuickFilterChanged(*m_ugHelper, text); });
}

bool TForm1::ReadPermissions() {
    TASGHelper_Perm& helper = *m_permHelper;
    WithUpdate(helper, [&] {
        helper.ApplyFilter(false);
        PermRowCount = 0;
        PermNonZeroCount = 0;
        TPermsGridWriter writer(ui->asg_Perms->model());
        TCatalogueCounters counters;
        try {
            daoRead([&] {
                WalkCatalogue(db1().GetContainers(), db1().GetUsers(), db1().GetGroups(), writer, counters);
            });
        } catch (...) {
            // The counters keep the values reached.
            PermRowCount = counters.RowCount;
            PermNonZeroCount = counters.NonZeroCount;
            throw;
        }
        PermRowCount = counters.RowCount;
        PermNonZeroCount = counters.NonZeroCount;
        writer.Finish(PermRowCount);
        // The rows are numbered 1 to PermRowCount.
        FitNumberColumn(*ui->asg_Perms, PermRowCount);
        helper.InvalidateSort();
        helper.InvalidateFilter();
    });
    return true;
}

void TForm1::ClearPermissionsView() {
    TStringGrid& grid = *ui->asg_Perms;
    m_permHelper->ApplyFilter(false);
    grid.setRowCount(10);
    grid.clearRows(1, 9);
}

void TForm1::ck_PermHideSomethingClick() {
    if (Loading) return;
    ui::HourGlass hourGlass;
    WithUpdate(*m_permHelper, [this] { m_permHelper->InvalidateFilter(); });
}

void TForm1::rb_PermSortClick(QObject* sender) {
    if (!qobject_cast<QRadioButton*>(sender)) return;
    ui::HourGlass hourGlass;
    WithUpdate(*m_permHelper, [this] { m_permHelper->InvalidateSort(); });
}

void TForm1::bt_PermCopyClick() {
    CopyGridToClipboard(*ui->asg_Perms);
}

bool TForm1::ReadUsersAndGroups() {
    TStringGrid& grid = *ui->asg_UG;
    TASGHelper_UG& helper = *m_ugHelper;
    daoRead([&] {
        dao::GroupsPtr groups = db1().GetGroups();
        dao::UsersPtr users = db1().GetUsers();
        WithUpdate(helper, [&] {
            helper.ApplyFilter(false);
            GroupCount = groups->Count();
            UserCount = users->Count();
            helper.SetupColumns();
            grid.setColCount(GroupCount + 1);
            grid.setRowCount(UserCount > 0 ? UserCount + 1 : 2);
            for (std::int32_t i = 0; i < GroupCount; ++i)
                grid.setCell(i + 1, 0, qtext(groups->Item(com::Variant(i))->Name()));
            for (std::int32_t i = 0; i < UserCount; ++i)
                grid.setCell(0, i + 1, qtext(users->Item(com::Variant(i))->Name()));
            const QString dash = QStringLiteral("-"), yes = QStringLiteral("Y");
            for (int c = 1; c < grid.colCount(); ++c)
                for (int r = 1; r < grid.rowCount(); ++r)
                    grid.setCell(c, r, dash);
            for (std::int32_t i = 0; i < UserCount; ++i) {
                const int r = i + 1;
                dao::GroupsPtr memberOf = users->Item(com::Variant(i))->Groups();
                const std::int32_t n = memberOf->Count();
                for (std::int32_t j = 0; j < n; ++j) {
                    const QString name = qtext(memberOf->Item(com::Variant(j))->Name());
                    for (int c = 1; c < grid.colCount(); ++c)
                        if (grid.cell(c, 0) == name) grid.setCell(c, r, yes);
                }
            }
            helper.InvalidateFilter();
            helper.InvalidateSort();
        });
    });
    return true;
}

void TForm1::ClearUsersGroupsView() {
    TStringGrid& grid = *ui->asg_UG;
    m_ugHelper->ApplyFilter(false);
    grid.setRowCount(2);
    grid.clearRows(1, 1);
}

void TForm1::ck_UGHideSysObjClick() {
    if (Loading) return;
    WithUpdate(*m_ugHelper, [this] { m_ugHelper->InvalidateFilter(); });
}

void TForm1::bt_UGCopyClick() {
    CopyGridToClipboard(*ui->asg_UG);
}
