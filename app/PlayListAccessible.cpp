#include "app/PlayListAccessible.h"

#include <QAccessibleWidget>
#include <QHash>

#include "app/PlayListBox.h"

namespace {

class PlayListRow : public QAccessibleInterface {
  public:
    PlayListRow(PlayListBox* Box, int Row) : box_(Box), row_(Row) {}

    bool isValid() const override { return box_ && row_ < box_->count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return parent()->window(); }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(box_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QString text(QAccessible::Text Kind) const override {
        return Kind == QAccessible::Name && isValid() ? box_->item(row_) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QRect rect() const override {
        const int visibleRow = row_ - box_->topRow();
        const QRect rows(box_->contentsRect().topLeft(), box_->rowsSize());
        const QRect place(rows.left(), rows.top() + visibleRow * PlayListBox::kItemHeight, rows.width(),
                          PlayListBox::kItemHeight);
        return place.intersects(rows) ? QRect(box_->mapToGlobal(place.topLeft()), place.size()) : QRect();
    }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.selectable = true;
        state.selected = box_->selectedRow() == row_;
        state.invisible = rect().isNull();
        state.offscreen = state.invisible;
        return state;
    }

  private:
    PlayListBox* box_;
    int row_;
};

class PlayListAccessible : public QAccessibleWidget {
  public:
    explicit PlayListAccessible(PlayListBox* Box) : QAccessibleWidget(Box, QAccessible::List) {}
    ~PlayListAccessible() override {
        for (QAccessible::Id id : std::as_const(rows_)) QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return box()->count(); }
    QAccessibleInterface* child(int Index) const override {
        if (Index < 0 || Index >= box()->count()) return nullptr;
        auto known = rows_.constFind(Index);
        if (known != rows_.constEnd()) return QAccessible::accessibleInterface(*known);
        auto* row = new PlayListRow(box(), Index);
        rows_.insert(Index, QAccessible::registerAccessibleInterface(row));
        return row;
    }
    int indexOfChild(const QAccessibleInterface* Child) const override {
        for (auto it = rows_.constBegin(); it != rows_.constEnd(); ++it)
            if (QAccessible::accessibleInterface(it.value()) == Child) return it.key();
        return -1;
    }
    QAccessibleInterface* focusChild() const override { return child(box()->selectedRow()); }

  private:
    PlayListBox* box() const { return static_cast<PlayListBox*>(widget()); }
    mutable QHash<int, QAccessible::Id> rows_;
};

} // namespace

QAccessibleInterface* PlayListAccessibleFactory(const QString& ClassName, QObject* Object) {
    if (ClassName == QLatin1String("PlayListBox") && Object && Object->isWidgetType())
        return new PlayListAccessible(static_cast<PlayListBox*>(Object));
    return nullptr;
}
