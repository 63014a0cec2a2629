// The device tree, the device grid and the detail box of the main window: building them and
// filling the detail box.
#include "console/DevIcons.h"
#include "console/DevTree.h"
#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "foundation/DbMod.h"
#include "platform/DataSetModel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>

namespace {

constexpr int TreeIndent = 21;

ElidedLabel* ValueLabel(QWidget* parent, const char* name)
{
    auto* label = new ElidedLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QLabel* Picture(QWidget* parent, const char* name, const QPixmap& pixmap)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setPixmap(pixmap);
    label->setFixedSize(pixmap.size());
    label->hide();
    return label;
}

} // namespace

void TMainForm::BuildDevicePanels()
{
    // Tree: read only, hot tracking, one root and the four state groups.
    TreeDev = new QTreeWidget(PanelTree);
    TreeDev->setObjectName(QStringLiteral("TreeDev"));
    TreeDev->setColumnCount(1);
    TreeDev->setHeaderHidden(true);
    TreeDev->setIndentation(TreeIndent);
    TreeDev->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeDev->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeDev->setMouseTracking(true);
    TreeDev->setUniformRowHeights(true); // rows are measured once, not per node
    TreeDev->setSortingEnabled(false);
    PanelTree->layout()->addWidget(TreeDev);
    devTree_ = std::make_shared<DevTree>(TreeDev);

    // Grid: every terminal, sorted by name; whole-row multi-selection.
    QueryGrdDev.CommandText = QStringLiteral(
        "select * from zol_baseinfo a left join zol_status b  on a.id = b.zol_id order by a.name");
    const Qt::Alignment centre = Qt::AlignCenter;
    QList<DataSetColumn> columns{
        {QStringLiteral("id"), QString(), 0, false, centre},
        {QString(), QStringLiteral("序号"), 40, true, centre},
        {QStringLiteral("name"), QStringLiteral("设备名称"), 203, true, centre},
        {QStringLiteral("ip"), QStringLiteral("IP地址"), 142, true, centre},
        {QStringLiteral("mac"), QStringLiteral("MAC地址"), 134, true, centre},
        {QStringLiteral("position"), QStringLiteral("地理位置"), 226, true, centre},
        {QStringLiteral("relayip"), QStringLiteral("网络控制器IP"), 133, true, centre},
        {QStringLiteral("port"), QStringLiteral("控制端口"), 103, true, centre},
        {QStringLiteral("memo"), QStringLiteral("设备备注"), 121, true, centre},
    };
    GrdDev = new QTableView(PageDev);
    GrdDev->setObjectName(QStringLiteral("GrdDev"));
    GrdDev->setSelectionBehavior(QAbstractItemView::SelectRows);
    GrdDev->setSelectionMode(QAbstractItemView::ExtendedSelection);
    GrdDev->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GrdDev->setShowGrid(true);
    GrdDev->setTabKeyNavigation(true);
    GrdDev->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    GrdDev->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    GrdDev->verticalHeader()->hide();
    DsDev = new DataSetModel(&QueryGrdDev, columns, this);
    DsDev->setObjectName(QStringLiteral("DsDev"));
    DsDev->ApplyColumns(GrdDev);
    PageDev->layout()->addWidget(GrdDev);
    if (auto* box = qobject_cast<QBoxLayout*>(PageDev->layout()))
        box->setStretchFactor(GrdDev, 1);
    connect(GrdDev, &QTableView::clicked, this, [this] { GrdDevCellClick(); });
    connect(GrdDev, &QTableView::doubleClicked, this, [this] { GrdDevDblClick(); });
    // The box shows the terminal the commands act on, however the current row moves (the popup
    // leaves that row and the selection as they were, as on every grid).
    connect(DsDev, &DataSetModel::CurrentRecordChanged, this, [this] { FollowGrdDevRecord(); });

    BuildDevDetailBox(PageDev);
}

void TMainForm::BuildDevDetailBox(QWidget* page)
{
    GbxDevDetail = new QGroupBox(QStringLiteral("设备详细"), page);
    GbxDevDetail->setObjectName(QStringLiteral("GbxDevDetail"));
    auto* grid = new QGridLayout(GbxDevDetail);
    grid->setHorizontalSpacing(8);

    LblDevId = ValueLabel(GbxDevDetail, "LblDevId");
    LblDevName = ValueLabel(GbxDevDetail, "LblDevName");
    LblDevIp = ValueLabel(GbxDevDetail, "LblDevIp");
    LblDevMac = ValueLabel(GbxDevDetail, "LblDevMac");
    LblDevPos = ValueLabel(GbxDevDetail, "LblDevPos");
    LblDevActiveIp = ValueLabel(GbxDevDetail, "LblDevActiveIp");
    LblDevPort = ValueLabel(GbxDevDetail, "LblDevPort");
    LblDevStatus = ValueLabel(GbxDevDetail, "LblDevStatus");
    LblDevNet = ValueLabel(GbxDevDetail, "LblDevNet");
    LblDevTemp = ValueLabel(GbxDevDetail, "LblDevTemp");
    ImgDevRun = Picture(GbxDevDetail, "ImgDevRun", DevIcons::DevRun());
    ImgDevStop = Picture(GbxDevDetail, "ImgDevStop", DevIcons::DevStop());
    ImgNetSuc = Picture(GbxDevDetail, "ImgNetSuc", DevIcons::NetOk());
    ImgNetError = Picture(GbxDevDetail, "ImgNetError", DevIcons::NetError());

    // A value with the pictures (or unit) that stand beside it.
    auto cell = [this](QWidget* value, std::initializer_list<QWidget*> around, QWidget* after) {
        auto* holder = new QWidget(GbxDevDetail);
        auto* row = new QHBoxLayout(holder);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(4);
        for (QWidget* w : around)
            row->addWidget(w);
        row->addWidget(value);
        if (after)
            row->addWidget(after);
        row->addStretch(1);
        return holder;
    };
    auto caption = [this](const QString& text) {
        auto* label = new QLabel(text, GbxDevDetail);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return label;
    };

    // Three pairs of caption and value per line.
    const struct {
        const char* text;
        QWidget* value;
    } cells[] = {
        {"设备编号：", LblDevId},
        {"设备名称：", LblDevName},
        {"I P 地址：", LblDevIp},
        {"Mac 地址：", LblDevMac},
        {"地理位置：", LblDevPos},
        {"网络控制器IP：", LblDevActiveIp},
        {"控制端口：", LblDevPort},
        {"设备状态：", cell(LblDevStatus, {ImgDevRun, ImgDevStop}, nullptr)},
        {"网络状况：", cell(LblDevNet, {ImgNetSuc, ImgNetError}, nullptr)},
        {"CPU 温度：", cell(LblDevTemp, {}, new QLabel(QStringLiteral("℃"), GbxDevDetail))},
    };
    constexpr int PerLine = 3;
    int i = 0;
    for (const auto& c : cells) {
        const int line = i / PerLine;
        const int col = (i % PerLine) * 2;
        grid->addWidget(caption(QString::fromUtf8(c.text)), line, col);
        grid->addWidget(c.value, line, col + 1);
        ++i;
    }
    for (int col = 1; col < PerLine * 2; col += 2)
        grid->setColumnStretch(col, 1);

    BtnDevPing = new QPushButton(QStringLiteral("检测设备网络状态(&P)"), GbxDevDetail);
    BtnDevPing->setObjectName(QStringLiteral("BtnDevPing"));
    const int last = (i - 1) / PerLine;
    grid->addWidget(BtnDevPing, last, ((i - 1) % PerLine + 1) * 2, 1, -1, Qt::AlignLeft);

    page->layout()->addWidget(GbxDevDetail);
}

void TMainForm::ShowDevPowerState(const QString& text, bool running)
{
    LblDevStatus->setText(text);
    ImgDevRun->setVisible(running);
    ImgDevStop->setVisible(!running);
}

void TMainForm::ShowDevNetState(const QString& state)
{
    const bool good = state == Consts::StatusUp;
    if (good)
        LblDevNet->setText(QStringLiteral("网络良好"));
    else if (state == Consts::StatusError)
        LblDevNet->setText(QStringLiteral("网络异常"));
    else if (state == Consts::StatusPowerOff)
        LblDevNet->setText(QStringLiteral("已关闭电源"));
    else
        LblDevNet->setText(QStringLiteral("已关机"));
    ImgNetSuc->setVisible(good);
    ImgNetError->setVisible(!good);
}

void TMainForm::FollowGrdDevRecord()
{
    // A walk over many rows (select all, a check of every terminal) moves the record once per row:
    // the box is filled once, for where the walk ends.
    if (detailFollowPending_)
        return;
    detailFollowPending_ = true;
    QMetaObject::invokeMethod(this, [this] {
        detailFollowPending_ = false;
        const int field = QueryGrdDev.FindField(DsDev->Columns().first().field);
        if (field >= 0 && QueryGrdDev.RecNo() >= 1)
            ShowDevDetail(QueryGrdDev.AsString(field).toInt());
    }, Qt::QueuedConnection);
}

void TMainForm::ShowDevDetail(int id)
{
    if (id < 1)
        return;
    DataSet q = FormDbMod->QuerySql(
        QStringLiteral("select a.*,b.*,c.temp from zol_baseinfo a left join zol_status b  on a.id = "
                       "b.zol_id left join zol_temp c on a.id = c.zol_id") +
        QStringLiteral(" where id=") + QString::number(id));

    int shownId = -1;
    QString name, ip, mac, position, relayip, port;
    // The stored value is single precision: it is shown as the server writes it, as the grids
    // show it (45.3; with 15 digits of the float it would read 45.2999992370605).
    float temp = 0;
    QString tempText;
    if (q.IsEmpty()) {
        ImgDevRun->hide();
        ImgDevStop->hide();
        ImgNetSuc->hide();
        ImgNetError->hide();
        LblDevStatus->clear();
        LblDevNet->clear();
        BtnDevPing->setEnabled(false);
    } else {
        BtnDevPing->setEnabled(true);
        shownId = q.AsInteger(QStringLiteral("id"));
        name = q.AsString(QStringLiteral("name"));
        ip = q.AsString(QStringLiteral("ip"));
        mac = q.AsString(QStringLiteral("mac"));
        position = q.AsString(QStringLiteral("position"));
        // A terminal that never sent a reading has no temperature row: unknown, as a negative
        // reading is, not a 0 it never reported.
        temp = q.IsNull(QStringLiteral("temp")) ? -1.0f : static_cast<float>(q.AsFloat(QStringLiteral("temp")));
        tempText = q.AsString(QStringLiteral("temp"));
        relayip = q.AsString(QStringLiteral("relayip"));
        port = q.AsString(QStringLiteral("port"));
        const QString status = q.AsString(QStringLiteral("status"));
        if (status == Consts::StatusUp)
            ShowDevPowerState(QStringLiteral("已启动"), true);
        else if (status == Consts::StatusPowerOff)
            ShowDevPowerState(QStringLiteral("已关闭电源"), false);
        else
            ShowDevPowerState(QStringLiteral("已关机"), false);
        ShowDevNetState(GetDevNetState(shownId));
    }

    LblDevId->setText(shownId == -1 ? QString() : QString::number(shownId));
    LblDevName->setText(name);
    LblDevIp->setText(ip);
    LblDevMac->setText(mac);
    LblDevPos->setText(position);
    LblDevActiveIp->setText(relayip);
    LblDevPort->setText(IsBlank(port) ? QStringLiteral("未知") : port);
    if (temp < 0)
        LblDevTemp->setText(QStringLiteral("未知"));
    else
        LblDevTemp->setText(temp == 0 ? QStringLiteral("0") : tempText);
    FormDbMod->CloseQuery(q);
}
