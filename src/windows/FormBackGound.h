// The splash window: a borderless picture shown while start-up does its slow work.
#pragma once

#include <QWidget>

class QLabel;

class TFormBackGound : public QWidget {
    Q_OBJECT
public:
    explicit TFormBackGound(QWidget* owner = nullptr);

    static constexpr int ClientWidth = 599;
    static constexpr int ClientHeight = 399;

    // Shows the window (not modal) and has it painted at once, before the blocking work starts.
    void ShowAndPaint();

    QLabel* Image1 = nullptr;
};

extern TFormBackGound* FormBackGound;
