#include "qt/QtOutlineView.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "qt/QtControls.h"

namespace orvane {

// One row of the outline as the data source gave it: the item, its children once asked for, and
// the cell views it hosts.
struct QtOutlineView::Node {
    Object* item = nullptr;
    Node* parent = nullptr;
    int row = 0;
    bool childrenLoaded = false;
    std::vector<std::unique_ptr<Node>> children;
    std::vector<std::shared_ptr<TableCellView>> cells;  // one per column; a spanned row uses [0]
    bool spanned = false;
    bool rowViewAdded = false;
    bool groupRowStyle = false;
};

namespace {

// The row view handed to the delegate when a row first appears.
class QtRowView : public RowView {
public:
    explicit QtRowView(bool& groupRowStyle) : groupRowStyle_(groupRowStyle) {}
    bool isGroupRowStyle() const override { return groupRowStyle_; }
    void setGroupRowStyle(bool groupRowStyle) override { groupRowStyle_ = groupRowStyle; }

private:
    bool& groupRowStyle_;
};

QWidget* widgetOf(const std::shared_ptr<TableCellView>& cell) {
    auto* hosted = dynamic_cast<QtHostedCell*>(cell.get());
    return hosted ? hosted->widget() : nullptr;
}

// What a cell widget shows, as text: its own accessible name, a label's or a button's text, or
// those of the labels and buttons in it.
QString cellText(const QWidget* widget) {
    if (!widget) return {};
    if (!widget->accessibleName().isEmpty()) return widget->accessibleName();
    if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
    QStringList parts;
    for (const QWidget* child : widget->findChildren<const QWidget*>()) {
        QString text;
        if (const auto* label = qobject_cast<const QLabel*>(child)) text = label->text();
        if (const auto* button = qobject_cast<const QAbstractButton*>(child)) text = button->text();
        if (!text.isEmpty() && child->isVisibleTo(widget)) parts << text;
    }
    return parts.join(QStringLiteral(", "));
}

// Rows are as tall as the cell views they host; a cell whose height depends on its width (a
// value wrapped onto a second line) is as tall as it needs at its column's width.
class CellSizeDelegate : public QStyledItemDelegate {
public:
    CellSizeDelegate(QTreeView* view) : QStyledItemDelegate(view), view_(view) {}

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const override {
        QWidget* widget = view_->indexWidget(index);
        if (!widget) return {0, minimumRowHeight};
        const QSize hint = widget->sizeHint();
        int height = hint.height();
        if (widget->hasHeightForWidth()) {
            const bool spanned = index.column() == 0 && view_->isFirstColumnSpanned(index.row(), index.parent());
            height = widget->heightForWidth(spanned ? view_->viewport()->width() : view_->columnWidth(index.column()));
        }
        return {hint.width(), std::max(height, minimumRowHeight)};
    }

    void paint(QPainter*, const QStyleOptionViewItem&, const QModelIndex&) const override {}

private:
    static constexpr int minimumRowHeight = 22;
    QTreeView* view_;
};

}  // namespace

// The item model that mirrors the data source.
class OutlineModel : public QAbstractItemModel {
public:
    using Node = QtOutlineView::Node;

    OutlineModel(QtOutlineView* outline, int columnCount, QObject* parent)
        : QAbstractItemModel(parent), outline_(outline), columnCount_(columnCount) {}

    void detach() { outline_ = nullptr; }
    Node& root() { return root_; }

    Node* nodeFor(const QModelIndex& index) const {
        return index.isValid() ? static_cast<Node*>(index.internalPointer()) : const_cast<Node*>(&root_);
    }

    QModelIndex indexFor(const Node& node, int column) const {
        if (&node == &root_) return {};
        return createIndex(node.row, column, const_cast<Node*>(&node));
    }

    void ensureChildren(Node& node) const {
        if (node.childrenLoaded) return;
        node.childrenLoaded = true;
        if (!outline_ || !outline_->dataSource_) return;
        OutlineViewDataSource& source = *outline_->dataSource_;
        const long count = std::max(0L, source.numberOfChildrenOfItem(*outline_, node.item));
        node.children.reserve(std::size_t(count));
        for (long i = 0; i < count; ++i) {
            auto child = std::make_unique<Node>();
            child->item = source.childOfItem(*outline_, i, node.item);
            child->parent = &node;
            child->row = int(i);
            node.children.push_back(std::move(child));
        }
    }

    void reset() {
        beginResetModel();
        root_.children.clear();
        root_.childrenLoaded = false;
        endResetModel();
    }

    // One index stands for the row: the tree then measures the row again (and relays the rows
    // out only when its height changed) and repaints that cell, where a range would repaint
    // the whole outline. The cells are widgets that repaint themselves as their text changes.
    void rowChanged(const Node& node) {
        const QModelIndex cell = indexFor(node, node.spanned ? 0 : columnCount_ - 1);
        emit dataChanged(cell, cell);
    }

    QModelIndex index(int row, int column, const QModelIndex& parent) const override {
        if (parent.isValid() && parent.column() != 0) return {};
        Node* node = nodeFor(parent);
        ensureChildren(*node);
        if (row < 0 || row >= int(node->children.size()) || column < 0 || column >= columnCount_) return {};
        return createIndex(row, column, node->children[std::size_t(row)].get());
    }

    QModelIndex parent(const QModelIndex& index) const override {
        if (!index.isValid()) return {};
        Node* parentNode = nodeFor(index)->parent;
        if (!parentNode || parentNode == &root_) return {};
        return createIndex(parentNode->row, 0, parentNode);
    }

    int rowCount(const QModelIndex& parent) const override {
        if (parent.isValid() && parent.column() != 0) return 0;
        Node* node = nodeFor(parent);
        ensureChildren(*node);
        return int(node->children.size());
    }

    int columnCount(const QModelIndex&) const override { return columnCount_; }

    bool hasChildren(const QModelIndex& parent) const override {
        if (!parent.isValid()) return rowCount(parent) > 0;
        if (parent.column() != 0 || !outline_ || !outline_->dataSource_) return false;
        return outline_->dataSource_->isItemExpandable(*outline_, nodeFor(parent)->item);
    }

    // The cells are widgets over the rows; a screen reader reads a cell as the text it shows.
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::AccessibleTextRole || !outline_ || !outline_->tree_) return {};
        return cellText(outline_->tree_->indexWidget(index));
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid()) return Qt::NoItemFlags;
        Qt::ItemFlags flags = Qt::ItemIsEnabled;
        if (outline_ && outline_->delegate_ && outline_->delegate_->shouldSelectItem(*outline_, nodeFor(index)->item)) {
            flags |= Qt::ItemIsSelectable;
        }
        return flags;
    }

private:
    QtOutlineView* outline_;
    int columnCount_;
    mutable Node root_;
};

// --- tree view ---

OutlineTreeView::OutlineTreeView(QWidget* parent) : QTreeView(parent) {
    connect(header(), &QHeaderView::sectionResized, this, [this](int section) {
        if (section < header()->count() - 1) fitLastColumn();
    });
}

bool OutlineTreeView::viewportEvent(QEvent* event) {
    const bool handled = QTreeView::viewportEvent(event);
    if (event->type() == QEvent::Resize) fitLastColumn();
    return handled;
}

void OutlineTreeView::fitLastColumn() {
    const int last = header()->count() - 1;
    if (last < 0) return;
    int used = 0;
    for (int column = 0; column < last; ++column) used += columnWidth(column);
    const int width = std::max(header()->minimumSectionSize(), viewport()->width() - used);
    if (columnWidth(last) == width) return;
    setColumnWidth(last, width);
    // A value's height can depend on its width: the rows are measured again at the new width.
    scheduleDelayedItemsLayout();
}

void OutlineTreeView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
    QTreeView::dataChanged(topLeft, bottomRight, roles);
    // The tree measures a changed row again but leaves the cells where they were: when the row's
    // height changed (a value took a second line), its cells and those below it are moved.
    QWidget* cell = indexWidget(topLeft);
    if (cell && cell->isVisible() && cell->height() != visualRect(topLeft).height()) updateEditorGeometries();
}

void OutlineTreeView::drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const {
    if (showsOutlineCell && showsOutlineCell(index)) QTreeView::drawBranches(painter, rect, index);
}

void OutlineTreeView::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem row = option;
    row.state &= ~QStyle::State_MouseOver;
    if (hasGroupRowStyle && hasGroupRowStyle(index)) {
        painter->fillRect(QRect(0, row.rect.y(), viewport()->width(), row.rect.height()),
                          palette().color(QPalette::AlternateBase));
    }
    QTreeView::drawRow(painter, row, index);
}

// --- outline view ---

QtOutlineView::QtOutlineView(std::vector<Column> columns, QWidget* parent)
    : columns_(std::move(columns)), tree_(new OutlineTreeView(parent)) {
    model_ = new OutlineModel(this, int(columns_.size()), tree_);
    tree_->setModel(model_);
    tree_->setItemDelegate(new CellSizeDelegate(tree_));
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(false);
    tree_->setItemsExpandable(false);
    tree_->setExpandsOnDoubleClick(false);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree_->setFocusPolicy(Qt::NoFocus);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    tree_->setIndentation(10);
    tree_->setFrameShape(QFrame::NoFrame);
    tree_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The last column takes whatever width the others leave, never more (the header is hidden,
    // so the tree fits it itself).
    tree_->header()->setStretchLastSection(false);
    for (std::size_t c = 0; c < columns_.size(); ++c) tree_->setColumnWidth(int(c), columns_[c].initialWidth);

    tree_->showsOutlineCell = [this](const QModelIndex& index) {
        return delegate_ && delegate_->shouldShowOutlineCellForItem(*this, itemAtIndex(index));
    };
    tree_->hasGroupRowStyle = [this](const QModelIndex& index) {
        return index.isValid() && model_->nodeFor(index)->groupRowStyle;
    };
    QObject::connect(tree_, &QTreeView::expanded, tree_, [this](const QModelIndex& index) {
        makeCellsForChildren(*model_->nodeFor(index.siblingAtColumn(0)));
    });
}

QtOutlineView::~QtOutlineView() {
    if (tree_) {
        tree_->showsOutlineCell = nullptr;
        tree_->hasGroupRowStyle = nullptr;
        QObject::disconnect(tree_, &QTreeView::expanded, tree_, nullptr);
        model_->detach();
    }
}

QAbstractItemModel* QtOutlineView::model() const { return model_; }

void QtOutlineView::registerCellPrototype(const std::string& identifier, CellFactory factory) {
    prototypes_[identifier] = std::move(factory);
}

void QtOutlineView::setDataSource(OutlineViewDataSource* dataSource) { dataSource_ = dataSource; }

void QtOutlineView::setDelegate(OutlineViewDelegate* delegate) { delegate_ = delegate; }

void QtOutlineView::reloadData() {
    if (!tree_) return;
    pendingReloads_.clear();
    model_->reset();
    makeCellsForChildren(model_->root());
    fitColumns();
}

void QtOutlineView::makeCellsForChildren(Node& node) {
    model_->ensureChildren(node);
    for (auto& child : node.children) makeCells(*child);
}

void QtOutlineView::makeCells(Node& node) {
    if (!tree_) return;
    // The row's former cell views, by prototype, are what makeViewWithIdentifier hands out first.
    std::map<std::string, std::vector<std::shared_ptr<TableCellView>>> reusable;
    for (auto& cell : node.cells) {
        if (auto* hosted = dynamic_cast<QtHostedCell*>(cell.get())) reusable[hosted->identifier()].push_back(cell);
    }
    reusableCells_ = &reusable;

    std::vector<std::shared_ptr<TableCellView>> cells(columns_.size());
    bool spanned = false;
    const bool group = delegate_ && delegate_->isGroupItem(*this, node.item);
    if (group) {
        if (auto cell = delegate_->viewForTableColumn(*this, std::nullopt, node.item)) {
            cells[0] = std::move(cell);
            spanned = true;
        }
    }
    if (!spanned && delegate_) {
        for (std::size_t c = 0; c < columns_.size(); ++c) {
            cells[c] = delegate_->viewForTableColumn(*this, columns_[c].identifier, node.item);
        }
    }
    reusableCells_ = nullptr;

    const QModelIndex parentIndex = model_->indexFor(*node.parent, 0);
    if (spanned != node.spanned || !node.rowViewAdded) tree_->setFirstColumnSpanned(node.row, parentIndex, spanned);
    node.spanned = spanned;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        // A cell that keeps its widget is left alone: setting it again would make the tree
        // measure the row once more for each column.
        const QModelIndex index = model_->indexFor(node, int(c));
        QWidget* widget = widgetOf(cells[c]);
        if (tree_->indexWidget(index) != widget) tree_->setIndexWidget(index, widget);
    }
    node.cells = std::move(cells);

    if (!node.rowViewAdded) {
        node.rowViewAdded = true;
        node.groupRowStyle = group;
        if (delegate_) {
            QtRowView rowView(node.groupRowStyle);
            delegate_->didAddRowView(*this, rowView, displayRow(node));
        }
    }
    model_->rowChanged(node);
}

std::shared_ptr<TableCellView> QtOutlineView::makeViewWithIdentifier(const std::string& identifier, Object*) {
    if (reusableCells_) {
        auto found = reusableCells_->find(identifier);
        if (found != reusableCells_->end() && !found->second.empty()) {
            auto cell = std::move(found->second.back());
            found->second.pop_back();
            return cell;
        }
    }
    auto prototype = prototypes_.find(identifier);
    if (prototype == prototypes_.end()) return nullptr;
    return prototype->second();
}

void QtOutlineView::findNodes(Node& from, Object* item, std::vector<Node*>& found) const {
    for (auto& child : from.children) {
        if (child->item == item) found.push_back(child.get());
        findNodes(*child, item, found);
    }
}

void QtOutlineView::expandItem(Object* item, bool expandChildren) {
    if (!tree_) return;
    Node& root = model_->root();
    model_->ensureChildren(root);
    if (!item) {
        // The root is always expanded; with its children, every row below it is.
        if (expandChildren) {
            for (auto& child : root.children) expandNode(*child, true);
        }
        fitColumns();
        return;
    }
    std::vector<Node*> nodes;
    findNodes(root, item, nodes);
    for (Node* node : nodes) expandNode(*node, expandChildren);
    fitColumns();
}

void QtOutlineView::expandNode(Node& node, bool expandChildren) {
    const QModelIndex index = model_->indexFor(node, 0);
    if (!model_->hasChildren(index)) return;
    if (!tree_->isExpanded(index)) {
        tree_->expand(index);  // makes the children's cells through the expanded signal
    }
    model_->ensureChildren(node);
    if (expandChildren) {
        for (auto& child : node.children) expandNode(*child, true);
    }
}

void QtOutlineView::setAutoresizesOutlineColumn(bool autoresizes) {
    autoresizesOutlineColumn_ = autoresizes;
    fitColumns();
}

void QtOutlineView::fitColumns() {
    if (!tree_) return;
    if (autoresizesOutlineColumn_ && columns_.size() > 1) {
        // The outline column is as wide as its widest shown cell, indented by its depth.
        int widest = 0;
        std::function<void(const Node&, int)> measure = [&](const Node& node, int depth) {
            for (const auto& child : node.children) {
                if (!child->rowViewAdded) continue;
                if (!child->spanned) {
                    if (QWidget* cell = widgetOf(child->cells[0])) {
                        widest = std::max(widest, cell->sizeHint().width() + depth * tree_->indentation());
                    }
                }
                measure(*child, depth + 1);
            }
        };
        measure(model_->root(), 0);
        if (widest > 0) tree_->setColumnWidth(0, widest + 8);
    }
    if (minimumLastColumnWidth_ > 0) {
        // Titles grow with the desktop's font and the language: the outline grows with them
        // rather than squeezing the values.
        int others = 0;
        for (int column = 0; column + 1 < int(columns_.size()); ++column) others += tree_->columnWidth(column);
        tree_->setMinimumWidth(others + minimumLastColumnWidth_ + 2 * tree_->frameWidth());
    }
    tree_->fitLastColumn();
}

void QtOutlineView::setMinimumLastColumnWidth(int width) {
    minimumLastColumnWidth_ = width;
    fitColumns();
}

void QtOutlineView::beginUpdates() { ++updateDepth_; }

void QtOutlineView::endUpdates() {
    if (updateDepth_ == 0) return;
    if (--updateDepth_ > 0) return;
    const std::vector<Object*> items = std::move(pendingReloads_);
    pendingReloads_.clear();
    for (Object* item : items) reloadNow(item);
}

void QtOutlineView::reloadItem(Object* item) {
    if (!item) return;
    if (updateDepth_ > 0) {
        pendingReloads_.push_back(item);
        return;
    }
    reloadNow(item);
}

void QtOutlineView::reloadNow(Object* item) {
    if (!tree_) return;
    std::vector<Node*> nodes;
    findNodes(model_->root(), item, nodes);
    // Only rows that have been shown have cells to renew; the others get theirs when they appear.
    for (Node* node : nodes) {
        if (node->rowViewAdded) makeCells(*node);
    }
}

long QtOutlineView::displayRow(const Node& node) const {
    long row = 0;
    bool found = false;
    std::function<void(const Node&)> walk = [&](const Node& parent) {
        for (const auto& child : parent.children) {
            if (found) return;
            if (child.get() == &node) {
                found = true;
                return;
            }
            ++row;
            if (tree_->isExpanded(model_->indexFor(*child, 0))) walk(*child);
        }
    };
    walk(model_->root());
    return found ? row : -1;
}

QModelIndex QtOutlineView::indexOfItem(Object* item) const {
    std::vector<Node*> nodes;
    findNodes(model_->root(), item, nodes);
    return nodes.empty() ? QModelIndex() : model_->indexFor(*nodes.front(), 0);
}

Object* QtOutlineView::itemAtIndex(const QModelIndex& index) const {
    return index.isValid() ? model_->nodeFor(index)->item : nullptr;
}

std::shared_ptr<TableCellView> QtOutlineView::cellView(Object* item,
                                                       const std::optional<std::string>& columnIdentifier) const {
    std::vector<Node*> nodes;
    findNodes(model_->root(), item, nodes);
    if (nodes.empty()) return nullptr;
    const Node& node = *nodes.front();
    if (!columnIdentifier) return node.spanned ? node.cells[0] : nullptr;
    if (node.spanned) return nullptr;
    for (std::size_t c = 0; c < columns_.size() && c < node.cells.size(); ++c) {
        if (columns_[c].identifier == *columnIdentifier) return node.cells[c];
    }
    return nullptr;
}

bool QtOutlineView::isGroupRowStyle(Object* item) const {
    std::vector<Node*> nodes;
    findNodes(model_->root(), item, nodes);
    return !nodes.empty() && nodes.front()->groupRowStyle;
}

}  // namespace orvane
