// Building blocks shared by the record pages.
#include "console/RecordPageKit.h"

#include "platform/DataSet.h"
#include "platform/DbLookupCombo.h"
#include "platform/DbNavigator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>

namespace RecordPageKit {

namespace {
constexpr int PageBoxWidth = 40;
constexpr int PageSizeBoxWidth = 70;
constexpr int SearchEditWidth = 150;
const char* const LongDateFormat = "yyyy年M月d日";

QString Latin(const char* text) { return QString::fromLatin1(text); }
QString Utf8(const char* text) { return QString::fromUtf8(text); }
} // namespace

DataSetModel* AttachGrid(QTableView* grid, DataSet* q, const QList<DataSetColumn>& columns,
                         const QString& name)
{
    auto* model = new DataSetModel(q, columns, grid);
    model->setObjectName(name);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    grid->verticalHeader()->hide();
    model->ApplyColumns(grid);
    return model;
}

DataSetColumn Column(const char* field, const char* title, int width, bool visible)
{
    DataSetColumn column;
    column.field = Latin(field);
    column.title = Utf8(title);
    column.width = width;
    column.visible = visible;
    column.alignment = Qt::AlignCenter;
    return column;
}

PagerBar AddPagerBar(QWidget* page, const QString& stem)
{
    auto* bar = new QWidget(page);
    bar->setObjectName(QStringLiteral("Panel") + stem + QStringLiteral("Pager"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(4, 2, 4, 2);

    PagerBar pager;
    pager.navigator = new DbNavigator(bar);
    pager.navigator->setObjectName(QStringLiteral("Nav") + stem + QStringLiteral("Control"));
    pager.curPage = new QLineEdit(QStringLiteral("01"), bar);
    pager.curPage->setObjectName(QStringLiteral("Edt") + stem + QStringLiteral("CurPage"));
    pager.curPage->setReadOnly(true);
    pager.curPage->setAlignment(Qt::AlignCenter);
    pager.curPage->setFixedWidth(PageBoxWidth);
    pager.pageSize = new QComboBox(bar);
    pager.pageSize->setObjectName(QStringLiteral("Combox") + stem + QStringLiteral("PageSize"));
    pager.pageSize->setEditable(true);
    pager.pageSize->setInsertPolicy(QComboBox::NoInsert);
    // Typed sizes stand as typed: completing 20 to 200 or 1 to 1000 would load another page size.
    pager.pageSize->setCompleter(nullptr);
    pager.pageSize->addItems({QStringLiteral("200"), QStringLiteral("500"), QStringLiteral("1000"),
                              QStringLiteral("2000")});
    pager.pageSize->setCurrentText(QStringLiteral("500"));
    pager.pageSize->setFixedWidth(PageSizeBoxWidth);
    pager.total = new QLabel(bar);
    pager.total->setObjectName(QStringLiteral("Lbl") + stem + QStringLiteral("TotalPage"));

    row->addWidget(pager.navigator);
    row->addSpacing(8);
    row->addWidget(new QLabel(QStringLiteral("第"), bar));
    row->addWidget(pager.curPage);
    row->addWidget(new QLabel(QStringLiteral("页"), bar));
    row->addSpacing(12);
    row->addWidget(new QLabel(QStringLiteral("每页"), bar));
    row->addWidget(pager.pageSize);
    row->addWidget(new QLabel(QStringLiteral("条"), bar));
    row->addSpacing(12);
    row->addWidget(pager.total);
    row->addStretch(1);
    page->layout()->addWidget(bar);
    return pager;
}

QLineEdit* NewEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(Latin(name));
    edit->setMinimumWidth(SearchEditWidth);
    return edit;
}

DbLookupCombo* NewLookup(QWidget* parent, const char* name, DataSet* list, const char* keyField,
                         const char* listField)
{
    auto* box = new DbLookupCombo(parent);
    box->setObjectName(Latin(name));
    box->setMinimumWidth(SearchEditWidth);
    box->SetListSource(list, Latin(keyField), Latin(listField));
    return box;
}

QPushButton* NewButton(QWidget* parent, const char* name, const char* caption)
{
    auto* button = new QPushButton(Utf8(caption), parent);
    button->setObjectName(Latin(name));
    button->setAutoDefault(false);
    return button;
}

QCheckBox* NewCheckBox(QWidget* parent, const char* name, const char* caption)
{
    auto* box = new QCheckBox(Utf8(caption), parent);
    box->setObjectName(Latin(name));
    return box;
}

QDateEdit* NewDatePicker(QWidget* parent, const char* name)
{
    auto* picker = new QDateEdit(PickerDesignDate, parent);
    picker->setObjectName(Latin(name));
    picker->setDisplayFormat(Utf8(LongDateFormat));
    picker->setCalendarPopup(true);
    picker->setEnabled(false);
    return picker;
}

void AddField(QGridLayout* grid, int row, int column, const char* caption, QWidget* control)
{
    auto* label = new QLabel(Utf8(caption), control->parentWidget());
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setBuddy(control);
    grid->addWidget(label, row, column);
    grid->addWidget(control, row, column + 1);
}

void EnableDateRange(QCheckBox* box, QDateEdit* start, QDateEdit* end)
{
    const bool on = box->isChecked();
    start->setEnabled(on);
    end->setEnabled(on);
}

void AddDateRange(QGridLayout* grid, int row, int column, QCheckBox* box, QDateEdit* start, QDateEdit* end)
{
    grid->addWidget(box, row, column, Qt::AlignRight);
    AddField(grid, row, column + 1, "起始日期：", start);
    AddField(grid, row, column + 3, "截止日期：", end);
}

QMenu* NewPopup(QTableView* grid, const char* name)
{
    auto* menu = new QMenu(grid);
    menu->setObjectName(Latin(name));
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(grid, &QWidget::customContextMenuRequested, menu,
                     [grid, menu](const QPoint& pos) { menu->popup(grid->viewport()->mapToGlobal(pos)); });
    return menu;
}

QAction* AddItem(QMenu* menu, const char* name, const char* caption)
{
    QAction* item = menu->addAction(Utf8(caption));
    item->setObjectName(Latin(name));
    return item;
}

QString RangeStart(const QDate& date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
}

QString RangeEnd(const QDate& date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 23:59:59");
}

QString CurrentId(const DataSet& list, const char* field)
{
    return QString::number(list.AsInteger(Latin(field)));
}

} // namespace RecordPageKit
