#pragma once

#include <QAccessibleInterface>
#include <QAccessibleWidget>
#include <QHash>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QString>

class QAbstractItemModel;
class QListView;

// What a screen reader meets in the composers' file browsers (QListViewFileSelection): a list
// with one item for each file of the folder shown, read by the model's accessible text (the
// display text when there is none) and described by its accessible description.
//
// Qt 5.15's own interface of a list view counts the rows under the model's top level (for a
// file-system model, one: the root of the file system) times every column of the model, and
// takes its children under the view's root index: it offers the first file's name, size, type
// and date as four items, and no other file of the folder.
class FileBrowserAccessible : public QAccessibleWidget
{
public:
    explicit FileBrowserAccessible(QListView *view);
    ~FileBrowserAccessible() override;
    Q_DISABLE_COPY(FileBrowserAccessible)

    // The accessibility factory of QListViewFileSelection (installed by the view).
    static QAccessibleInterface *factory(const QString &className, QObject *object);

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;

private:
    QListView *view() const;
    // Releases the items made so far (another folder or model is shown).
    void forgetItems() const;

    // The items made so far, by file path (stable while rows come and go), kept by Qt's
    // accessibility cache under these ids; and the folder and model they belong to.
    mutable QHash<QString, QAccessible::Id> m_items;
    mutable QPersistentModelIndex m_root;
    mutable QPointer<QAbstractItemModel> m_model;
};

// One file of the browser.
class FileBrowserItemAccessible : public QAccessibleInterface
{
public:
    FileBrowserItemAccessible(QListView *view, const QModelIndex &index);

    bool isValid() const override;
    QObject *object() const override;
    QWindow *window() const override;
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text t, const QString &text) override;
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;

    QModelIndex index() const { return m_index; }

private:
    QPointer<QListView> m_view;
    QPersistentModelIndex m_index;
};
