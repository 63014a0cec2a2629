// The navigator bar of a paged grid: four buttons (first, prior, next, last) that report their index.
#pragma once

#include <QWidget>

class QToolButton;

class DbNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { First = 0, Prior = 1, Next = 2, Last = 3, ButtonCount = 4 };

    explicit DbNavigator(QWidget* parent = nullptr);

    QToolButton* ButtonAt(int index) const; // null for an index outside 0..3
    void SetButtonEnabled(int index, bool enabled);
    bool ButtonEnabled(int index) const;

signals:
    // A button was clicked; index as in Button.
    void BtnClick(int index);

private:
    QToolButton* buttons_[ButtonCount] = {};
};
