// The playlist view: a list of item texts with one selected row and a top
// row, whose rows are drawn by the owner (the picture it is handed) rather
// than by the list itself.
#pragma once

#include <QFrame>
#include <QImage>
#include <QStringList>

class QScrollBar;

class PlayListBox : public QFrame {
    Q_OBJECT

  public:
    static constexpr int kItemHeight = 16;

    explicit PlayListBox(QWidget* Parent);

    int count() const { return static_cast<int>(items_.size()); }
    QString item(int Row) const { return Row >= 0 && Row < count() ? items_[Row] : QString(); }
    void appendItem(const QString& Text);
    void removeItem(int Row);
    void setItem(int Row, const QString& Text);
    void clearItems();
    int selectedRow() const { return selected_; }
    void setSelectedRow(int Row);
    int topRow() const { return top_; }
    void setTopRow(int Row);
    // The area the rows are drawn in.
    QSize rowsSize() const;
    void showPicture(const QImage& Picture);

  signals:
    // Asked before every paint: the owner hands the rows' picture back.
    void drawItem();
    void doubleClicked();

  protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;

  private:
    int rowAt(int Y) const;
    int maxTop() const;
    void selectAndShow(int Row);
    void updateScrollBar();
    void changed();

    QStringList items_;
    int selected_ = -1;
    int top_ = 0;
    QImage picture_;
    bool painting_ = false;
    bool scrollBarPending_ = false;
    QScrollBar* scrollBar_;
};
