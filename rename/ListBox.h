#pragma once
#include <QAbstractListModel>
#include <QElapsedTimer>
#include <QListView>
#include <QSet>
#include <QStringList>
#include <functional>

// A list box for long listings. Entries keep their insertion order; a path whose name is not
// UTF-8 is shown with its stray bytes as "\xNN". While a command adds
// entries one by one, the view hears of them in batches (at most every kFlushMs and when the
// command calls flush), so that a listing of ten thousand files costs a handful of layouts
// instead of one layout of the whole list per entry.
class ListBox : public QListView {
    Q_OBJECT
public:
    explicit ListBox(QWidget *parent = nullptr);

    void addItem(const QString &text);
    // Replaces every entry at once (no onItemAdded), the rows `marked` drawn as a warning.
    void setItems(const QStringList &texts, const QSet<qsizetype> &marked = {});
    bool isMarked(qsizetype i) const { return marked_.contains(i); }
    // Shows every entry added so far.
    void flush();
    void clear();
    qsizetype count() const { return items_.size(); }
    const QString &item(qsizetype i) const { return items_[i]; }
    const QStringList &items() const { return items_; }

    // Called for each entry as it is added (the command line prints them).
    std::function<void(const QString &)> onItemAdded;

private:
    class Model;
    static constexpr int kFlushMs = 100;
    QStringList items_;
    QSet<qsizetype> marked_;
    Model *model_;
    QElapsedTimer sinceFlush_;
};
