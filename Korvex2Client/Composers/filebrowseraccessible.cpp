#include "filebrowseraccessible.h"

#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QListView>
#include <QWidget>

namespace {

QString keyOf(const QModelIndex &index)
{
    const QString path = index.data(QFileSystemModel::FilePathRole).toString();
    return path.isEmpty() ? QStringLiteral("#%1").arg(index.row()) : path;
}

} // namespace

FileBrowserAccessible::FileBrowserAccessible(QListView *view)
    : QAccessibleWidget(view, QAccessible::List)
{
}

FileBrowserAccessible::~FileBrowserAccessible()
{
    forgetItems();
}

QAccessibleInterface *FileBrowserAccessible::factory(const QString &className, QObject *object)
{
    if (className == QLatin1String("QListViewFileSelection") && object && object->isWidgetType())
        return new FileBrowserAccessible(static_cast<QListView *>(object));
    return nullptr;
}

QListView *FileBrowserAccessible::view() const
{
    return static_cast<QListView *>(widget());
}

void FileBrowserAccessible::forgetItems() const
{
    for (QAccessible::Id id : qAsConst(m_items))
        QAccessible::deleteAccessibleInterface(id);
    m_items.clear();
}

int FileBrowserAccessible::childCount() const
{
    const QAbstractItemModel *model = view()->model();
    return model ? model->rowCount(view()->rootIndex()) : 0;
}

QAccessibleInterface *FileBrowserAccessible::child(int index) const
{
    QAbstractItemModel *model = view()->model();
    if (!model || index < 0)
        return nullptr;
    const QModelIndex root = view()->rootIndex();
    if (model != m_model || root != m_root) {
        forgetItems();
        m_model = model;
        m_root = root;
    }
    const QModelIndex item = model->index(index, view()->modelColumn(), root);
    if (!item.isValid())
        return nullptr;
    const QString key = keyOf(item);
    if (const QAccessible::Id id = m_items.value(key)) {
        auto *known = static_cast<FileBrowserItemAccessible *>(QAccessible::accessibleInterface(id));
        if (known && known->isValid() && known->index() == item)
            return known;
        QAccessible::deleteAccessibleInterface(id);
        m_items.remove(key);
    }
    auto *made = new FileBrowserItemAccessible(view(), item);
    m_items.insert(key, QAccessible::registerAccessibleInterface(made));
    return made;
}

int FileBrowserAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    const auto *item = dynamic_cast<const FileBrowserItemAccessible *>(child);
    if (!item || !item->isValid() || item->index().parent() != view()->rootIndex())
        return -1;
    return item->index().row();
}

QAccessibleInterface *FileBrowserAccessible::childAt(int x, int y) const
{
    const QModelIndex index = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
    return index.isValid() && index.parent() == view()->rootIndex() ? child(index.row()) : nullptr;
}

QAccessibleInterface *FileBrowserAccessible::focusChild() const
{
    const QModelIndex current = view()->currentIndex();
    return current.isValid() && current.parent() == view()->rootIndex() ? child(current.row()) : nullptr;
}

FileBrowserItemAccessible::FileBrowserItemAccessible(QListView *view, const QModelIndex &index)
    : m_view(view)
    , m_index(index)
{
}

bool FileBrowserItemAccessible::isValid() const
{
    return m_view && m_view->model() == m_index.model() && m_index.isValid();
}

QObject *FileBrowserItemAccessible::object() const
{
    return nullptr;
}

QWindow *FileBrowserItemAccessible::window() const
{
    QAccessibleInterface *list = parent();
    return list ? list->window() : nullptr;
}

QAccessibleInterface *FileBrowserItemAccessible::parent() const
{
    return m_view ? QAccessible::queryAccessibleInterface(m_view.data()) : nullptr;
}

QAccessibleInterface *FileBrowserItemAccessible::child(int) const
{
    return nullptr;
}

int FileBrowserItemAccessible::childCount() const
{
    return 0;
}

int FileBrowserItemAccessible::indexOfChild(const QAccessibleInterface *) const
{
    return -1;
}

QAccessibleInterface *FileBrowserItemAccessible::childAt(int, int) const
{
    return nullptr;
}

QString FileBrowserItemAccessible::text(QAccessible::Text t) const
{
    if (!isValid())
        return QString();
    // As Qt's own item views read an item.
    if (t == QAccessible::Name) {
        const QString name = m_index.data(Qt::AccessibleTextRole).toString();
        return name.isEmpty() ? m_index.data(Qt::DisplayRole).toString() : name;
    }
    if (t == QAccessible::Description)
        return m_index.data(Qt::AccessibleDescriptionRole).toString();
    return QString();
}

void FileBrowserItemAccessible::setText(QAccessible::Text, const QString &)
{
    // The browser is read-only.
}

QRect FileBrowserItemAccessible::rect() const
{
    if (!isValid())
        return QRect();
    const QRect item = m_view->visualRect(m_index);
    if (item.isNull())
        return QRect();
    return item.translated(m_view->viewport()->mapToGlobal(QPoint(0, 0)));
}

QAccessible::Role FileBrowserItemAccessible::role() const
{
    return QAccessible::ListItem;
}

QAccessible::State FileBrowserItemAccessible::state() const
{
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    if (!m_view->viewport()->rect().intersects(m_view->visualRect(m_index)))
        state.invisible = true;
    const QItemSelectionModel *selection = m_view->selectionModel();
    if (selection && selection->isSelected(m_index))
        state.selected = true;
    if (selection && selection->currentIndex() == m_index)
        state.focused = true;
    if (m_index.flags() & Qt::ItemIsSelectable) {
        state.selectable = true;
        state.focusable = true;
        state.multiSelectable = m_view->selectionMode() == QAbstractItemView::MultiSelection;
        state.extSelectable = m_view->selectionMode() == QAbstractItemView::ExtendedSelection;
    }
    return state;
}
