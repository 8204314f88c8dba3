#include "rename/ListBox.h"

#include "platform/Files.h"

#include <QBrush>

class ListBox::Model : public QAbstractListModel {
public:
    Model(const QStringList &items, const QSet<qsizetype> &marked, QObject *parent)
        : QAbstractListModel(parent), items_(items), marked_(marked) {}

    int rowCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : shown_; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= shown_)
            return {};
        if (role == Qt::DisplayRole)
            return platform::shownPath(items_[index.row()]);
        if (role == Qt::ForegroundRole && marked_.contains(index.row()))
            return QBrush(Qt::red);
        return {};
    }

    void showAll()
    {
        const int total = int(items_.size());
        if (total <= shown_)
            return;
        beginInsertRows({}, shown_, total - 1);
        shown_ = total;
        endInsertRows();
    }
    void reset(const std::function<void()> &change)
    {
        beginResetModel();
        change();
        shown_ = 0;
        endResetModel();
    }

private:
    const QStringList &items_;
    const QSet<qsizetype> &marked_;
    int shown_ = 0;
};

ListBox::ListBox(QWidget *parent) : QListView(parent), model_(new Model(items_, marked_, this))
{
    setModel(model_);
    // Every row has the height of one line of text: no per-row measuring.
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    sinceFlush_.start();
}

void ListBox::addItem(const QString &text)
{
    items_.append(text);
    if (onItemAdded)
        onItemAdded(text);
    if (sinceFlush_.elapsed() >= kFlushMs)
        flush();
}

void ListBox::flush()
{
    model_->showAll();
    sinceFlush_.restart();
}

void ListBox::clear()
{
    model_->reset([this] {
        items_.clear();
        marked_.clear();
    });
    sinceFlush_.restart();
}

void ListBox::setItems(const QStringList &texts, const QSet<qsizetype> &marked)
{
    model_->reset([&] {
        items_ = texts;
        marked_ = marked;
    });
    flush();
}
