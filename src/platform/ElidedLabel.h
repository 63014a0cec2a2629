// A label for a text that comes from data (a terminal's name, its position, what an agent reports):
// it never widens its window, and shows what does not fit cut with "…", the whole text in its tip.
#pragma once

#include <QLabel>

class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    // The text, and as the tip the same text whole (none for an empty text).
    void setText(const QString& text);
    void clear() { setText(QString()); }

    // As wide as its text where there is room (the size hint), but content with the width of "…"
    // where there is not: the text never sets a window's smallest width.
    QSize minimumSizeHint() const override;

protected:
    // The tip shown is the text shown, also when it was set through QLabel.
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
