// The main window's page control: a tab widget whose tab row the main window draws and handles.
#pragma once

#include <QTabBar>
#include <QTabWidget>

class TMainForm;

// The tab row: fixed-width tabs drawn by the main window, with mouse moves and releases passed on.
class PageTabBar : public QTabBar {
    Q_OBJECT
public:
    explicit PageTabBar(TMainForm* form, QWidget* parent = nullptr);

    static constexpr int TabWidth = 100;
    static constexpr int MinTabHeight = 24; // room for the 18-pixel close glyph at top + 2

protected:
    QSize tabSizeHint(int index) const override;
    QSize minimumTabSizeHint(int index) const override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TMainForm* form_;
};

// PageControlMain: the pages stay at their index whether their tab is shown or hidden.
class PageControl : public QTabWidget {
    Q_OBJECT
public:
    explicit PageControl(TMainForm* form, QWidget* parent = nullptr);
    PageTabBar* Bar() const { return bar_; }

private:
    PageTabBar* bar_;
};
