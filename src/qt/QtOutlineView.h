#pragma once

#include <QPointer>
#include <QTreeView>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/OutlineView.h"

class QAbstractItemModel;

namespace orvane {

class OutlineModel;

// The tree widget of an outline: it draws disclosure triangles only where the outline's delegate
// wants them, no hover highlight, and the group-row style where a row view keeps it.
class OutlineTreeView : public QTreeView {
    Q_OBJECT
public:
    explicit OutlineTreeView(QWidget* parent = nullptr);

    std::function<bool(const QModelIndex&)> showsOutlineCell;
    std::function<bool(const QModelIndex&)> hasGroupRowStyle;

    // Gives the last column the width the others leave in the viewport.
    void fitLastColumn();

protected:
    bool viewportEvent(QEvent* event) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The platform's outline view over a QTreeView. The rows come from the data source, which is
// asked for the children of a row the first time they are needed; reloadData forgets them all.
// Every shown row hosts the cell views the delegate makes for it (full width for a group row
// that gets one, else one per column) as index widgets. reloadItem asks the delegate again for
// that one row; between beginUpdates and endUpdates the reloads are collected and carried out,
// in order, when the outermost endUpdates comes. A reload reuses the row's own cell views of the
// same prototype, so a row whose value changes 50 times a second does not build new widgets.
class QtOutlineView : public OutlineView {
public:
    struct Column {
        std::string identifier;
        int initialWidth = 160;
    };
    using CellFactory = std::function<std::shared_ptr<TableCellView>()>;

    QtOutlineView(std::vector<Column> columns, QWidget* parent = nullptr);
    ~QtOutlineView() override;

    // The prototype cell views that makeViewWithIdentifier can make.
    void registerCellPrototype(const std::string& identifier, CellFactory factory);

    void setDataSource(OutlineViewDataSource* dataSource) override;
    void setDelegate(OutlineViewDelegate* delegate) override;
    void expandItem(Object* item, bool expandChildren) override;
    void setAutoresizesOutlineColumn(bool autoresizes) override;
    // The least width the last column keeps: the outline is never narrower than its other
    // columns, as wide as their texts make them, and this.
    void setMinimumLastColumnWidth(int width);
    void beginUpdates() override;
    void endUpdates() override;
    void reloadItem(Object* item) override;
    void reloadData() override;
    std::shared_ptr<TableCellView> makeViewWithIdentifier(const std::string& identifier, Object* owner) override;

    OutlineTreeView* widget() const { return tree_; }
    QAbstractItemModel* model() const;

    // The first row that shows `item`, at column 0; invalid when there is none.
    QModelIndex indexOfItem(Object* item) const;
    // The item a row shows.
    Object* itemAtIndex(const QModelIndex& index) const;
    // The cell view a row hosts in the column (none: the full-width cell of a group row).
    std::shared_ptr<TableCellView> cellView(Object* item, const std::optional<std::string>& columnIdentifier) const;
    bool isGroupRowStyle(Object* item) const;

private:
    friend class OutlineModel;
    struct Node;

    void makeCells(Node& node);
    void makeCellsForChildren(Node& node);
    void reloadNow(Object* item);
    long displayRow(const Node& node) const;
    void findNodes(Node& from, Object* item, std::vector<Node*>& found) const;
    void expandNode(Node& node, bool expandChildren);
    void fitColumns();

    std::vector<Column> columns_;
    QPointer<OutlineTreeView> tree_;
    OutlineModel* model_ = nullptr;  // a child of tree_
    OutlineViewDataSource* dataSource_ = nullptr;
    OutlineViewDelegate* delegate_ = nullptr;
    std::map<std::string, CellFactory> prototypes_;
    // While a row is being reloaded: its former cell views by prototype, for reuse.
    std::map<std::string, std::vector<std::shared_ptr<TableCellView>>>* reusableCells_ = nullptr;
    bool autoresizesOutlineColumn_ = false;
    int minimumLastColumnWidth_ = 0;
    int updateDepth_ = 0;
    std::vector<Object*> pendingReloads_;
};

}  // namespace orvane
