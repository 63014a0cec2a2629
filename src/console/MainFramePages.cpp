// The main window's pages and tabs: showing and hiding pages, the owner-drawn closable tabs, the
// per-page toolbar, the resolvers and the toolbar and menu commands of the frame.
#include "console/MainForm.h"

#include "console/Icons.h"
#include "console/PageControl.h"
#include "foundation/DbMod.h"
#include "foundation/TPagerNavigator.h"
#include "windows/AboutBox.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGroupBox>
#include <QPainter>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

namespace {

// Enable flags of BtnNew, BtnEdit, BtnDel, BtnRefresh, BtnSearch, one row per page index.
constexpr bool PageButtonTable[TMainForm::PageCount][5] = {
    {1, 1, 1, 1, 1}, // devices
    {0, 0, 1, 1, 1}, // operation records
    {1, 1, 1, 1, 1}, // planned tasks
    {0, 0, 1, 1, 1}, // run records
    {1, 1, 1, 1, 1}, // operators
    {0, 0, 1, 1, 1}, // temperature records
    {0, 0, 0, 0, 0}, // console
};

// Tab picture of each page.
constexpr int PagePicture[TMainForm::PageCount] = {0, 1, 2, 3, 6, 3, 4};

// Where the parts of a tab are drawn, from the tab's rectangle.
constexpr int CaptionLeft = 26;
constexpr int CaptionTop = 4;
constexpr int PictureLeft = 6;
constexpr int PictureTop = 1;
constexpr int GlyphFromRight = 20;
constexpr int GlyphTop = 2;
constexpr int GlyphHitSize = 18;

bool HasCloseGlyph(int page)
{
    return page > TMainForm::PageIdxDev && page < TMainForm::PageIdxInfo;
}

// The first page of 1 to 5 whose shown tab has its close glyph at pos; -1 when none.
int GlyphAt(const std::array<QRect, TMainForm::PageCount>& rects, const QTabWidget* pages,
            const QPoint& pos)
{
    for (int i = TMainForm::PageIdxIns; i <= TMainForm::PageIdxTemp; ++i)
        if (pages->isTabVisible(i) && rects[i].contains(pos))
            return i;
    return -1;
}

} // namespace

// ---- pages and tabs

void TMainForm::ShowPage(int index)
{
    if (index < 0 || index > PageControlMain->count() - 1)
        return;
    if (!PageControlMain->isTabVisible(index))
        PageControlMain->setTabVisible(index, true);
    if (index != GetActivePageIndex()) {
        PageControlMain->setCurrentIndex(index);
        PageControlMainChange();
    }
}

void TMainForm::HidePage(int index)
{
    if (index < 0 || index > PageControlMain->count() - 1)
        return;
    if (index == GetActivePageIndex()) {
        // The tab that takes the hidden one's place becomes active: the next shown tab to its
        // right, or the last shown tab when none lies to the right.
        int next = -1;
        for (int i = index + 1; i < PageControlMain->count() && next < 0; ++i)
            if (PageControlMain->isTabVisible(i))
                next = i;
        for (int i = index - 1; i >= 0 && next < 0; --i)
            if (PageControlMain->isTabVisible(i))
                next = i;
        if (next >= 0)
            PageControlMain->setCurrentIndex(next);
    }
    PageControlMain->setTabVisible(index, false);
    // A hidden tab has no glyph: its old hit area must not catch clicks meant for the tab that
    // is now drawn at that place.
    TabCloseRects[index] = QRect();
    PageControlMainChange();
}

void TMainForm::ShowPageDev() { ShowPage(PageIdxDev); }
void TMainForm::ShowPageIns() { ShowPage(PageIdxIns); }
void TMainForm::ShowPageTask() { ShowPage(PageIdxTask); }
void TMainForm::ShowPageLog() { ShowPage(PageIdxLog); }
void TMainForm::ShowPageInfo() { ShowPage(PageIdxInfo); }

int TMainForm::GetActivePageIndex() const
{
    return PageControlMain->currentIndex();
}

int TMainForm::TabToPageIndex(int tabIndex) const
{
    const int count = PageControlMain->count();
    if (tabIndex <= 0)
        return PageIdxDev; // the device page always has the first tab
    if (tabIndex >= count)
        return PageIdxInfo;
    int visible = 0;
    for (int page = 1; page < count; ++page) {
        if (PageControlMain->isTabVisible(page) && ++visible == tabIndex)
            return page;
    }
    return PageIdxDev;
}

void TMainForm::PageControlMainChange()
{
    const int page = GetActivePageIndex();
    if (page < 0 || page >= PageCount)
        return;
    QToolButton* buttons[5] = {BtnNew, BtnEdit, BtnDel, BtnRefresh, BtnSearch};
    for (int i = 0; i < 5; ++i)
        buttons[i]->setEnabled(PageButtonTable[page][i]);
}

void TMainForm::PageControlMainDrawTab(QPainter& painter, int tabIndex, const QRect& rect, bool)
{
    const int page = TabToPageIndex(tabIndex);
    const int right = rect.x() + rect.width(); // the first column past the tab
    const int captionRight = HasCloseGlyph(page) ? right - GlyphFromRight : right;
    painter.setPen(PageControlMain->tabBar()->palette().color(QPalette::WindowText));
    painter.drawText(QRect(rect.left() + CaptionLeft, rect.top() + CaptionTop,
                           qMax(0, captionRight - rect.left() - CaptionLeft), rect.height()),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     PageControlMain->tabText(page));
    painter.drawPixmap(rect.left() + PictureLeft, rect.top() + PictureTop,
                       Icons::PageImage(PagePicture[page]));
    if (HasCloseGlyph(page)) {
        const QPoint glyph(right - GlyphFromRight, rect.top() + GlyphTop);
        painter.drawPixmap(glyph, Icons::PageImage(Icons::CloseGlyph));
        TabCloseRects[page] = QRect(glyph, QSize(GlyphHitSize, GlyphHitSize));
    }
}

void TMainForm::PageControlMainMouseMove(const QPoint& pos)
{
    QTabBar* bar = PageControlMain->tabBar();
    if (GlyphAt(TabCloseRects, PageControlMain, pos) >= 0)
        bar->setCursor(Qt::PointingHandCursor);
    else
        bar->unsetCursor();
}

void TMainForm::PageControlMainMouseUp(const QPoint& pos)
{
    const int page = GlyphAt(TabCloseRects, PageControlMain, pos);
    if (page < 0)
        return;
    HidePage(page);
    TabCloseRects[page] = QRect();
    PageControlMain->tabBar()->unsetCursor();
}

// ---- resolvers

QTableView* TMainForm::GetActiveGrid() const
{
    switch (GetActivePageIndex()) {
    case PageIdxDev: return GrdDev;
    case PageIdxIns: return GrdIns;
    case PageIdxTask: return GrdTask;
    case PageIdxLog: return GrdLog;
    case PageIdxUser: return GrdUser;
    case PageIdxTemp: return GrdTemp;
    default: return nullptr;
    }
}

DataSet* TMainForm::GetActiveQuery()
{
    switch (GetActivePageIndex()) {
    case PageIdxDev: return &QueryGrdDev;
    case PageIdxIns: return &QueryGrdIns;
    case PageIdxTask: return &QueryGrdTask;
    case PageIdxLog: return &QueryGrdLog;
    case PageIdxUser: return &QueryGrdUser;
    case PageIdxTemp: return &QueryGrdTemp;
    default: return nullptr;
    }
}

TPagerNavigator* TMainForm::GetActivePager() const
{
    // The record pages' pagers: page 1 -> Pagers[1], 2 -> [2], 3 -> [0], 4 -> [3], 5 -> [4];
    // null until the first show has made them.
    switch (GetActivePageIndex()) {
    case PageIdxIns: return Pagers[1].get();
    case PageIdxTask: return Pagers[2].get();
    case PageIdxLog: return Pagers[0].get();
    case PageIdxUser: return Pagers[3].get();
    case PageIdxTemp: return Pagers[4].get();
    default: return nullptr;
    }
}

void TMainForm::RefreshActivePage()
{
    if (TPagerNavigator* pager = GetActivePager()) {
        pager->Reload();
        return;
    }
    DataSet* query = GetActiveQuery();
    // A query that was never given a statement has nothing to read again.
    if (query && !query->CommandText.trimmed().isEmpty())
        FormDbMod->ReopenQuery(*query);
}

QGroupBox* TMainForm::SearchBoxOf(int page) const
{
    switch (page) {
    case PageIdxDev: return GbxDevSearch;
    case PageIdxIns: return GbxInsSearch;
    case PageIdxTask: return GbxTaskSearch;
    case PageIdxLog: return GbxLogSearch;
    case PageIdxUser: return GbxUserSearch;
    case PageIdxTemp: return GbxTempSearch;
    default: return nullptr;
    }
}

void TMainForm::ToggleSearchBox()
{
    if (QGroupBox* box = SearchBoxOf(GetActivePageIndex()))
        box->setVisible(box->isHidden());
}

// ---- toolbar and menu commands

void TMainForm::BtnRefreshClick()
{
    if (GetActivePageIndex() != PageIdxDev) {
        RefreshActivePage();
        return;
    }
    // The device page: tree from the database, every terminal checked with the console in
    // view, then the device grid read again.
    ShowPageInfo();
    BuildDevTree();
    CheckAllDevNet();
    ShowPageDev();
    RefreshActivePage();
}

void TMainForm::BtnShowClick(QAbstractButton* sender)
{
    QAbstractButton* button = sender ? sender : BtnShow;
    if (!PanelTree->isHidden()) { // shown as far as the window goes, even before the window is
        PanelTree->hide();
        button->setText(QStringLiteral("显示"));
    } else {
        PanelTree->show();
        button->setText(QStringLiteral("隐藏"));
    }
}

void TMainForm::BtnExitClick()
{
    if (Confirm(QStringLiteral("您确定要退出系统吗?")))
        QCoreApplication::quit(); // the loop ends; close handling and destruction follow
}

void TMainForm::E1Click() { BtnExitClick(); }

void TMainForm::A1Click()
{
    AboutBox = new TAboutBox(this);
    AboutBox->exec();
    delete AboutBox;
    AboutBox = nullptr;
}

void TMainForm::O2Click() { ShowPage(PageIdxDev); }
void TMainForm::N58Click() { ShowPage(PageIdxUser); }
void TMainForm::N44Click() { ShowPage(PageIdxTask); }
void TMainForm::I2Click() { ShowPage(PageIdxIns); }
void TMainForm::L1Click() { ShowPage(PageIdxLog); }
void TMainForm::N52Click() { ShowPage(PageIdxTemp); }
void TMainForm::T2Click() { ShowPage(PageIdxTask); }
