// The outline adapter against a small data source and delegate of its own: which rows it asks
// for, which cells it hosts where, and what a reload renews.

#include <QAbstractItemModel>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <map>

#include <gtest/gtest.h>

#include "qt/QtControls.h"
#include "qt/QtOutlineView.h"

namespace orvane {
namespace {

struct Row : Object {
    explicit Row(std::string t, std::vector<Row*> c = {}) : title(std::move(t)), children(std::move(c)) {}
    std::string title;
    std::vector<Row*> children;
};

// Groups "a" (rows a1, a2) and "b" (row b1); groups span the row, others have two columns.
struct TestOutline : OutlineViewDataSource, OutlineViewDelegate {
    Row a1{"a1"}, a2{"a2"}, b1{"b1"};
    Row a{"a", {&a1, &a2}}, b{"b", {&b1}};
    std::vector<Row*> groups{&a, &b};
    std::map<std::string, int> childrenAsked;  // by title, "" for the root
    std::vector<std::string> cellsAskedFor;    // "title/column"
    std::vector<std::pair<std::string, bool>> rowViews;
    bool keepGroupStyle = false;
    int version = 0;

    long numberOfChildrenOfItem(OutlineView&, Object* item) override {
        auto* row = static_cast<Row*>(item);
        ++childrenAsked[row ? row->title : ""];
        return long(row ? row->children.size() : groups.size());
    }
    Object* childOfItem(OutlineView&, long index, Object* item) override {
        auto* row = static_cast<Row*>(item);
        return row ? row->children[std::size_t(index)] : groups[std::size_t(index)];
    }
    bool isItemExpandable(OutlineView&, Object* item) override { return !static_cast<Row*>(item)->children.empty(); }
    bool isGroupItem(OutlineView&, Object* item) override { return item == &a || item == &b; }
    bool shouldSelectItem(OutlineView&, Object*) override { return false; }
    bool shouldShowOutlineCellForItem(OutlineView&, Object*) override { return false; }
    void didAddRowView(OutlineView&, RowView& rowView, long row) override {
        rowViews.emplace_back(std::to_string(row), rowView.isGroupRowStyle());
        if (!keepGroupStyle) rowView.setGroupRowStyle(false);
    }
    std::shared_ptr<TableCellView> viewForTableColumn(OutlineView& outline, const std::optional<std::string>& column,
                                                      Object* item) override {
        auto* row = static_cast<Row*>(item);
        cellsAskedFor.push_back(row->title + "/" + column.value_or("full"));
        if (!column && !isGroupItem(outline, item)) return nullptr;
        auto cell = outline.makeViewWithIdentifier(column ? *column + " Cell" : "Group Cell", item);
        if (cell && cell->textField()) cell->textField()->setStringValue(row->title + " v" + std::to_string(version));
        return cell;
    }
};

std::shared_ptr<TableCellView> makeLabelCell(const std::string& identifier, int* made) {
    auto* label = new QLabel();
    ++*made;
    return std::make_shared<QtTableCellView>(identifier, label, std::make_shared<QtTextField>(label), nullptr);
}

struct OutlineFixture : ::testing::Test {
    void SetUp() override {
        for (const char* identifier : {"Group Cell", "Title Cell", "Value Cell"}) {
            outline.registerCellPrototype(identifier, [this, identifier] { return makeLabelCell(identifier, &made); });
        }
        outline.setDataSource(&source);
        outline.setDelegate(&source);
        outline.widget()->resize(400, 300);
        outline.widget()->show();
        outline.reloadData();
        outline.expandItem(nullptr, true);
    }
    void TearDown() override { delete outline.widget(); }

    std::string text(Row& row, const std::optional<std::string>& column) {
        auto cell = outline.cellView(&row, column);
        return cell && cell->textField() ? cell->textField()->stringValue() : "<none>";
    }

    TestOutline source;
    int made = 0;
    QtOutlineView outline{{{"Title"}, {"Value"}}};
};

TEST_F(OutlineFixture, ShowsGroupsFullWidthAndTheirRowsInTwoColumns) {
    QTreeView* tree = outline.widget();
    const QAbstractItemModel* model = outline.model();
    ASSERT_EQ(model->rowCount({}), 2);
    const QModelIndex a = outline.indexOfItem(&source.a);
    EXPECT_TRUE(tree->isFirstColumnSpanned(0, {}));
    EXPECT_TRUE(tree->isExpanded(a));
    EXPECT_EQ(model->rowCount(a), 2);
    EXPECT_FALSE(tree->isFirstColumnSpanned(1, a));

    EXPECT_EQ(text(source.a, std::nullopt), "a v0");
    EXPECT_EQ(text(source.a1, "Title"), "a1 v0");
    EXPECT_EQ(text(source.b1, "Value"), "b1 v0");
    EXPECT_EQ(text(source.a, "Title"), "<none>");
    // Each hosted cell is the index widget of its place in the tree.
    auto* hosted = dynamic_cast<QtHostedCell*>(outline.cellView(&source.a2, "Value").get());
    ASSERT_NE(hosted, nullptr);
    EXPECT_EQ(tree->indexWidget(outline.indexOfItem(&source.a2).siblingAtColumn(1)), hosted->widget());
    // Leaves were asked for their children only once their group was expanded.
    EXPECT_EQ(source.childrenAsked[""], 1);
    EXPECT_EQ(source.childrenAsked["a"], 1);
}

TEST_F(OutlineFixture, NoRowIsSelectableAndRowViewsReportTheirGroupStyleOnce) {
    const QModelIndex a1 = outline.indexOfItem(&source.a1);
    EXPECT_FALSE(outline.model()->flags(a1) & Qt::ItemIsSelectable);
    QTreeView* tree = outline.widget();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(a1).center());
    EXPECT_TRUE(tree->selectionModel()->selectedIndexes().isEmpty());

    // Row views come as rows appear, with the row they take at that moment: a and b first (rows 0
    // and 1), then a's rows once a is expanded (1, 2), then b's (4). Group rows start with the
    // group style (the delegate here switches it off).
    const std::vector<std::pair<std::string, bool>> expected{
        {"0", true}, {"1", true}, {"1", false}, {"2", false}, {"4", false}};
    EXPECT_EQ(source.rowViews, expected);
    EXPECT_FALSE(outline.isGroupRowStyle(&source.a));
    outline.reloadItem(&source.a);
    EXPECT_EQ(source.rowViews.size(), 5u);
}

TEST_F(OutlineFixture, ReloadsInsideAnUpdateWaitForItsEndAndRenewOnlyTheirRows) {
    QSignalSpy changed(outline.model(), &QAbstractItemModel::dataChanged);
    source.cellsAskedFor.clear();
    const int madeBefore = made;
    auto* oldWidget = dynamic_cast<QtHostedCell*>(outline.cellView(&source.a2, "Value").get())->widget();
    source.version = 1;

    outline.beginUpdates();
    outline.reloadItem(&source.a2);
    outline.reloadItem(&source.a2);  // twice: reloaded twice
    Row stranger{"stranger"};
    outline.reloadItem(&stranger);  // not a row: nothing
    EXPECT_TRUE(source.cellsAskedFor.empty());
    EXPECT_EQ(changed.count(), 0);
    outline.endUpdates();

    const std::vector<std::string> expected{"a2/Title", "a2/Value", "a2/Title", "a2/Value"};
    EXPECT_EQ(source.cellsAskedFor, expected);
    ASSERT_EQ(changed.count(), 2);
    for (const auto& signal : changed) {
        const auto topLeft = signal[0].value<QModelIndex>();
        const auto bottomRight = signal[1].value<QModelIndex>();
        EXPECT_EQ(outline.itemAtIndex(topLeft), &source.a2);
        EXPECT_EQ(topLeft.row(), bottomRight.row());
        EXPECT_EQ(bottomRight.column(), 1);
    }
    EXPECT_EQ(text(source.a2, "Value"), "a2 v1");
    EXPECT_EQ(text(source.a1, "Value"), "a1 v0");
    // The row's own cells were reused: no new widgets.
    EXPECT_EQ(made, madeBefore);
    EXPECT_EQ(dynamic_cast<QtHostedCell*>(outline.cellView(&source.a2, "Value").get())->widget(), oldWidget);
}

TEST_F(OutlineFixture, ReloadDataForgetsTheRowsAndAsksAgain) {
    Row c1{"c1"};
    Row c{"c", {&c1}};
    source.groups = {&c};
    outline.reloadData();
    outline.expandItem(nullptr, true);
    ASSERT_EQ(outline.model()->rowCount({}), 1);
    EXPECT_EQ(text(c1, "Title"), "c1 v0");
    EXPECT_FALSE(outline.indexOfItem(&source.a1).isValid());
    outline.reloadItem(&source.a1);  // gone: nothing happens
}

TEST_F(OutlineFixture, UnknownPrototypesMakeNoView) {
    EXPECT_EQ(outline.makeViewWithIdentifier("No Such Cell", nullptr), nullptr);
}

}  // namespace
}  // namespace orvane
