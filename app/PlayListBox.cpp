#include "app/PlayListBox.h"

#include <algorithm>

#include <QAccessible>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include "app/PlayListAccessible.h"

namespace {

constexpr int kVisible = 6;

} // namespace

PlayListBox::PlayListBox(QWidget* Parent) : QFrame(Parent), scrollBar_(new QScrollBar(Qt::Vertical, this)) {
    static const bool accessible = [] {
        QAccessible::installFactory(PlayListAccessibleFactory);
        return true;
    }();
    Q_UNUSED(accessible);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    scrollBar_->setSingleStep(1);
    scrollBar_->setPageStep(kVisible);
    scrollBar_->hide();
    connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int Value) {
        if (Value == top_) return;
        top_ = Value;
        changed();
    });
}

void PlayListBox::appendItem(const QString& Text) {
    items_.append(Text);
    // A playlist file adds thousands of rows in a row: the scroll bar
    // follows once they are in.
    if (!scrollBarPending_) {
        scrollBarPending_ = true;
        QMetaObject::invokeMethod(this, [this] { updateScrollBar(); }, Qt::QueuedConnection);
    }
    if (count() - top_ <= kVisible) update();
}

void PlayListBox::removeItem(int Row) {
    if (Row < 0 || Row >= count()) return;
    items_.removeAt(Row);
    if (selected_ == Row)
        selected_ = -1;
    else if (selected_ > Row)
        --selected_;
    top_ = std::clamp(top_, 0, maxTop());
    updateScrollBar();
    changed();
}

void PlayListBox::setItem(int Row, const QString& Text) {
    if (Row < 0 || Row >= count() || items_[Row] == Text) return;
    items_[Row] = Text;
    changed();
}

void PlayListBox::clearItems() {
    items_.clear();
    selected_ = -1;
    top_ = 0;
    picture_ = QImage();
    updateScrollBar();
    changed();
}

void PlayListBox::setSelectedRow(int Row) {
    const int row = Row >= 0 && Row < count() ? Row : -1;
    if (row == selected_) return;
    selected_ = row;
    changed();
    if (row >= 0 && QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::Selection);
        event.setChild(row);
        QAccessible::updateAccessibility(&event);
    }
}

void PlayListBox::setTopRow(int Row) {
    const int row = std::clamp(Row, 0, maxTop());
    if (row == top_) return;
    top_ = row;
    updateScrollBar();
    changed();
}

int PlayListBox::maxTop() const {
    return std::max(0, count() - kVisible);
}

QSize PlayListBox::rowsSize() const {
    const QRect inner = contentsRect();
    const int bar = scrollBar_->isVisibleTo(this) ? scrollBar_->width() : 0;
    return {std::max(0, inner.width() - bar), inner.height()};
}

void PlayListBox::showPicture(const QImage& Picture) {
    picture_ = Picture;
    if (!painting_) update();
}

void PlayListBox::changed() {
    if (items_.isEmpty()) picture_ = QImage();
    update();
}

void PlayListBox::updateScrollBar() {
    scrollBarPending_ = false;
    const bool needed = count() > kVisible;
    QSignalBlocker block(scrollBar_);
    scrollBar_->setRange(0, maxTop());
    scrollBar_->setValue(top_);
    if (needed != scrollBar_->isVisibleTo(this)) {
        scrollBar_->setVisible(needed);
        changed();
    }
}

void PlayListBox::resizeEvent(QResizeEvent* Event) {
    QFrame::resizeEvent(Event);
    const QRect inner = contentsRect();
    const int width = scrollBar_->sizeHint().width();
    scrollBar_->setGeometry(inner.right() + 1 - width, inner.top(), width, inner.height());
    changed();
}

void PlayListBox::paintEvent(QPaintEvent* Event) {
    // The owner draws the rows first, as a list box asks for its items.
    painting_ = true;
    emit drawItem();
    painting_ = false;
    QPainter painter(this);
    const QRect rows(contentsRect().topLeft(), rowsSize());
    painter.fillRect(rows, Qt::white);
    if (!picture_.isNull()) painter.drawImage(rows.topLeft(), picture_);
    painter.end();
    QFrame::paintEvent(Event);
}

int PlayListBox::rowAt(int Y) const {
    const int row = top_ + (Y - contentsRect().top()) / kItemHeight;
    return Y >= contentsRect().top() && row < count() ? row : -1;
}

void PlayListBox::selectAndShow(int Row) {
    if (count() == 0) return;
    const int row = std::clamp(Row, 0, count() - 1);
    if (row < top_)
        setTopRow(row);
    else if (row >= top_ + kVisible)
        setTopRow(row - kVisible + 1);
    setSelectedRow(row);
}

void PlayListBox::mousePressEvent(QMouseEvent* Event) {
    const int row = rowAt(static_cast<int>(Event->position().y()));
    if (row >= 0 && Event->button() == Qt::LeftButton) selectAndShow(row);
    QFrame::mousePressEvent(Event);
}

void PlayListBox::mouseDoubleClickEvent(QMouseEvent* Event) {
    const int row = rowAt(static_cast<int>(Event->position().y()));
    if (row < 0 || Event->button() != Qt::LeftButton) return;
    selectAndShow(row);
    emit doubleClicked();
}

void PlayListBox::wheelEvent(QWheelEvent* Event) {
    const int steps = Event->angleDelta().y() / 40;
    if (steps != 0) setTopRow(top_ - steps);
    Event->accept();
}

void PlayListBox::keyPressEvent(QKeyEvent* Event) {
    const int current = selected_ < 0 ? top_ - 1 : selected_;
    switch (Event->key()) {
    case Qt::Key_Up: selectAndShow(selected_ < 0 ? top_ : current - 1); break;
    case Qt::Key_Down: selectAndShow(current + 1); break;
    case Qt::Key_PageUp: selectAndShow(current - kVisible + 1); break;
    case Qt::Key_PageDown: selectAndShow(current + kVisible - 1); break;
    case Qt::Key_Home: selectAndShow(0); break;
    case Qt::Key_End: selectAndShow(count() - 1); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (selected_ >= 0) emit doubleClicked();
        break;
    default: QFrame::keyPressEvent(Event); return;
    }
    Event->accept();
}
